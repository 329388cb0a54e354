#include <gtest/gtest.h>

#include "engine/symbologies/decoders.h"
#include "tests/support/ean_encoder.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;

TEST(Supplement, TwoDigitsCheckedByParityPair) {
    ScanSignalPtr good = RenderModules(SupplementModules("14", "eo"), Clean());
    ASSERT_EQ(good->barCount, 7);
    MatchRecord record = Fresh();
    ASSERT_EQ(XR_DecodeSupplementAlone(*good, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "14");
    EXPECT_EQ(XR_TextOf(record.data), "Issue #14");
    EXPECT_EQ(XR_TextOf(record.symbology), "UPC Supplemental");
    EXPECT_EQ(XR_TextOf(record.barcodeType), "2-digit Supplement");
    EXPECT_EQ(XR_TextOf(record.descriptor), "Issue Number");
    EXPECT_NEAR(record.confidence, 1.0f, 1e-4);

    ScanSignalPtr bad = RenderModules(SupplementModules("14", "oo"), Clean());
    MatchRecord untouched = Fresh();
    EXPECT_EQ(XR_DecodeSupplementAlone(*bad, untouched), 0);
    EXPECT_EQ(XR_TextOf(untouched.rawData), "");
}

TEST(Supplement, FiveDigitsCheckedByParityWord) {
    ScanSignalPtr good = RenderModules(SupplementModules("24680", "eooeo"), Clean());
    ASSERT_EQ(good->barCount, 16);
    MatchRecord record = Fresh();
    ASSERT_EQ(XR_DecodeSupplementAlone(*good, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "24680");
    EXPECT_EQ(XR_TextOf(record.barcodeType), "5-digit Supplement");

    for (const char* word : {"eeooo", "eooee", "ooooo", "eeeee", "oeeoo"}) {
        ScanSignalPtr bad = RenderModules(SupplementModules("24680", word), Clean());
        MatchRecord untouched = Fresh();
        EXPECT_EQ(XR_DecodeSupplementAlone(*bad, untouched), 0) << word;
    }
}

TEST(Supplement, PriceAddOnOnItsOwn) {
    ScanSignalPtr scan = RenderModules(SupplementModules("51234"), Clean());
    MatchRecord record = Fresh();
    ASSERT_EQ(XR_DecodeSupplementAlone(*scan, record), 1);
    EXPECT_EQ(XR_TextOf(record.data), "$12.34 U.S.");
    EXPECT_EQ(XR_TextOf(record.descriptor), "Retail Price");
    EXPECT_NEAR(record.confidence, 1.0f, 1e-4);
}

TEST(Supplement, BarCountChoosesTheLength) {
    // 8 to 15 bars read as two digits, the extra bars ignored when a quiet
    // zone separates them.
    ScanSignalPtr extra = RenderModules(SupplementModules("07") + "0000000101", Clean());
    ASSERT_EQ(extra->barCount, 9);
    MatchRecord record = Fresh();
    ASSERT_EQ(XR_DecodeSupplementAlone(*extra, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "07");

    // Bars closer than that continue the symbol: the first digits of a
    // five-digit add-on seen only in part are no two-digit add-on.
    const std::string five = SupplementModules("51234");
    for (size_t cut : {24u, 31u, 40u}) {
        ScanSignalPtr part = RenderModules(five.substr(0, cut), Clean());
        ASSERT_GE(part->barCount, 8);
        ASSERT_LE(part->barCount, 15);
        MatchRecord none = Fresh();
        EXPECT_EQ(XR_DecodeSupplementAlone(*part, none), 0) << cut;
    }

    // Fewer than 7 bars, or more than 18, read nothing.
    ScanSignalPtr shortScan = RenderModules(SupplementModules("07").substr(0, 13), Clean());
    EXPECT_LT(shortScan->barCount, 7);
    MatchRecord none = Fresh();
    EXPECT_EQ(XR_DecodeSupplementAlone(*shortScan, none), 0);

    ScanSignalPtr ean = RenderModules(Ean13Modules("4006381333931"), Clean());
    EXPECT_EQ(XR_DecodeSupplementAlone(*ean, none), 0);
    EXPECT_EQ(XR_TextOf(none.rawData), "");
}

TEST(Supplement, MustBeatThePresetConfidence) {
    ScanSignalPtr scan = RenderModules(SupplementModules("51234"), Clean());
    MatchRecord below = Fresh(0.8f * 0.9f);
    EXPECT_EQ(XR_DecodeSupplement(*scan, 0, below), 1);
    MatchRecord above = Fresh(1.0f);
    EXPECT_EQ(XR_DecodeSupplement(*scan, 0, above), 0);
    EXPECT_EQ(XR_TextOf(above.rawData), "");
}

TEST(Supplement, FirstBarOutsideTheSignalReadsNothing) {
    ScanSignalPtr scan = RenderModules(SupplementModules("51234"), Clean());
    MatchRecord record = Fresh();
    EXPECT_EQ(XR_DecodeSupplement(*scan, -1, record), 0);
    EXPECT_EQ(XR_DecodeSupplement(*scan, scan->barCount + 1, record), 0);
    EXPECT_EQ(XR_DecodeSupplement(*scan, 1000000, record), 0);
}

TEST(Supplement, ReadsSharpAddOnsInBothDirections) {
    ExpectSharpReads(SupplementModules("14"), kSupplement, "14");
    ExpectSharpReads(SupplementModules("51234"), kSupplement, "51234");
}

TEST(Supplement, ReadsBlurredJitteredAddOnsAndNeverMisreads) {
    // Guard and separators are short literals scored without a shift, so a
    // two-digit add-on loses more to blur than a five-digit one.
    ExpectScannerReads(SupplementModules("51234"), kSupplement, "51234", 0.9);
    ExpectScannerReads(SupplementModules("14"), kSupplement, "14", 0.75);
}

TEST(Supplement, SignalEndingInsideTheLastDigitsBarIsRefused) {
    ScanSignalPtr cut = CutInsideLastBar(SupplementModules("14"));
    ASSERT_EQ(cut->barCount, 7);
    MatchRecord record = Fresh();
    EXPECT_EQ(XR_DecodeSupplementAlone(*cut, record), 0);
}

// Each module repeated `times` times: the same symbol printed larger.
std::string Widened(const std::string& modules, int times) {
    std::string wide;
    for (char m : modules)
        wide.append(static_cast<size_t>(times), m);
    return wide;
}

TEST(Supplement, StartOfANeighbourCutByTheEdgeIsNoAddOn) {
    // The first bars of another EAN-8 nine modules after this one, where the
    // picture ends: a start guard and a digit look like the add-on guard and
    // a digit.
    const std::string neighbour = Ean8Modules("55123457");
    int tried = 0;
    int reads = 0;
    for (size_t cut = 20; cut <= 40; ++cut) {
        for (double k : {1.75, 2.0, 2.5, 3.0}) {
            RenderOptions o = Clean();
            o.samplesPerModule = k;
            o.quietModules = 0;
            const Read read = ReadModules(std::string(10, '0') + Ean8Modules("96385074") +
                                              std::string(9, '0') + neighbour.substr(0, cut),
                                          o, kEan8);
            ++tried;
            if (read.result != 1) continue;
            ++reads;
            EXPECT_EQ(XR_TextOf(read.record.rawData), "96385074") << cut << " modules at " << k;
        }
    }
    EXPECT_GE(reads, tried * 9 / 10);
}

TEST(Supplement, AddOnSharesTheModuleWidthOfItsSymbol) {
    const std::string main = Ean13Modules("4006381333931");
    const std::string addOn = SupplementModules("51234");
    // Main and add-on modules at 6 : 6, 6 : 7 and 6 : 5 are one print; at
    // 6 : 8 and 6 : 4 the add-on is another symbol's bars.
    const struct {
        int addOnTimes;
        const char* raw;
    } cases[] = {{6, "4006381333931 + 51234"},
                 {7, "4006381333931 + 51234"},
                 {5, "4006381333931 + 51234"},
                 {8, "4006381333931"},
                 {4, "4006381333931"}};
    for (const auto& c : cases) {
        RenderOptions o;
        o.samplesPerModule = 1;
        o.quietModules = 50;
        const Read read = ReadModules(
            Widened(main, 6) + std::string(54, '0') + Widened(addOn, c.addOnTimes), o, kEan13);
        ASSERT_EQ(read.result, 1) << c.addOnTimes;
        EXPECT_EQ(XR_TextOf(read.record.rawData), c.raw) << c.addOnTimes;
    }
}

}  // namespace
