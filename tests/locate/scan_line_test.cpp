#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
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

// The trim as first written: the whole profile sampled and centred, then
// searched from the centre out. The engine samples only what the search
// reaches; both must give the same line on any picture.
int TrimWholeProfile(const std::vector<int32_t>& raster, int32_t height, int32_t width,
                     ScanLine& line, int32_t x, int32_t y) {
    const double dx = line.x1 - line.x0;
    const double dy = line.y1 - line.y0;
    const int n = static_cast<int>(std::floor(std::sqrt(dx * dx + dy * dy) + 0.5));
    if (n <= 0 || n > height + width) return 0;
    const double ex = dx / n;
    const double ey = dy / n;
    std::vector<float> p(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const int row = std::clamp(line.y0 + static_cast<int>(std::floor(i * ey)), 0, height - 1);
        const int col = std::clamp(line.x0 + static_cast<int>(std::floor(i * ex)), 0, width - 1);
        p[static_cast<size_t>(i)] =
            static_cast<float>(raster[static_cast<size_t>(row) * width + col]);
    }
    const double centre = std::fabs(ey) >= std::fabs(ex) ? (y - line.y0) / ey : (x - line.x0) / ex;
    if (!(centre >= 0) || centre >= n) return 0;
    const int jc = static_cast<int>(std::floor(centre));
    const int a = std::clamp(jc - 10, 0, n - 1);
    const int b = std::clamp(jc + 10, 0, n - 1);
    const int u = b - a + 1;
    double sum = 0;
    for (int k = a; k <= b; ++k)
        sum += p[static_cast<size_t>(k)];
    const float mean = static_cast<float>(sum / u);
    for (float& v : p)
        v -= mean;
    const auto at = [&](int k) { return p[static_cast<size_t>(k)]; };
    int crossings = 0;
    for (int k = a; k < b; ++k)
        crossings += at(k) * at(k + 1) <= 0 ? 1 : 0;
    const int w = static_cast<int>(std::floor(double(u) / (crossings + 1) * 8 + 0.5));
    int k = jc + 1;
    int run = 0;
    while (k < n - 1) {
        run = at(k) * at(k + 1) > 0 ? run + 1 : 0;
        ++k;
        if (run >= w) break;
    }
    const int stopIndex = k - w / 2;
    k = jc - 1;
    run = 0;
    while (k > 0) {
        run = at(k) * at(k + 1) > 0 ? run + 1 : 0;
        --k;
        if (run >= w) break;
    }
    const int startIndex = k + w / 2;
    const ScanLine untrimmed = line;
    const auto point = [&](int index, int32_t origin, double step) {
        return static_cast<int32_t>(std::floor(index * step + origin + 0.5));
    };
    line = {point(startIndex, untrimmed.x0, ex), point(startIndex, untrimmed.y0, ey),
            point(stopIndex, untrimmed.x0, ex), point(stopIndex, untrimmed.y0, ey)};
    return 1;
}

TEST(TrimScanLine, GivesTheSameLineAsTrimmingTheWholeProfile) {
    constexpr int32_t kWidth = 300;
    constexpr int32_t kHeight = 200;
    std::mt19937 random(11);
    std::uniform_int_distribution<int32_t> grey(0, 2550);
    std::uniform_real_distribution<double> angle(0, 3.14159265);
    std::vector<int32_t> raster(static_cast<size_t>(kWidth) * kHeight);
    int trimmed = 0;
    for (int picture = 0; picture < 6; ++picture) {
        // Stripes of random widths and greys across a random angle, on
        // paper with noise, and on every other picture a flat margin where
        // the stripes stop.
        const double q = angle(random);
        std::vector<int32_t> stripe(1024);
        for (size_t i = 0; i < stripe.size();) {
            const size_t w = 1 + static_cast<size_t>(grey(random) % 6);
            const int32_t v = grey(random);
            for (size_t k = 0; k < w && i < stripe.size(); ++k, ++i)
                stripe[i] = v;
        }
        for (int32_t r = 0; r < kHeight; ++r) {
            for (int32_t c = 0; c < kWidth; ++c) {
                const auto at =
                    static_cast<size_t>(std::lround(c * std::cos(q) + r * std::sin(q))) + 400;
                const bool margin = picture % 2 == 1 && (c < 60 || c > 240);
                raster[static_cast<size_t>(r) * kWidth + c] =
                    margin ? 2200 + grey(random) % 40 : stripe[at % stripe.size()];
            }
        }
        for (int test = 0; test < 300; ++test) {
            const int32_t x = grey(random) % kWidth;
            const int32_t y = grey(random) % kHeight;
            ScanLine placed;
            if (!XR_PlaceScanLine(x, y, angle(random), kWidth, kHeight, placed)) continue;
            ScanLine engine = placed;
            ScanLine whole = placed;
            const int r = XR_TrimScanLine(raster, kHeight, kWidth, engine, x, y);
            ASSERT_EQ(r, TrimWholeProfile(raster, kHeight, kWidth, whole, x, y));
            if (r != 1) continue;
            ++trimmed;
            ExpectLine(engine, whole.x0, whole.y0, whole.x1, whole.y1);
        }
    }
    EXPECT_GT(trimmed, 1000);
}

}  // namespace
