#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "engine/symbologies/decoders.h"
#include "tests/support/image_renderer.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;

// zint draws Interleaved 2 of 5 with wide elements three modules wide, at most
// 90 digits at a time: longer symbols join the pairs of several.
std::string ItfElements(const std::string& digits) {
    std::string pairs;
    for (size_t at = 0; at < digits.size(); at += 80) {
        ImageOptions o;
        o.symbology = BARCODE_C25INTER;
        o.data = digits.substr(at, 80);
        const std::string elements = ElementsOf(SymbolModules(o));
        pairs += elements.substr(4, elements.size() - 7);  // without start and stop
    }
    return "NNNN" + pairs + "WNN";
}

std::string Itf(const std::string& digits, int narrow = 1, int wide = 3) {
    return WideNarrowModules(ItfElements(digits), narrow, wide);
}

// Every digit pair 00 to 99 once.
std::string AllPairs(int count = 100) {
    std::string digits;
    for (int pair = 0; pair < count; ++pair)
        digits += std::to_string(pair / 10 % 10) + std::to_string(pair % 10);
    return digits;
}

Read Decode(const ScanSignal& scan, float confidence = 0.81f) {
    Read read;
    read.record = Fresh(confidence);
    read.result = XR_DecodeInterleaved2of5(scan, read.record);
    return read;
}

// The score the decoder should give a stretch for one element string at the
// given widths: the template built here, independently of the decoder's tables.
float EntryScore(const ScanSignal& scan, int32_t a, int32_t b, const std::string& elements,
                 int narrow, int wide) {
    const PatternTablePtr table = XR_ParsePatterns(WideNarrowModules(elements, narrow, wide));
    BestMatch best;
    XR_MatchTable(XR_Stretch(scan, a, b), *table, best, scan.shiftRange);
    return best.score;
}

TEST(Interleaved2of5, CleanSymbolIsReadWithoutCheckDigit) {
    ScanSignalPtr scan = RenderModules(Itf("1205"), Clean());
    ASSERT_EQ(scan->barCount, 14);
    const Read read = Decode(*scan);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "1205");
    EXPECT_EQ(XR_TextOf(read.record.data), "1205");
    EXPECT_EQ(XR_TextOf(read.record.symbology), "Interleaved 2 of 5");
    EXPECT_EQ(XR_TextOf(read.record.barcodeType), "Generic");
    EXPECT_EQ(XR_TextOf(read.record.descriptor), "");
    EXPECT_GT(read.record.confidence, 0.95f);
}

TEST(Interleaved2of5, ReadsEveryRatioVariantInBothDirections) {
    const struct { int narrow, wide; } ratios[] = {{1, 2}, {4, 9}, {2, 5}, {4, 11}, {1, 3}};
    for (const auto& ratio : ratios) {
        const std::string modules = Itf("30712345000010", ratio.narrow, ratio.wide);
        for (double narrowSamples : {3.0, 4.0, 5.0}) {
            for (double phase : {0.0, 0.2, 0.8}) {
                for (bool reversed : {false, true}) {
                    const Condition c{narrowSamples / ratio.narrow, phase, 0, 0, 1, reversed};
                    const Read read = ReadUnder(modules, c, kInterleaved2of5);
                    SCOPED_TRACE(testing::Message()
                                 << ratio.narrow << ":" << ratio.wide << " " << Describe(c));
                    EXPECT_EQ(read.result, 1);
                    EXPECT_EQ(XR_TextOf(read.record.rawData), "30712345000010");
                    EXPECT_GT(read.record.confidence, 0.85f);
                }
            }
        }
    }
}

TEST(Interleaved2of5, ReadsBlurredJitteredSymbolsAndNeverMisreads) {
    ExpectScannerReads(Itf("0053611912"), kInterleaved2of5, "0053611912", 0.9);
    ExpectScannerReads(Itf("0053611912", 2, 5), kInterleaved2of5, "0053611912", 0.9);
}

TEST(Interleaved2of5, BarCountMustBeFourPlusFivePerPair) {
    // Nine bars are one pair.
    const Read one = Decode(*RenderModules(Itf("47"), Clean()));
    ASSERT_EQ(one.result, 1);
    EXPECT_EQ(XR_TextOf(one.record.rawData), "47");

    // Start bars, pair bars and stop bars in any other count are not read, even
    // with no confidence to beat.
    const std::string modules = Itf("4712");
    for (int bars : {8, 10, 11, 12, 13}) {
        std::string cut;
        int seen = 0;
        for (size_t i = 0; i < modules.size() && seen <= bars; ++i) {
            if (modules[i] == '1' && (i == 0 || modules[i - 1] == '0')) ++seen;
            if (seen <= bars) cut += modules[i];
        }
        ScanSignalPtr scan = RenderModules(cut, Clean());
        ASSERT_EQ(scan->barCount, bars);
        const Read read = Decode(*scan, 0.0f);
        EXPECT_EQ(read.result, 0) << bars;
        EXPECT_EQ(XR_TextOf(read.record.rawData), "") << bars;
    }
}

