#include <gtest/gtest.h>

#include <array>

#include "engine/reader.h"

namespace {

MatchRecord Match(const char* symbology, const char* raw, float confidence, int x0, int y0, int x1,
                  int y1) {
    MatchRecord r;
    XR_SetText(r.symbology, symbology);
    XR_SetText(r.rawData, raw);
    r.confidence = confidence;
    r.startX = x0;
    r.startY = y0;
    r.stopX = x1;
    r.stopY = y1;
    return r;
}

TEST(MergeMatch, FirstMatchIsAlwaysKept) {
    std::array<MatchRecord, 4> records{};
    records[0] = Match("EAN-13", "4006381333931", 0.9f, 0, 0, 100, 0);
    EXPECT_EQ(XR_MergeMatch(records, 1), 1);
    EXPECT_EQ(XR_MergeMatch(records, 0), 0);
}

TEST(MergeMatch, SameTextsAnywhereAreOneBarcodeKeptAtHigherConfidence) {
    std::array<MatchRecord, 4> records{};
    records[0] = Match("EAN-13", "4006381333931", 0.90f, 0, 0, 100, 0);
    records[1] = Match("EAN-13", "4006381333931", 0.95f, 1000, 1000, 1100, 1000);
    EXPECT_EQ(XR_MergeMatch(records, 2), 1);
    EXPECT_FLOAT_EQ(records[0].confidence, 0.95f);
    EXPECT_EQ(records[0].startX, 1000);
}

TEST(MergeMatch, LessConfidentDuplicateLeavesTheKeptRecordUntouched) {
    std::array<MatchRecord, 4> records{};
    records[0] = Match("EAN-13", "4006381333931", 0.95f, 0, 0, 100, 0);
    records[1] = Match("EAN-13", "4006381333931", 0.90f, 500, 0, 600, 0);
    EXPECT_EQ(XR_MergeMatch(records, 2), 1);
    EXPECT_FLOAT_EQ(records[0].confidence, 0.95f);
    EXPECT_EQ(records[0].startX, 0);
    // An equally confident duplicate does not replace it either.
    records[1] = Match("EAN-13", "4006381333931", 0.95f, 500, 0, 600, 0);
    EXPECT_EQ(XR_MergeMatch(records, 2), 1);
    EXPECT_EQ(records[0].startX, 0);
}

TEST(MergeMatch, NearbyLinesAreOneBarcodeWhateverTheyRead) {
    std::array<MatchRecord, 4> records{};
    // Lines of length 100 each: same barcode when midpoints are closer than 30.
    records[0] = Match("EAN-13", "4006381333931", 0.85f, 0, 0, 100, 0);
    records[1] = Match("CODE-128", "ABC", 0.92f, 0, 29, 100, 29);
    EXPECT_EQ(XR_MergeMatch(records, 2), 1);
    EXPECT_EQ(XR_TextOf(records[0].symbology), "CODE-128");

    records[1] = Match("CODE-39", "XYZ", 0.99f, 0, 59, 100, 59);
    EXPECT_EQ(XR_MergeMatch(records, 2), 2);  // 30 apart: 0.15 * 200 is not greater
    EXPECT_EQ(XR_TextOf(records[0].symbology), "CODE-128");
}

TEST(MergeMatch, TextsCompareExactly) {
    std::array<MatchRecord, 4> records{};
    records[0] = Match("EAN-13", "4006381333931", 0.9f, 0, 0, 10, 0);
    records[1] = Match("EAN-13", "400638133393", 0.9f, 500, 0, 510, 0);
    EXPECT_EQ(XR_MergeMatch(records, 2), 2);
    records[2] = Match("ean-13", "4006381333931", 0.9f, 900, 0, 910, 0);
    EXPECT_EQ(XR_MergeMatch(records, 3), 3);
}

TEST(MergeMatch, NewestKeptMatchIsComparedFirst) {
    std::array<MatchRecord, 4> records{};
    records[0] = Match("CODE-39", "A", 0.82f, 0, 0, 100, 0);
    records[1] = Match("CODE-39", "A", 0.83f, 0, 0, 100, 0);  // kept before merging existed
    records[2] = Match("CODE-39", "A", 0.99f, 0, 0, 100, 0);
    EXPECT_EQ(XR_MergeMatch(records, 3), 2);
    EXPECT_FLOAT_EQ(records[1].confidence, 0.99f);
    EXPECT_FLOAT_EQ(records[0].confidence, 0.82f);
}

TEST(MergeMatch, CountPastTheListTreatsTheLastSlotAsNew) {
    std::array<MatchRecord, 2> records{};
    records[0] = Match("EAN-8", "96385074", 0.9f, 0, 0, 10, 0);
    records[1] = Match("EAN-8", "96385074", 0.95f, 0, 0, 10, 0);
    EXPECT_EQ(XR_MergeMatch(records, 5), 1);
    EXPECT_FLOAT_EQ(records[0].confidence, 0.95f);
}

}  // namespace

namespace {

TEST(MergeMatch, ReadsWithAndWithoutTheAddOnAreOneBarcode) {
    // Lines through the upper part of a symbol miss its shorter add-on; the read
    // that has it is kept, whichever came first and whatever the confidences.
    std::array<MatchRecord, 4> records{};
    records[0] = Match("EAN-13", "9780306406157", 0.95f, 0, 0, 300, 0);
    records[1] =
        Match("EAN-13 + UPC Supplemental", "9780306406157 + 51234", 0.90f, 0, 400, 450, 400);
    EXPECT_EQ(XR_MergeMatch(records, 2), 1);
    EXPECT_EQ(XR_TextOf(records[0].rawData), "9780306406157 + 51234");

    records[1] = Match("EAN-13", "9780306406157", 0.99f, 0, 800, 300, 800);
    EXPECT_EQ(XR_MergeMatch(records, 2), 1);
    EXPECT_EQ(XR_TextOf(records[0].rawData), "9780306406157 + 51234");

    // A different main symbol with the same add-on is another barcode.
    records[1] =
        Match("EAN-13 + UPC Supplemental", "4006381333931 + 51234", 0.9f, 0, 1600, 450, 1600);
    EXPECT_EQ(XR_MergeMatch(records, 2), 2);
}

}  // namespace
