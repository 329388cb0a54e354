#include <gtest/gtest.h>

#include <array>
#include <string>

#include "engine/symbologies/decoders.h"
#include "tests/support/image_renderer.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;

// Patch types 1 to 4: four bars, two of them wide, and narrow spaces.
constexpr std::array<const char*, 4> kMarks = {"NNNNWNW", "WNNNNNW", "NNWNNNW", "NNWNWNN"};

std::string Mark(int type, int narrow = 1, int wide = 2) {
    return WideNarrowModules(kMarks[static_cast<size_t>(type - 1)], narrow, wide);
}

struct Line {
    int32_t startX, startY, stopX, stopY;
};

// A 200 x 100 picture, centre (100, 50): the line leads away from the centre.
constexpr Line kOutwards = {120, 50, 180, 50};
constexpr Line kInwards = {180, 50, 120, 50};

Read Decode(ScanSignal& scan, Line line = kOutwards, float confidence = 0.81f) {
    scan.imageWidth = 200;
    scan.imageHeight = 100;
    scan.startX = line.startX;
    scan.startY = line.startY;
    scan.stopX = line.stopX;
    scan.stopY = line.stopY;
    Read read;
    read.record = Fresh(confidence);
    read.result = XR_DecodePatchCode(scan, read.record);
    return read;
}

// The score of the whole mark against one template built here, independently
// of the decoder's tables.
float MarkScore(const ScanSignal& scan, int type, int narrow, int wide) {
    const PatternTablePtr table = XR_ParsePatterns(Mark(type, narrow, wide));
    BestMatch best;
    XR_MatchTable(XR_Stretch(scan, scan.barStarts[0], scan.barEnds[3]), *table, best,
                  scan.shiftRange);
    return best.score;
}

TEST(PatchCode, EveryTypeIsReadAtEveryRatio) {
    const struct { int narrow, wide; } ratios[] = {{1, 2}, {4, 9}, {2, 5}, {4, 11}};
    for (const auto& ratio : ratios) {
        for (int type = 1; type <= 4; ++type) {
            for (double narrowSamples : {4.0, 8.0}) {
                for (double phase : {0.0, 0.2}) {
                    SCOPED_TRACE(testing::Message()
                                 << ratio.narrow << ":" << ratio.wide << " type " << type
                                 << " narrow " << narrowSamples << " phase " << phase);
                    RenderOptions o;
                    o.samplesPerModule = narrowSamples / ratio.narrow;
                    o.offset = phase;
                    ScanSignalPtr scan = RenderModules(Mark(type, ratio.narrow, ratio.wide), o);
                    const Read read = Decode(*scan);
                    ASSERT_EQ(read.result, 1);
                    EXPECT_EQ(XR_TextOf(read.record.rawData), std::to_string(type));
                    EXPECT_EQ(XR_TextOf(read.record.data), "Patch code " + std::to_string(type));
                    EXPECT_EQ(XR_TextOf(read.record.symbology), "Patch Code");
                    EXPECT_EQ(XR_TextOf(read.record.barcodeType), "Generic");
                    EXPECT_EQ(XR_TextOf(read.record.descriptor), "Document separator");
                    EXPECT_GT(read.record.confidence, 0.9f);
                }
            }
        }
    }
}

