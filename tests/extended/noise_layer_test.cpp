// Large pictures full of noise are read at half size too: the noise floor
// tells them from smooth and textured ones, the half-size layer averages 2 x 2
// pixels, and a symbol hidden in noise at full size is read there, its points
// in the picture's own pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "engine/extended/noise_layer.h"
#include "engine/reader.h"
#include "tests/support/image_renderer.h"
#include "tests/support/picture_search.h"

namespace {

using namespace zeph::extended;
using zeph::test::ImageOptions;
using zeph::test::RenderBarcode;
using zeph::test::SearchExtendedPicture;

// A picture of a horizontal gradient, with uniform noise of this largest
// amplitude (a share of the grey range) added.
std::vector<int32_t> Gradient(int32_t width, int32_t height, double noise, uint32_t seed = 7) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-noise, noise);
    std::vector<int32_t> values(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const double v = 0.2 + 0.6 * x / width + uniform(random);
            values[static_cast<size_t>(y) * width + x] =
                static_cast<int32_t>(std::clamp(v, 0.0, 1.0) * kMaxGrey);
        }
    }
    return values;
}

TEST(NoiseLayer, TheNoiseFloorTellsNoisyPicturesFromSmoothOnes) {
    const std::vector<int32_t> smooth = Gradient(400, 300, 0);
    const std::vector<int32_t> grain = Gradient(400, 300, 0.02);
    const std::vector<int32_t> noisy = Gradient(400, 300, 0.25);
    EXPECT_LT(NoiseFloor({smooth, 300, 400}, kMaxGrey), 0.01);
    EXPECT_LT(NoiseFloor({grain, 300, 400}, kMaxGrey), 0.04);
    EXPECT_GT(NoiseFloor({noisy, 300, 400}, kMaxGrey), 0.1);
    // Only large pictures are worth a second read at half size.
    EXPECT_FALSE(WantsHalfLayer({noisy, 300, 400}, kMaxGrey));
    const std::vector<int32_t> large = Gradient(1200, 900, 0.25);
    EXPECT_TRUE(WantsHalfLayer({large, 900, 1200}, kMaxGrey));
    const std::vector<int32_t> largeSmooth = Gradient(1200, 900, 0.01);
    EXPECT_FALSE(WantsHalfLayer({largeSmooth, 900, 1200}, kMaxGrey));
    // Degenerate pictures measure no noise.
    EXPECT_EQ(NoiseFloor({std::span<const int32_t>(smooth).first(3), 3, 1}, kMaxGrey), 0);
}

// The noise floor as its definition gives it: the median bin of the sampled
// differences, each bin found by division.
double PlainNoiseFloor(const std::vector<int32_t>& values, int32_t height, int32_t width,
                       int32_t maxGrey) {
    std::vector<int64_t> bins;
    for (int32_t y = 8; y < height; y += 16) {
        for (int32_t x = 1; x < width; ++x) {
            const int64_t d = std::abs(values[y * width + x] - values[y * width + x - 1]);
            bins.push_back(std::min<int64_t>(255, d * 256 / maxGrey));
        }
    }
    if (bins.empty()) return 0;
    std::sort(bins.begin(), bins.end());
    return (static_cast<double>(bins[(bins.size() - 1) / 2]) + 0.5) / 256;
}

TEST(NoiseLayer, TheNoiseFloorIsTheMedianBinOfTheSampledDifferences) {
    // Grey ranges of every size (the largest beyond the looked-up ones), and
    // differences beyond the range, which fall in the last bin.
    std::mt19937 random(11);
    for (const int32_t maxGrey : {1, 255, 2550, 70000, 1 << 30}) {
        for (const auto& [height, width] :
             {std::pair{40, 33}, std::pair{17, 2}, std::pair{9, 300}}) {
            for (const int32_t spread : {maxGrey / 50 + 1, maxGrey, 2 * (maxGrey / 2) + 1}) {
                std::uniform_int_distribution<int32_t> value(0, spread);
                std::vector<int32_t> values(static_cast<size_t>(height) * width);
                for (int32_t& v : values)
                    v = value(random);
                EXPECT_EQ(NoiseFloor({values, height, width}, maxGrey),
                          PlainNoiseFloor(values, height, width, maxGrey))
                    << "grey range " << maxGrey << ", " << width << " x " << height << ", spread "
                    << spread;
            }
        }
    }
}

TEST(NoiseLayer, TheHalfSizeLayerAveragesTwoByTwoCells) {
    // 5 x 3: the last row and column are dropped.
    const std::vector<int32_t> values = {1,  3,  10, 20, 99,  //
                                         5,  7,  30, 40, 99,  //
                                         99, 99, 99, 99, 99};
    std::vector<int32_t> out;
    Picture half;
    ASSERT_TRUE(HalfSize({values, 3, 5}, out, half));
    EXPECT_EQ(half.width, 2);
    EXPECT_EQ(half.height, 1);
    EXPECT_EQ(out, (std::vector<int32_t>{4, 25}));
    EXPECT_FALSE(HalfSize({std::span<const int32_t>(values).first(5), 1, 5}, out, half));
}

TEST(NoiseLayer, ASymbolHiddenInNoiseIsReadAtHalfSizeAndNothingIsInvented) {
    ImageOptions o;
    o.data = "590123412345";
    o.moduleSize = 3;
    o.canvasWidth = 1400;
    o.canvasHeight = 1000;
    o.centreX = 500;
    o.centreY = 600;
    o.angle = 12;
    o.noise = 150;  // at full size, no line reads it
    o.seed = 3;
    const auto reads = SearchExtendedPicture(RenderBarcode(o), kDefaultProtocolMask);
    ASSERT_EQ(reads.RawTexts(), std::vector<std::string>{"5901234123457"});
    // The record's points lie on the symbol in the picture's own pixels (at
    // half size they would lie near (250, 300)).
    const MatchRecord& r = reads.records[0];
    EXPECT_NEAR(r.centreX, 500, 150);
    EXPECT_NEAR(r.centreY, 600, 150);

    o.data.clear();
    o.modules = "0";  // paper alone
    EXPECT_TRUE(SearchExtendedPicture(RenderBarcode(o), kDefaultProtocolMask).RawTexts().empty());
}

}  // namespace
