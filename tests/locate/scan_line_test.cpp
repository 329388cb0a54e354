#include <gtest/gtest.h>

#include <vector>

#include "engine/reader.h"

namespace {

ScanLine Place(int x, int y, double q, int width, int height) {
    ScanLine line;
    EXPECT_TRUE(XR_PlaceScanLine(x, y, q, width, height, line));
    return line;
}

void ExpectLine(const ScanLine& l, int x0, int y0, int x1, int y1) {
    EXPECT_EQ(l.x0, x0);
    EXPECT_EQ(l.y0, y0);
    EXPECT_EQ(l.x1, x1);
    EXPECT_EQ(l.y1, y1);
}

TEST(PlaceScanLine, AxisAlignedLinesCrossTheWholeRaster) {
    ExpectLine(Place(30, 40, 0.0, 200, 100), 0, 40, 199, 40);
    ExpectLine(Place(30, 40, 10 * 0.1571, 200, 100), 30, 0, 30, 99);
    ExpectLine(Place(30, 40, -10 * 0.1571, 200, 100), 30, 0, 30, 99);
    ExpectLine(Place(30, 40, 20 * 0.1571, 200, 100), 0, 40, 199, 40);
}

TEST(PlaceScanLine, SlantedLinesRunBetweenTheirBorderCrossings) {
    ExpectLine(Place(50, 50, 0.1571, 100, 100), 0, 43, 99, 57);
    // tan q just above 1: all four crossings are inside; the first starts the
    // line and the last stops it.
    ExpectLine(Place(50, 50, 0.7855, 100, 100), 0, 0, 98, 99);
    // Steep lines start at the top border.
    const ScanLine steep = Place(50, 50, 8 * 0.1571, 100, 100);
    EXPECT_EQ(steep.y0, 0);
    EXPECT_EQ(steep.y1, 99);
}

// A 200 x 40 raster, flat but for vertical stripes of 2 px between columns
// 80 and 120.
std::vector<int32_t> StripedRow() {
    std::vector<int32_t> r(40 * 200, 2000);
    for (int y = 0; y < 40; ++y) {
        for (int x = 80; x < 120; ++x)
            r[y * 200 + x] = (x / 2) % 2 ? 200 : 2400;
    }
    return r;
}

TEST(TrimScanLine, CutsTheLineToTheStripesPlusHalfAQuietZone) {
    const std::vector<int32_t> r = StripedRow();
    ScanLine line{0, 20, 199, 20};
    ASSERT_EQ(XR_TrimScanLine(r, 40, 200, line, 100, 20), 1);
    // Sign changes every 2 samples: a quiet zone is 15 samples, and the walk
    // stops half of one past the last change before 15 unchanged samples.
    EXPECT_GE(line.x1, 120);
    EXPECT_LE(line.x1, 130);
    EXPECT_GE(line.x0, 70);
    EXPECT_LE(line.x0, 80);
    EXPECT_EQ(line.y0, 20);
    EXPECT_EQ(line.y1, 20);
}

TEST(TrimScanLine, KeepsTheLinesDirection) {
    const std::vector<int32_t> r = StripedRow();
    ScanLine line{199, 20, 0, 20};
    ASSERT_EQ(XR_TrimScanLine(r, 40, 200, line, 100, 20), 1);
    EXPECT_GT(line.x0, line.x1);
    EXPECT_LE(line.x0, 130);
    EXPECT_GE(line.x1, 70);
}

TEST(TrimScanLine, WithoutQuietZoneTheEndsMoveHalfAZoneInside) {
    // Stripes everywhere: no run is long enough, so both walks reach the ends.
    std::vector<int32_t> r(10 * 100);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 100; ++x)
            r[y * 100 + x] = (x / 2) % 2 ? 200 : 2400;
    }
    ScanLine line{0, 5, 99, 5};
    ASSERT_EQ(XR_TrimScanLine(r, 10, 100, line, 50, 5), 1);
    EXPECT_EQ(line.x1, 99 - 1 - 7);  // walk ends at index n-1 = 99, minus 15/2
    EXPECT_EQ(line.x0, 0 + 7);
}

TEST(TrimScanLine, UnusableLines) {
    const std::vector<int32_t> r = StripedRow();
    ScanLine point{10, 10, 10, 10};
    EXPECT_EQ(XR_TrimScanLine(r, 40, 200, point, 10, 10), 0);
    // The candidate's projection lies before the line's start.
    ScanLine shortLine{100, 20, 150, 20};
    EXPECT_EQ(XR_TrimScanLine(r, 40, 200, shortLine, 20, 20), 0);
    ScanLine any{0, 20, 199, 20};
    EXPECT_EQ(XR_TrimScanLine({}, 40, 200, any, 100, 20), 0);
}

}  // namespace