TEST(Interleaved2of5, OneHundredPairsAreReadAndOneMoreIsNot) {
    RenderOptions o;
    o.samplesPerModule = 2;
    ScanSignalPtr hundred = RenderModules(Itf(AllPairs(), 1, 2), o);
    ASSERT_EQ(hundred->barCount, 504);
    const Read read = Decode(*hundred);
    ASSERT_EQ(read.result, 1);
    // The raw data field holds 99 characters; the data field all 200 digits.
    EXPECT_EQ(XR_TextOf(read.record.data), AllPairs());
    EXPECT_EQ(XR_TextOf(read.record.rawData), AllPairs().substr(0, 99));

    ScanSignalPtr more = RenderModules(Itf(AllPairs() + "00", 1, 2), o);
    ASSERT_EQ(more->barCount, 509);
    EXPECT_EQ(Decode(*more, 0.0f).result, 0);
}

TEST(Interleaved2of5, RatioOfTheFirstPairMustLieWithinBounds) {
    // Narrow elements of 10 samples: the measured ratio is the wide width / 10.
    for (int wide : {17, 33}) {
        const Read read = Decode(*Exact(Itf("1205", 10, wide)), 0.0f);
        EXPECT_EQ(read.result, 0) << wide;
    }
    for (int wide : {18, 32}) {
        const Read read = Decode(*Exact(Itf("1205", 10, wide)));
        EXPECT_EQ(read.result, 1) << wide;
        EXPECT_EQ(XR_TextOf(read.record.rawData), "1205") << wide;
    }
}

TEST(Interleaved2of5, RatioOfTwoPointEightSevenFiveUsesTheThreeToOneTables) {
    // Narrow 8 samples, wide 23 or 22: measured ratios 2.875 and 2.75.
    const std::string pair = ItfElements("12").substr(4, 10);
    for (const auto& [wide, tableNarrow, tableWide, stop] :
         {std::tuple{23, 1, 3, "11101"}, std::tuple{22, 4, 11, "1111111111100001111"}}) {
        SCOPED_TRACE(wide);
        ScanSignalPtr scan = Exact(Itf("12", 8, wide));
        const int32_t* s = scan->barStarts.get();
        const float expected = (XR_ScorePattern(XR_Stretch(*scan, s[0], s[2]), "1010") +
                                EntryScore(*scan, s[2], s[7], pair, tableNarrow, tableWide) +
                                XR_ScorePattern(XR_Stretch(*scan, s[7], scan->barEnds[8]), stop)) /
                               3;
        const Read read = Decode(*scan, 0.0f);
        ASSERT_EQ(read.result, 1);
        EXPECT_EQ(XR_TextOf(read.record.rawData), "12");
        EXPECT_FLOAT_EQ(read.record.confidence, expected);
    }
}

TEST(Interleaved2of5, OneWeakPairRefusesTheWholeReading) {
    // Ten good pairs and one whose ten elements are all the same width: no pair
    // looks like that, so it scores far below the others.
    const std::string good = Itf(AllPairs(11));
    const std::string elements = ItfElements(AllPairs(11));
    std::string flat = elements;
    flat.replace(4 + 10 * 5, 10, "WWWWWWWWWW");
    const Read intact = Decode(*RenderModules(good, Clean()), 0.3f);
    ASSERT_EQ(intact.result, 1);
    const Read weak = Decode(*RenderModules(WideNarrowModules(flat, 1, 3), Clean()), 0.3f);
    EXPECT_EQ(weak.result, 0);
    EXPECT_EQ(XR_TextOf(weak.record.rawData), "");
}

TEST(Interleaved2of5, MustBeatTheRecordsConfidence) {
    ScanSignalPtr scan = RenderModules(Itf("1205"), Clean());
    const Read first = Decode(*scan);
    ASSERT_EQ(first.result, 1);
    const Read again = Decode(*scan, first.record.confidence);
    EXPECT_EQ(again.result, 0);
    EXPECT_EQ(XR_TextOf(again.record.rawData), "");
}

TEST(Interleaved2of5, SignalEndingInsideTheLastBarIsRefused) {
    ScanSignalPtr cut = CutInsideLastBar(Itf("1205"));
    ASSERT_EQ(cut->barCount, 14);
    EXPECT_EQ(Decode(*cut, 0.0f).result, 0);
}

}  // namespace