TEST(PatchCode, TypesOneAndThreeReadTowardsTheCentreAreSixAndT) {
    const struct {
        int type;
        const char* outwards;
        const char* inwards;
    } cases[] = {{1, "1", "6"}, {3, "3", "T"}, {2, "2", "2"}, {4, "4", "4"}};
    for (const auto& c : cases) {
        ScanSignalPtr scan = RenderModules(Mark(c.type), Clean());
        const Read out = Decode(*scan, kOutwards);
        ASSERT_EQ(out.result, 1) << c.type;
        EXPECT_EQ(XR_TextOf(out.record.rawData), c.outwards);
        const Read in = Decode(*scan, kInwards);
        ASSERT_EQ(in.result, 1) << c.type;
        EXPECT_EQ(XR_TextOf(in.record.rawData), c.inwards);
        EXPECT_EQ(XR_TextOf(in.record.data), std::string("Patch code ") + c.inwards);
    }
    // Ends equally far from the centre count as read towards it; the centre is
    // found by whole halving of an odd size.
    ScanSignalPtr scan = RenderModules(Mark(1), Clean());
    EXPECT_EQ(XR_TextOf(Decode(*scan, {100, 10, 100, 90}).record.rawData), "6");
    scan->imageWidth = 201;
    scan->startX = 10, scan->startY = 50, scan->stopX = 190, scan->stopY = 50;
    MatchRecord record = Fresh();
    ASSERT_EQ(XR_DecodePatchCode(*scan, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "6");
    scan->startX = 9;
    record = Fresh();
    ASSERT_EQ(XR_DecodePatchCode(*scan, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "6");
    scan->startX = 11;
    record = Fresh();
    ASSERT_EQ(XR_DecodePatchCode(*scan, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "1");
}

TEST(PatchCode, OnlyMarksOfExactlyFourBarsAreRead) {
    for (const std::string& modules : {Mark(2).substr(0, 7), Mark(2) + "01", Mark(4) + "0101"}) {
        ScanSignalPtr scan = RenderModules(modules, Clean());
        ASSERT_NE(scan->barCount, 4);
        EXPECT_EQ(Decode(*scan, kOutwards, 0.0f).result, 0) << modules;
    }
}

TEST(PatchCode, ConfidenceIsTheScoreOfTheMarkAtTheMeasuredRatio) {
    // Spaces and narrow bars of 10 samples: wide bars of 24 and 34 samples
    // measure 2.4 and 3.4 (the 5:2 and 11:4 templates).
    for (const auto& [wide, narrow, tableWide, otherNarrow, otherWide] :
         {std::array{24, 2, 5, 4, 11}, std::array{34, 4, 11, 2, 5}}) {
        SCOPED_TRACE(wide);
        ScanSignalPtr scan = Exact(Mark(3, 10, wide));
        const float expected = MarkScore(*scan, 3, narrow, tableWide);
        ASSERT_NE(expected, MarkScore(*scan, 3, otherNarrow, otherWide));
        const Read read = Decode(*scan, kOutwards, 0.0f);
        ASSERT_EQ(read.result, 1);
        EXPECT_EQ(XR_TextOf(read.record.rawData), "3");
        EXPECT_FLOAT_EQ(read.record.confidence, expected);
    }
}

TEST(PatchCode, RatioMustLieWithinBounds) {
    // Spaces and narrow bars of 10 samples: 1.2 and 3.6 are refused; 1.3, 3.4
    // and the largest ratio, exactly 3.5, are read.
    for (int wide : {12, 36}) {
        ScanSignalPtr scan = Exact(Mark(2, 10, wide));
        const Read read = Decode(*scan, kOutwards, 0.0f);
        EXPECT_EQ(read.result, 0) << wide;
        EXPECT_EQ(XR_TextOf(read.record.rawData), "") << wide;
    }
    for (int wide : {13, 34, 35}) {
        ScanSignalPtr scan = Exact(Mark(2, 10, wide));
        const Read read = Decode(*scan, kOutwards, 0.0f);
        EXPECT_EQ(read.result, 1) << wide;
        EXPECT_EQ(XR_TextOf(read.record.rawData), "2") << wide;
    }
}

TEST(PatchCode, MustBeatTheRecordsConfidence) {
    ScanSignalPtr scan = RenderModules(Mark(4), Clean());
    const Read first = Decode(*scan);
    ASSERT_EQ(first.result, 1);
    EXPECT_EQ(Decode(*scan, kOutwards, first.record.confidence).result, 0);
}

TEST(PatchCode, SignalEndingInsideTheLastBarIsRefused) {
    ScanSignalPtr cut = CutInsideLastBar(Mark(1));
    ASSERT_EQ(cut->barCount, 4);
    EXPECT_EQ(Decode(*cut, kOutwards, 0.0f).result, 0);
}

}  // namespace
