#include <gtest/gtest.h>

#include <random>

#include "engine/symbologies/decoders.h"
#include "tests/support/ean_encoder.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;

void ExpectTexts(const MatchRecord& r, const char* raw, const char* data, const char* symbology,
                 const char* type, const char* descriptor) {
    EXPECT_EQ(XR_TextOf(r.rawData), raw);
    EXPECT_EQ(XR_TextOf(r.data), data);
    EXPECT_EQ(XR_TextOf(r.symbology), symbology);
    EXPECT_EQ(XR_TextOf(r.barcodeType), type);
    EXPECT_EQ(XR_TextOf(r.descriptor), descriptor);
}

TEST(Ean13, CleanSymbolIsReadWithFullConfidence) {
    const Read read = ReadModules(Ean13Modules("4006381333931"), Clean(), kEan13);
    ASSERT_EQ(read.result, 1);
    ExpectTexts(read.record, "4006381333931", "(40) 0638133393", "EAN-13", "EAN-13",
                "Product Identifier - Germany");
    EXPECT_NEAR(read.record.confidence, 15 * 0.0666f, 1e-4);
}

TEST(Ean13, AddOnIsAppendedToEveryText) {
    const Read read = ReadModules(
        WithAddOn(Ean13Modules("4006381333931"), SupplementModules("51234")), Clean(), kEan13);
    ASSERT_EQ(read.result, 1);
    ExpectTexts(read.record, "4006381333931 + 51234", "(40) 0638133393; $12.34 U.S.",
                "EAN-13 + UPC Supplemental", "EAN-13 + 5-digit Supplement",
                "Product Identifier - Germany + Retail Price");
    EXPECT_NEAR(read.record.confidence, 15 * 0.0666f, 1e-4);

    const Read book = ReadModules(
        WithAddOn(Ean13Modules("9780306406157"), SupplementModules("51234")), Clean(), kEan13);
    ASSERT_EQ(book.result, 1);
    ExpectTexts(book.record, "9780306406157 + 51234", "ISBN 0-306-40615-2; $12.34 U.S.",
                "EAN-13 + UPC Supplemental", "EAN-13 + 5-digit Supplement",
                "International Book Serial Number + Retail Price");

    const Read issue = ReadModules(
        WithAddOn(Ean13Modules("9771234567003"), SupplementModules("07")), Clean(), kEan13);
    ASSERT_EQ(issue.result, 1);
    EXPECT_EQ(XR_TextOf(issue.record.rawData), "9771234567003 + 07");
    EXPECT_EQ(XR_TextOf(issue.record.barcodeType), "EAN-13 + 2-digit Supplement");
}

TEST(Ean13, UpcASymbolsReadAsEan13WithLeadingZero) {
    const Read coupon = ReadModules(Ean13Modules("0512345678900"), Clean(), kEan13);
    ASSERT_EQ(coupon.result, 1);
    ExpectTexts(coupon.record, "0512345678900",
                "Manufacturer: 12345; Family code: 678; Value code: 90", "EAN-13", "UPC-A",
                "Coupon - USA and Canada");

    const Read reserved = ReadModules(Ean13Modules("0123456789012"), Clean(), kEan13);
    ASSERT_EQ(reserved.result, 1);
    ExpectTexts(reserved.record, "0123456789012", "(NSC 1) Manufacturer: 23456; Product: 78901",
                "EAN-13", "UPC-A", "Reserved - USA and Canada");
}

TEST(Ean13, PrefixDecidesTypeAndDescriptor) {
    const Read jan = ReadModules(Ean13Modules("4901234567894"), Clean(), kEan13);
    ASSERT_EQ(jan.result, 1);
    ExpectTexts(jan.record, "4901234567894", "(49) 0123456789", "EAN-13", "JAN-13", "Japan");

    const Read poland = ReadModules(Ean13Modules("5901234123457"), Clean(), kEan13);
    ASSERT_EQ(poland.result, 1);
    EXPECT_EQ(XR_TextOf(poland.record.descriptor), "Product Identifier - Poland");
}

TEST(Ean13, ReadsSharpSymbolsInBothDirections) {
    ExpectSharpReads(Ean13Modules("5012345678900"), kEan13, "5012345678900");
    ExpectSharpReads(Ean13Modules("0036000291452"), kEan13, "0036000291452");
}

TEST(Ean13, ReadsBlurredJitteredSymbolsAndNeverMisreads) {
    ExpectScannerReads(Ean13Modules("5012345678900"), kEan13, "5012345678900", 0.95);
    ExpectScannerReads(Ean13Modules("9780306406157"), kEan13, "9780306406157", 0.95);
}

TEST(Ean13, WrongCheckDigitLeavesTheRecordUntouched) {
    // The encoder draws whatever digits it is given; 4006381333932 fails the check.
    const Read read = ReadModules(Ean13Modules("4006381333932"), Clean(), kEan13);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "");
    EXPECT_FLOAT_EQ(read.record.confidence, 0.81f);
}

