#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/parallel/work_crew.h"
#include "engine/reader.h"

namespace {

std::vector<int32_t> Constant(int height, int width, int32_t grey) {
    return std::vector<int32_t>(static_cast<size_t>(height) * width, grey);
}

TEST(TileEnergy, ConstantGreyRespondsWithTheKernelsDcGain) {
    // Every response is 0.07 * 1000 = 70; 15 of a tile's 20 pixels respond in
    // each direction, so a tile holds 0.5 * (15*20*70 * 2) / 400 = 52.5.
    const std::vector<int32_t> raster = Constant(40, 40, 1000);
    std::vector<float> energy(4, -1.0f);
    const float largest = XR_TileEnergy(raster, 40, 40, energy, 20);
    for (float e : energy)
        EXPECT_NEAR(e, 52.5f, 0.01f);
    EXPECT_NEAR(largest, 52.5f, 0.01f);
}

TEST(TileEnergy, NarrowRastersGetNoAcrossResponses) {
    // 10 columns: the 11-tap kernel never fits across; down the columns it does
    // for rows 5 to 34.
    const std::vector<int32_t> raster = Constant(40, 10, 1000);
    std::vector<float> energy(8 * 2, -1.0f);
    XR_TileEnergy(raster, 40, 10, energy, 5);
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 2; ++c) {
            // 25 pixels * 70 * 0.5 / 25 for tiles whose rows all respond.
            const float expected = (r == 0 || r == 7) ? 0.0f : 35.0f;
            EXPECT_NEAR(energy[r * 2 + c], expected, 0.01f) << r << "," << c;
        }
    }
}

TEST(TileEnergy, StripesOutshineFlatAreasAndPixelsBeyondWholeTilesDoNotCount) {
    // Vertical stripes of 2 px in the right half of a 45 x 60 raster with tiles
    // of 20: the stripes' tiles have far more energy than the flat ones, and the
    // five rows and columns beyond the last whole tile are ignored.
    std::vector<int32_t> raster = Constant(45, 60, 400);
    for (int y = 0; y < 45; ++y) {
        for (int x = 30; x < 60; ++x)
            raster[y * 60 + x] = (x / 2) % 2 ? 200 : 2400;
    }
    std::vector<float> energy(2 * 3);
    const float largest = XR_TileEnergy(raster, 45, 60, energy, 20);
    EXPECT_GT(energy[2], 5 * energy[0]);
    EXPECT_GT(energy[5], 5 * energy[3]);
    EXPECT_FLOAT_EQ(largest,
                    std::max({energy[0], energy[1], energy[2], energy[3], energy[4], energy[5]}));
}

TEST(TileEnergy, EmptyAndTooSmallInputs) {
    std::vector<float> energy(1, 5.0f);
    EXPECT_EQ(XR_TileEnergy({}, 0, 0, energy, 20), 0.0f);
    const std::vector<int32_t> small = Constant(19, 19, 2550);
    EXPECT_EQ(XR_TileEnergy(small, 19, 19, energy, 20), 0.0f);
    // A raster shorter than its stated size is refused, not read past its end.
    EXPECT_EQ(XR_TileEnergy(small, 40, 40, energy, 20), -1.0f);
    // So is an energy map too small for the tiles.
    const std::vector<int32_t> big = Constant(40, 40, 1);
    EXPECT_EQ(XR_TileEnergy(big, 40, 40, energy, 20), -1.0f);
}

struct Scores {
    std::vector<float> smooth;
    std::vector<float> score;
    int selected;
};

Scores Score(const std::vector<float>& energy, int rows, int cols, float threshold) {
    Scores s{std::vector<float>(energy.size()), std::vector<float>(energy.size()), 0};
    s.selected = XR_TileScores(energy, s.smooth, s.score, rows, cols, threshold);
    return s;
}

TEST(TileScores, SelectsLocalMaximaAboveTheThreshold) {
    // Two separate peaks; only the one above the threshold is selected, and its
    // score is its own energy.
    std::vector<float> energy(5 * 7, 1.0f);
    energy[1 * 7 + 1] = 300;
    energy[3 * 7 + 5] = 150;
    const Scores s = Score(energy, 5, 7, 178.5f);
    EXPECT_EQ(s.selected, 1);
    EXPECT_EQ(s.score[1 * 7 + 1], 300.0f);
    EXPECT_EQ(s.score[3 * 7 + 5], 0.0f);

    const Scores both = Score(energy, 5, 7, 100.0f);
    EXPECT_EQ(both.selected, 2);
}

TEST(TileScores, EnergyEqualToTheThresholdIsNotEnough) {
    const Scores s = Score({178.5f}, 1, 1, 178.5f);
    EXPECT_EQ(s.selected, 0);
    const Scores single = Score({178.6f}, 1, 1, 178.5f);
    EXPECT_EQ(single.selected, 1);
    EXPECT_EQ(single.score[0], 178.6f);
}

TEST(TileScores, SmoothingSumsFourDirectionalFilters) {
    // A single tile: each of the four passes contributes 0.6 * e.
    const Scores s = Score({10.0f}, 1, 1, 0);
    EXPECT_FLOAT_EQ(s.smooth[0], 24.0f);
    // Along a row of two: left-to-right gives 6 and 0.4*6 = 2.4 (+0 from the
    // second), the reverse pass the mirror, and each column adds 2 * 0.6 * e.
    const Scores row = Score({10.0f, 0.0f}, 1, 2, 0);
    EXPECT_FLOAT_EQ(row.smooth[0], 6.0f + 6.0f + 12.0f);
    EXPECT_FLOAT_EQ(row.smooth[1], 2.4f + 0.0f + 0.0f);
}

