#include <gtest/gtest.h>

#include "engine/symbologies/decoders.h"
#include "tests/support/ean_encoder.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;

TEST(Ean8, CleanSymbolIsReadAndDescribed) {
    const Read read = ReadModules(Ean8Modules("96385074"), Clean(), kEan8);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "96385074");
    EXPECT_EQ(XR_TextOf(read.record.symbology), "EAN-8");
    EXPECT_EQ(XR_TextOf(read.record.barcodeType), "Generic");
    EXPECT_EQ(XR_TextOf(read.record.descriptor), "Unspecified");
    EXPECT_EQ(XR_TextOf(read.record.data), "96385074");
    EXPECT_NEAR(read.record.confidence, 11 * 0.0909f, 1e-4);
}

TEST(Ean8, WrongCheckDigitLeavesTheRecordUntouched) {
    const Read read = ReadModules(Ean8Modules("96385075"), Clean(), kEan8);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "");
    EXPECT_FLOAT_EQ(read.record.confidence, 0.81f);
}

TEST(Ean8, ReadsSharpSymbolsInBothDirections) {
    ExpectSharpReads(Ean8Modules("55123457"), kEan8, "55123457");
    ExpectSharpReads(Ean8Modules("96385074"), kEan8, "96385074");
}

TEST(Ean8, ReadsBlurredJitteredSymbolsAndNeverMisreads) {
    ExpectScannerReads(Ean8Modules("55123457"), kEan8, "55123457", 0.9);
}

TEST(Ean8, AddOnFollowsFromBarTwentyTwo) {
    const Read read =
        ReadModules(WithAddOn(Ean8Modules("00012348"), SupplementModules("14")), Clean(), kEan8);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "00012348 + 14");
    EXPECT_EQ(XR_TextOf(read.record.data), "(00) 012348; Issue #14");
    EXPECT_EQ(XR_TextOf(read.record.symbology), "EAN-8 + UPC Supplemental");
    EXPECT_EQ(XR_TextOf(read.record.descriptor),
              "Product Identifier - USA and Canada + Issue Number");

    ScanSignalPtr exact = RenderModules(Ean8Modules("96385074"), Clean());
    ASSERT_EQ(exact->barCount, 22);
    MatchRecord record;
    record.confidence = 0.81f;
    ASSERT_EQ(XR_DecodeEan8(*exact, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "96385074");
}

TEST(Ean8, BarsRightAfterTheEndGuardAreNoAddOn) {
    // An add-on sits at least five modules away; closer bars mean the symbol
    // goes on and is no EAN-8.
    for (int gap : {1, 4}) {
        const Read read = ReadModules(
            WithAddOn(Ean8Modules("96385074"), SupplementModules("14"), gap), Clean(), kEan8);
        EXPECT_EQ(read.result, 0) << gap;
    }
    for (int gap : {5, 7, 12}) {
        const Read read = ReadModules(
            WithAddOn(Ean8Modules("96385074"), SupplementModules("14"), gap), Clean(), kEan8);
        EXPECT_EQ(read.result, 1) << gap;
        EXPECT_EQ(XR_TextOf(read.record.rawData), "96385074 + 14") << gap;
    }
}

TEST(Ean8, SignalEndingInsideTheLastBarIsRefused) {
    ScanSignalPtr cut = CutInsideLastBar(Ean8Modules("96385074"));
    ASSERT_EQ(cut->barCount, 22);
    MatchRecord record = Fresh();
    EXPECT_EQ(XR_DecodeEan8(*cut, record), 0);
}

TEST(Ean8, MustBeatTheRecordsConfidence) {
    ScanSignalPtr scan = RenderModules(Ean8Modules("96385074"), Clean());
    MatchRecord record;
    record.confidence = 0.99995f;
    EXPECT_EQ(XR_DecodeEan8(*scan, record), 0);
    EXPECT_EQ(XR_TextOf(record.rawData), "");
    ScanSignalPtr fewer = RenderModules(Ean8Modules("96385074").substr(0, 60), Clean());
    record.confidence = 0.1f;
    EXPECT_EQ(XR_DecodeEan8(*fewer, record), 0);
}

}  // namespace