TEST(Ean13, UpcAIsWrittenOnceWhenBothReadingsAgree) {
    // Reading B equals reading A for a UPC-A symbol and is not strictly better,
    // so a record already at A's confidence is not rewritten.
    ScanSignalPtr scan = RenderModules(Ean13Modules("0036000291452"), Clean());
    MatchRecord record;
    record.confidence = 0.5f;
    ASSERT_EQ(XR_DecodeEan13(*scan, record), 1);
    const float first = record.confidence;
    XR_SetText(record.rawData, "kept");
    EXPECT_EQ(XR_DecodeEan13(*scan, record), 0);
    EXPECT_EQ(XR_TextOf(record.rawData), "kept");
    EXPECT_EQ(record.confidence, first);
}

TEST(Ean13, SupplementNeedsMoreThanThirtyBars) {
    // Exactly 30 bars: read without an add-on attempt; a stray bar after the
    // symbol is no add-on, and the main read stands.
    ScanSignalPtr exact = RenderModules(Ean13Modules("4006381333931"), Clean());
    ASSERT_EQ(exact->barCount, 30);
    MatchRecord record;
    record.confidence = 0.81f;
    ASSERT_EQ(XR_DecodeEan13(*exact, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "4006381333931");

    ScanSignalPtr stray = RenderModules(Ean13Modules("4006381333931") + "0000000001", Clean());
    ASSERT_EQ(stray->barCount, 31);
    MatchRecord withStray;
    withStray.confidence = 0.81f;
    ASSERT_EQ(XR_DecodeEan13(*stray, withStray), 1);
    EXPECT_EQ(XR_TextOf(withStray.rawData), "4006381333931");
}

TEST(Ean13, SignalEndingInsideTheLastBarIsRefused) {
    ScanSignalPtr cut = CutInsideLastBar(Ean13Modules("4006381333931"));
    ASSERT_EQ(cut->barCount, 30);
    MatchRecord record = Fresh();
    EXPECT_EQ(XR_DecodeEan13(*cut, record), 0);
    EXPECT_EQ(XR_TextOf(record.rawData), "");
}

TEST(Ean13, TooFewBarsAndRebuiltTables) {
    ScanSignalPtr scan = RenderModules(Ean8Modules("96385074"), Clean());
    MatchRecord record;
    record.confidence = 0.81f;
    EXPECT_EQ(XR_DecodeEan13(*scan, record), 0);

    XR_FreePatternTables();
    XR_FreePatternTables();  // releasing twice is harmless
    ScanSignalPtr full = RenderModules(Ean13Modules("4006381333931"), Clean());
    EXPECT_EQ(XR_DecodeEan13(*full, record), 1);
}

TEST(Ean13, DefaultMaskReadsTheWholeSymbol) {
    // EAN-8 and UPC-E see parts of the same bars; the full EAN-13 read wins.
    const Read read = ReadModules(Ean13Modules("4006381333931"), Clean(), kDefaultProtocolMask);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.symbology), "EAN-13");
    EXPECT_EQ(XR_TextOf(read.record.rawData), "4006381333931");
}

}  // namespace

namespace {

TEST(EanFamily, ShorterLayoutsDoNotReadTheLeftOfALongerSymbol) {
    // The left half of an EAN-13 has the bar layout of a UPC-E symbol, and its
    // first 22 bars that of an EAN-8; neither may be read from it.
    for (const char* digits : {"5175865673692", "8610365402849", "7697307405589"}) {
        for (bool reversed : {false, true}) {
            const std::string modules = Ean13Modules(digits);
            ScanSignalPtr scan = RenderModules(reversed ? Reversed(modules) : modules, Clean());
            if (reversed) XR_ReverseSignal(scan.get());
            MatchRecord record;
            record.confidence = 0.5f;
            EXPECT_EQ(XR_DecodeUpcE(*scan, record), 0) << digits;
            EXPECT_EQ(XR_DecodeEan8(*scan, record), 0) << digits;
            EXPECT_EQ(XR_TextOf(record.rawData), "");

            const Read read =
                ReadModules(reversed ? Reversed(modules) : modules, Clean(), kDefaultProtocolMask);
            EXPECT_EQ(XR_TextOf(read.record.rawData), digits);
            EXPECT_EQ(XR_TextOf(read.record.symbology), "EAN-13");
        }
    }
}

TEST(EanFamily, SymbolsWithWrongCheckDigitsAreNeverRead) {
    // Every symbol here fails its check; whatever the decoders make of its
    // bars, nothing may be reported.
    std::mt19937 rng(5);
    for (int t = 0; t < 60; ++t) {
        std::string digits;
        int sum = 0;
        for (int i = 0; i < 12; ++i) {
            digits += static_cast<char>('0' + rng() % 10);
            sum += (digits.back() - '0') * (i % 2 ? 3 : 1);
        }
        digits += static_cast<char>('0' + (10 - sum % 10 + 1 + rng() % 9) % 10);
        RenderOptions o;
        o.samplesPerModule = 2.5 + 0.5 * (t % 4);
        o.offset = 0.1 * (t % 7);
        const std::string modules = Ean13Modules(digits);
        const Read read = ReadModules(t % 2 ? Reversed(modules) : modules, o, kDefaultProtocolMask);
        EXPECT_EQ(read.result, 0) << digits << " read as " << XR_TextOf(read.record.rawData);
    }
}

}  // namespace
