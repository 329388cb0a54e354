#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "engine/symbologies/decoders.h"
#include "tests/support/image_renderer.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;

// zint draws Codabar with wide elements two modules wide, and at least three
// characters: a start and stop alone are cut out of a longer symbol.
std::string CodabarElements(const std::string& text) {
    ImageOptions o;
    o.symbology = BARCODE_CODABAR;
    o.data = text.size() == 2 ? text.substr(0, 1) + "0" + text.substr(1) : text;
    std::string elements = ElementsOf(SymbolModules(o));
    if (text.size() == 2) elements.erase(8, 8);  // one character and its gap
    return elements;
}

std::string Codabar(const std::string& text, int narrow = 1, int wide = 2) {
    return WideNarrowModules(CodabarElements(text), narrow, wide);
}

Read Decode(const ScanSignal& scan, float confidence = 0.81f) {
    Read read;
    read.record = Fresh(confidence);
    read.result = XR_DecodeCodabar(scan, read.record);
    return read;
}

TEST(Codabar, CleanSymbolIsReadWithItsStartAndStopLetters) {
    ScanSignalPtr scan = RenderModules(Codabar("A40156B"), Clean());
    ASSERT_EQ(scan->barCount, 28);
    const Read read = Decode(*scan);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "A40156B");
    EXPECT_EQ(XR_TextOf(read.record.data), "A40156B");
    EXPECT_EQ(XR_TextOf(read.record.symbology), "CODABAR");
    EXPECT_EQ(XR_TextOf(read.record.barcodeType), "Generic");
    EXPECT_EQ(XR_TextOf(read.record.descriptor), "");
    EXPECT_GT(read.record.confidence, 0.95f);
}

TEST(Codabar, EveryCharacterAndLetterAtEveryRatioInBothDirections) {
    const struct {
        int narrow, wide;
    } ratios[] = {{1, 2}, {4, 9}, {2, 5}, {4, 11}, {1, 3}, {4, 13}, {2, 7}};
    const char* texts[] = {"A0123456789B", "C-$:/.+D", "DA", "B7C"};
    for (const auto& ratio : ratios) {
        for (const char* text : texts) {
            const std::string modules = Codabar(text, ratio.narrow, ratio.wide);
            // Whole samples per module: the ratio is measured on the start letter's
            // seven elements alone, and fractional edges there can move it by a
            // variant.
            for (double narrowSamples : {4.0, 8.0}) {
                for (double phase : {0.0, 0.8}) {
                    for (bool reversed : {false, true}) {
                        const Condition c{narrowSamples / ratio.narrow, phase, 0, 0, 1, reversed};
                        SCOPED_TRACE(testing::Message() << ratio.narrow << ":" << ratio.wide << " "
                                                        << text << " " << Describe(c));
                        const Read read = ReadUnder(modules, c, kCodabar);
                        EXPECT_EQ(read.result, 1);
                        EXPECT_EQ(XR_TextOf(read.record.rawData), text);
                        EXPECT_GT(read.record.confidence, 0.85f);
                    }
                }
            }
        }
    }
}

TEST(Codabar, ReadsBlurredJitteredSymbolsAndNeverMisreads) {
    ExpectScannerReads(Codabar("A31117013206375B"), kCodabar, "A31117013206375B", 0.9);
    ExpectScannerReads(Codabar("C294/586D", 2, 5), kCodabar, "C294/586D", 0.9);
}

TEST(Codabar, StartAndStopAloneOrWithOneCharacter) {
    ScanSignalPtr pair = RenderModules(Codabar("AB"), Clean());
    ASSERT_EQ(pair->barCount, 8);
    const Read letters = Decode(*pair);
    ASSERT_EQ(letters.result, 1);
    EXPECT_EQ(XR_TextOf(letters.record.rawData), "AB");

    ScanSignalPtr one = RenderModules(Codabar("D$C"), Clean());
    ASSERT_EQ(one->barCount, 12);
    const Read character = Decode(*one);
    ASSERT_EQ(character.result, 1);
    EXPECT_EQ(XR_TextOf(character.record.data), "D$C");
}

TEST(Codabar, StartAndStopLettersNeedNotMatch) {
    for (const char* text : {"A123D", "A123A", "B123C"}) {
        const Read read = Decode(*RenderModules(Codabar(text), Clean()));
        EXPECT_EQ(read.result, 1) << text;
        EXPECT_EQ(XR_TextOf(read.record.rawData), text);
    }
}

TEST(Codabar, BarCountMustBeAMultipleOfFourFromEight) {
    const std::string modules = Codabar("A1234B");
    for (int bars : {4, 7, 9, 10, 11, 13}) {
        std::string cut;
        int seen = 0;
        for (size_t i = 0; i < modules.size(); ++i) {
            if (modules[i] == '1' && (i == 0 || modules[i - 1] == '0')) ++seen;
            if (seen > bars) break;
            cut += modules[i];
        }
        ScanSignalPtr scan = RenderModules(cut, Clean());
        ASSERT_EQ(scan->barCount, bars);
        EXPECT_EQ(Decode(*scan, 0.0f).result, 0) << bars;
    }
}