TEST(TileScores, TiesFavourTheLowerOfTwoVerticalNeighbours) {
    // Equal energies give equal smoothed values in a 2 x 1 column.
    const Scores vertical = Score({200.0f, 200.0f}, 2, 1, 100.0f);
    EXPECT_EQ(vertical.selected, 1);
    EXPECT_EQ(vertical.score[0], 0.0f);
    EXPECT_EQ(vertical.score[1], 200.0f);

    const Scores horizontal = Score({200.0f, 200.0f}, 1, 2, 100.0f);
    EXPECT_EQ(horizontal.selected, 0);
}

// The energies written out plainly: one pass across every row, then one down
// every column, each response summing all eleven taps in order.
std::vector<float> PlainEnergies(const std::vector<int32_t>& raster, int height, int width,
                                 int tile, float& largest) {
    const int rows = height / tile, cols = width / tile, span = cols * tile;
    std::vector<float> energy(static_cast<size_t>(rows) * cols, 0.0f);
    std::vector<float> line(static_cast<size_t>(std::max(span, 1)));
    const auto response = [&](int x, int y, int dx, int dy) {
        float sum = 0;
        for (int k = 0; k < 11; ++k)
            sum += static_cast<float>(
                       raster[static_cast<size_t>(y + (k - 5) * dy) * width + x + (k - 5) * dx]) *
                   XR_BandPassKernel[k];
        return std::fabs(sum);
    };
    const auto addLine = [&](int y) {
        for (int c = 0; c < cols; ++c) {
            float sum = 0;
            for (int i = 0; i < tile; ++i)
                sum += line[c * tile + i];
            energy[static_cast<size_t>(y / tile) * cols + c] += sum;
        }
    };
    for (int y = 0; y < rows * tile; ++y) {
        for (int x = 0; x < span; ++x)
            line[x] = x >= 5 && x <= width - 6 ? response(x, y, 1, 0) : 0.0f;
        addLine(y);
    }
    for (int y = 5; y <= std::min(rows * tile - 1, height - 6); ++y) {
        for (int x = 0; x < span; ++x)
            line[x] = response(x, y, 0, 1);
        addLine(y);
    }
    const float norm = 0.5f / static_cast<float>(tile * tile);
    largest = 0;
    for (float& e : energy) {
        largest = std::max(largest, e);
        e *= norm;
    }
    largest *= norm;
    return energy;
}

TEST(TileEnergy, EqualsThePlainSumsToTheBitAloneAndWithACrew) {
    std::mt19937 random(7);
    zeph::WorkCrew crew(3);
    // Widths around the eight-pixel blocks and the kernel's reach; tile sizes
    // with and without loops of their own.
    const std::array<std::array<int, 3>, 6> shapes = {
        {{90, 61, 15}, {47, 100, 20}, {33, 17, 5}, {12, 200, 12}, {64, 9, 3}, {31, 45, 15}}};
    // Greys of the engine's range, and values beyond 2^24, which a float
    // holds only rounded.
    std::uniform_int_distribution<int32_t> anyValue(std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max());
    for (const bool wide : {false, true})
        for (const auto& [height, width, tile] : shapes) {
            std::vector<int32_t> raster(static_cast<size_t>(height) * width);
            for (int32_t& v : raster)
                v = wide ? anyValue(random) : static_cast<int32_t>(random() % 2551);
            float plainLargest = 0;
            const std::vector<float> plain =
                PlainEnergies(raster, height, width, tile, plainLargest);
            for (zeph::WorkCrew* with : {static_cast<zeph::WorkCrew*>(nullptr), &crew}) {
                std::vector<float> energy(plain.size() + 1, -1.0f);
                const float largest = XR_TileEnergy(raster, height, width, energy, tile, with);
                energy.pop_back();
                EXPECT_EQ(std::memcmp(energy.data(), plain.data(), plain.size() * sizeof(float)), 0)
                    << height << " x " << width << " tiles of " << tile << (with ? " crew" : "")
                    << (wide ? ", wide values" : "");
                EXPECT_EQ(largest, plainLargest);
            }
        }
}

TEST(RefineTilePosition, CentroidOfTheThreeByThreeTiles) {
    std::vector<float> energy(4 * 4, 0.0f);
    energy[1 * 4 + 2] = 3;
    energy[2 * 4 + 2] = 1;
    const TilePoint p = XR_RefineTilePosition(energy, 4, 4, 2, 1);
    EXPECT_DOUBLE_EQ(p.x, 2.0);
    EXPECT_DOUBLE_EQ(p.y, 1.25);

    // At the border the block is moved inside the grid.
    energy.assign(16, 1.0f);
    const TilePoint corner = XR_RefineTilePosition(energy, 4, 4, 0, 3);
    EXPECT_DOUBLE_EQ(corner.x, 1.0);
    EXPECT_DOUBLE_EQ(corner.y, 2.0);
}

TEST(RefineTilePosition, SmallGridsAndEmptyBlocksKeepTheTile) {
    std::vector<float> energy(2 * 5, 9.0f);
    const TilePoint small = XR_RefineTilePosition(energy, 2, 5, 3, 1);
    EXPECT_DOUBLE_EQ(small.x, 3.0);
    EXPECT_DOUBLE_EQ(small.y, 1.0);
    std::vector<float> zeros(3 * 3, 0.0f);
    const TilePoint none = XR_RefineTilePosition(zeros, 3, 3, 1, 2);
    EXPECT_DOUBLE_EQ(none.x, 1.0);
    EXPECT_DOUBLE_EQ(none.y, 2.0);
}

}  // namespace
