#include <gtest/gtest.h>

#include "engine/symbologies/decoders.h"
#include "tests/support/ean_encoder.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;

TEST(UpcE, ParityWordGivesNumberSystemAndCheckDigit) {
    // Digits 123456 with parity "eooeeo": number system 0, check digit 5.
    const Read read = ReadModules(UpcEModules("01234565", "eooeeo"), Clean(), kUpcE);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "01234565");
    EXPECT_EQ(XR_TextOf(read.record.data), "(NSC 0) Manufacturer: 12345; Product: 00006");
    EXPECT_EQ(XR_TextOf(read.record.symbology), "UPC-E");
    EXPECT_EQ(XR_TextOf(read.record.barcodeType), "Generic");
    EXPECT_EQ(XR_TextOf(read.record.descriptor), "Regular UPC code - USA and Canada");
    EXPECT_NEAR(read.record.confidence, 1.0f, 1e-4);
}

TEST(UpcE, NumberSystemOne) {
    // 1 654321, check digit 4: expands to 1 65100 00432 4, parity "oeooee".
    const Read read = ReadModules(UpcEModules("16543214", "oeooee"), Clean(), kUpcE);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "16543214");
    EXPECT_EQ(XR_TextOf(read.record.descriptor), "Reserved - USA and Canada");
    EXPECT_EQ(XR_TextOf(read.record.data), "(NSC 1) Manufacturer: 65100; Product: 00432");
}

TEST(UpcE, EveryExpansionRuleReads) {
    // One number per rule of the last digit (0-2, 3, 4, 5-9).
    for (const char* digits : {"04252614", "01234133", "01234145", "01234565", "00123457"}) {
        const Read read = ReadModules(UpcEModules(digits), Clean(), kUpcE);
        EXPECT_EQ(read.result, 1) << digits;
        EXPECT_EQ(XR_TextOf(read.record.rawData), digits);
    }
}

TEST(UpcE, WrongParityWordFailsTheExpandedCheck) {
    // The six digits read correctly, but "eooeoe" means check digit 9.
    const Read wrong = ReadModules(UpcEModules("01234565", "eooeoe"), Clean(), kUpcE);
    EXPECT_EQ(wrong.result, 0);
    EXPECT_EQ(XR_TextOf(wrong.record.rawData), "");
    // A word in neither number system: "oooooo".
    const Read none = ReadModules(UpcEModules("01234565", "oooooo"), Clean(), kUpcE);
    EXPECT_EQ(none.result, 0);
}

TEST(UpcE, ReadsSharpSymbolsInBothDirections) {
    ExpectSharpReads(UpcEModules("01234565"), kUpcE, "01234565");
    ExpectSharpReads(UpcEModules("16543214"), kUpcE, "16543214");
}

TEST(UpcE, ReadsBlurredJitteredSymbolsAndNeverMisreads) {
    ExpectScannerReads(UpcEModules("01234565"), kUpcE, "01234565", 0.95);
}

TEST(UpcE, AddOnFromBarSeventeen) {
    const Read read =
        ReadModules(WithAddOn(UpcEModules("01234565"), SupplementModules("24680")), Clean(), kUpcE);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "01234565 + 24680");
    EXPECT_EQ(XR_TextOf(read.record.barcodeType), "Generic + 5-digit Supplement");
    EXPECT_EQ(XR_TextOf(read.record.descriptor), "Regular UPC code - USA and Canada + Unknown");

    ScanSignalPtr exact = RenderModules(UpcEModules("01234565"), Clean());
    ASSERT_EQ(exact->barCount, 17);
}

TEST(UpcE, BarsRightAfterTheEndGuardAreNoAddOn) {
    const Read close = ReadModules(
        WithAddOn(UpcEModules("01234565"), SupplementModules("51234"), 3), Clean(), kUpcE);
    EXPECT_EQ(close.result, 0);
    const Read spaced = ReadModules(
        WithAddOn(UpcEModules("01234565"), SupplementModules("51234"), 7), Clean(), kUpcE);
    EXPECT_EQ(spaced.result, 1);
}

TEST(UpcE, SignalEndingInsideTheLastBarIsRefused) {
    ScanSignalPtr cut = CutInsideLastBar(UpcEModules("01234565"));
    ASSERT_EQ(cut->barCount, 17);
    MatchRecord record = Fresh();
    EXPECT_EQ(XR_DecodeUpcE(*cut, record), 0);
}

}  // namespace