TEST(Codabar, RatioOfTheStartLetterMustLieWithinBounds) {
    // Narrow elements of 10 samples: the measured ratio is the wide width / 10.
    for (int wide : {12, 43}) {
        const Read read = Decode(*Exact(Codabar("A1B", 10, wide)), 0.0f);
        EXPECT_EQ(read.result, 0) << wide;
        EXPECT_EQ(XR_TextOf(read.record.rawData), "") << wide;
    }
    for (int wide : {15, 42}) {
        const Read read = Decode(*Exact(Codabar("A1B", 10, wide)));
        EXPECT_EQ(read.result, 1) << wide;
        EXPECT_EQ(XR_TextOf(read.record.rawData), "A1B") << wide;
    }
}

// Codabar elements with bars and spaces of their own widths in samples, as
// ink spread prints them.
std::string SpreadCodabar(const std::string& text, int narrowBar, int wideBar, int narrowSpace,
                          int wideSpace) {
    const std::string elements = CodabarElements(text);
    std::string modules;
    for (size_t i = 0; i < elements.size(); ++i) {
        const bool bar = i % 2 == 0;
        const bool wide = elements[i] == 'W';
        const int width = bar ? (wide ? wideBar : narrowBar) : (wide ? wideSpace : narrowSpace);
        modules.append(static_cast<size_t>(width), bar ? '1' : '0');
    }
    return modules;
}

TEST(Codabar, CoarsePrintsAreMeasuredOverTheWholeSymbol) {
    // Bars a sample wider and spaces a sample narrower than narrow 5 and wide
    // 9: the start letter alone measures a ratio below 1, the bars and spaces
    // of the whole symbol, classed apart, 1.8.
    ScanSignalPtr scan = Exact(SpreadCodabar("A40156B", 6, 10, 4, 8));
    ASSERT_EQ(scan->barCount, 28);
    // Without the line's geometry, or with a narrow element of 5 pixels, the
    // start letter's ratio stands.
    EXPECT_EQ(Decode(*scan).result, 0);
    scan->stopX = scan->sampleCount;
    EXPECT_EQ(Decode(*scan).result, 0);
    // At 1.25 pixels per narrow element, edges placed to a pixel say little of
    // one letter's widths.
    scan->stopX = scan->sampleCount / 4;
    const Read read = Decode(*scan);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "A40156B");
    // Elements of one width only are no two-width symbol at any resolution.
    ScanSignalPtr even = Exact(SpreadCodabar("A40156B", 5, 5, 5, 5));
    even->stopX = even->sampleCount / 4;
    EXPECT_EQ(Decode(*even, 0.0f).result, 0);
}

TEST(Codabar, RatioOfThreePointThreeSevenFiveUsesTheSevenToTwoTables) {
    // Narrow 8 samples, wide 27 or 26: measured ratios 3.375 and 3.25.
    const std::string elements = CodabarElements("A1B");
    for (const auto& [wide, tableNarrow, tableWide] :
         {std::tuple{27, 2, 7}, std::tuple{26, 4, 13}}) {
        SCOPED_TRACE(wide);
        ScanSignalPtr scan = Exact(Codabar("A1B", 8, wide));
        ASSERT_EQ(scan->barCount, 12);
        // Each character's own template, built here rather than by the decoder.
        float sum = 0;
        for (int k = 0; k < 3; ++k) {
            const PatternTablePtr table = XR_ParsePatterns(
                WideNarrowModules(elements.substr(8 * k, 7), tableNarrow, tableWide));
            BestMatch best;
            XR_MatchTable(XR_Stretch(*scan, scan->barStarts[4 * k], scan->barEnds[4 * k + 3]),
                          *table, best, scan->shiftRange);
            sum += best.score;
        }
        const Read read = Decode(*scan, 0.0f);
        ASSERT_EQ(read.result, 1);
        EXPECT_EQ(XR_TextOf(read.record.rawData), "A1B");
        EXPECT_FLOAT_EQ(read.record.confidence, sum / 3);
    }
}

TEST(Codabar, OneWeakCharacterRefusesTheWholeReading) {
    // Eleven good characters and one whose seven elements are all the same
    // width: no character looks like that.
    const std::string text = "A1234567890B";
    std::string flat = CodabarElements(text);
    flat.replace(8 * 5, 7, "WWWWWWW");
    const Read intact = Decode(*RenderModules(Codabar(text), Clean()), 0.3f);
    ASSERT_EQ(intact.result, 1);
    const Read weak = Decode(*RenderModules(WideNarrowModules(flat, 1, 2), Clean()), 0.3f);
    EXPECT_EQ(weak.result, 0);
    EXPECT_EQ(XR_TextOf(weak.record.rawData), "");
}

TEST(Codabar, MustBeatTheRecordsConfidence) {
    ScanSignalPtr scan = RenderModules(Codabar("A40156B"), Clean());
    const Read first = Decode(*scan);
    ASSERT_EQ(first.result, 1);
    EXPECT_EQ(Decode(*scan, first.record.confidence).result, 0);
}

TEST(Codabar, SignalEndingInsideTheLastBarIsRefused) {
    ScanSignalPtr cut = CutInsideLastBar(Codabar("A40156B"));
    ASSERT_EQ(cut->barCount, 28);
    EXPECT_EQ(Decode(*cut, 0.0f).result, 0);
}

}  // namespace
