// A point lies on a read symbol's bars only where those bars run unbroken from
// the symbol's read line to it: across a gap, onto another symbol, past the
// bars' ends or across the grain of the bars, it does not.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/extended/bar_continuity.h"
#include "engine/extended/same_bars.h"
#include "engine/reader.h"

namespace {

using namespace zeph::extended;

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;

// Paper with blocks of vertical bars: each block spans rows [top, bottom)
// and has its own bar pattern, drawn from `seed`; bars lean by `lean`
// pixels per row.
struct Block {
    int32_t top;
    int32_t bottom;
    uint32_t seed;
};

std::vector<int32_t> Bars(const std::vector<Block>& blocks, double lean = 0) {
    std::vector<int32_t> values(static_cast<size_t>(kWidth) * kHeight, kMaxGrey * 9 / 10);
    for (const Block& b : blocks) {
        std::mt19937 random(b.seed);
        std::uniform_int_distribution<int> widths(2, 8);
        std::vector<bool> dark(kWidth * 2, false);
        bool bar = true;
        for (int x = 0; x < kWidth * 2;) {
            const int w = widths(random);
            for (int k = 0; k < w && x < kWidth * 2; ++k, ++x)
                dark[static_cast<size_t>(x)] = bar;
            bar = !bar;
        }
        for (int32_t y = b.top; y < b.bottom; ++y) {
            for (int32_t x = 40; x < kWidth - 40; ++x) {
                const auto at = static_cast<int32_t>(std::lround(x - lean * y)) + kWidth / 2;
                if (dark[static_cast<size_t>(std::clamp(at, 0, 2 * kWidth - 1))])
                    values[static_cast<size_t>(y) * kWidth + x] = kMaxGrey / 10;
            }
        }
    }
    return values;
}

MatchRecord ReadAcross(int32_t y) {
    MatchRecord r;
    r.startX = 30;
    r.startY = y;
    r.stopX = kWidth - 30;
    r.stopY = y;
    return r;
}

TEST(BarContinuity, FollowsUnbrokenBarsToThePoint) {
    const std::vector<int32_t> values = Bars({{40, 200, 1}});
    const Picture picture{values, kHeight, kWidth};
    BarContinuity continuity;
    const MatchRecord record = ReadAcross(120);
    // Above and below the read line, and near its ends.
    EXPECT_TRUE(continuity.OnBarsOf(picture, record, 160, 60, 0));
    EXPECT_TRUE(continuity.OnBarsOf(picture, record, 160, 190, 0));
    EXPECT_TRUE(continuity.OnBarsOf(picture, record, 60, 80, 0));
    EXPECT_TRUE(continuity.OnBarsOf(picture, record, 270, 160, 3.14159));
}

TEST(BarContinuity, LeaningBarsAreFollowedToo) {
    // A lean of 0.2 pixels per row: under one sample per step of profiles.
    const std::vector<int32_t> values = Bars({{40, 200, 1}}, 0.2);
    const Picture picture{values, kHeight, kWidth};
    BarContinuity continuity;
    EXPECT_TRUE(continuity.OnBarsOf(picture, ReadAcross(120), 160, 60, 0.2));
}

TEST(BarContinuity, AGapOrAnotherSymbolBreaksTheBars) {
    // Two symbols, one above the other, with paper between them.
    const std::vector<int32_t> values = Bars({{20, 100, 1}, {130, 220, 2}});
    const Picture picture{values, kHeight, kWidth};
    BarContinuity continuity;
    const MatchRecord upper = ReadAcross(60);
    EXPECT_TRUE(continuity.OnBarsOf(picture, upper, 160, 90, 0));
    EXPECT_FALSE(continuity.OnBarsOf(picture, upper, 160, 150, 0));
    // Touching symbols with different bars.
    const std::vector<int32_t> touching = Bars({{20, 110, 1}, {110, 220, 2}});
    EXPECT_FALSE(continuity.OnBarsOf({touching, kHeight, kWidth}, upper, 160, 150, 0));
    // The same bars on both sides of the gap are still two symbols.
    const std::vector<int32_t> twins = Bars({{20, 100, 1}, {130, 220, 1}});
    EXPECT_FALSE(continuity.OnBarsOf({twins, kHeight, kWidth}, upper, 160, 150, 0));
}

TEST(BarContinuity, OnlyPointsBesideTheLineWithTheSameGrain) {
    const std::vector<int32_t> values = Bars({{0, kHeight, 1}});
    const Picture picture{values, kHeight, kWidth};
    BarContinuity continuity;
    const MatchRecord record = ReadAcross(120);
    // Bars across another angle are other bars.
    EXPECT_FALSE(continuity.OnBarsOf(picture, record, 160, 100, 1.0));
    // Beyond the line's ends, or too far across it for its length.
    EXPECT_FALSE(continuity.OnBarsOf(picture, record, 10, 100, 0));
    MatchRecord shortLine = record;
    shortLine.startX = 140;
    shortLine.stopX = 200;
    EXPECT_FALSE(continuity.OnBarsOf(picture, shortLine, 170, 60, 0));
    EXPECT_TRUE(continuity.OnBarsOf(picture, shortLine, 170, 100, 0));
    // A line of no length, or one too short to follow.
    MatchRecord point = record;
    point.stopX = point.startX;
    EXPECT_FALSE(continuity.OnBarsOf(picture, point, 30, 110, 0));
    shortLine.stopX = shortLine.startX + 10;
    EXPECT_FALSE(continuity.OnBarsOf(picture, shortLine, 145, 118, 0));
}

// Bars taller than half their line: followed as far as the band asked for
// reaches, and two reads of one symbol at its top and its foot cross the same
// bars, while reads of two symbols, one above the other, do not.
TEST(BarContinuity, TallBarsAreFollowedAsFarAsTheBandReaches) {
    const std::vector<int32_t> values = Bars({{10, 230, 1}});
    const Picture picture{values, kHeight, kWidth};
    BarContinuity continuity;
    MatchRecord top = ReadAcross(20);
    top.startX = 90;
    top.stopX = 230;  // 140 pixels long: the foot lies 200 pixels across
    EXPECT_FALSE(continuity.OnBarsOf(picture, top, 160, 220, 0));
    EXPECT_FALSE(continuity.OnBarsOf(picture, top, 160, 220, 0, 1.0));
    EXPECT_TRUE(continuity.OnBarsOf(picture, top, 160, 150, 0, 1.0));
    EXPECT_TRUE(continuity.OnBarsOf(picture, top, 160, 220, 0, 1.5));

    MatchRecord foot = top;
    foot.startY = foot.stopY = foot.centreY = 150;
    top.centreX = foot.centreX = 160;
    top.centreY = 20;
    EXPECT_TRUE(OnTheSameBars(picture, top, foot, continuity));
    EXPECT_TRUE(OnTheSameBars(picture, foot, top, continuity));
    const std::vector<int32_t> stacked = Bars({{10, 100, 1}, {110, 230, 2}});
    EXPECT_FALSE(OnTheSameBars({stacked, kHeight, kWidth}, top, foot, continuity));
    // Lines across each other are no reads of the same bars.
    MatchRecord turned = foot;
    turned.startX = turned.stopX = 160;
    turned.startY = 80;
    turned.stopY = 220;
    EXPECT_FALSE(OnTheSameBars(picture, top, turned, continuity));
}

TEST(BarContinuity, FlatPaperAndTheBorderConfirmNothing) {
    const std::vector<int32_t> paper(static_cast<size_t>(kWidth) * kHeight, kMaxGrey * 9 / 10);
    BarContinuity continuity;
    EXPECT_FALSE(continuity.OnBarsOf({paper, kHeight, kWidth}, ReadAcross(120), 160, 60, 0));
    // Profiles that would leave the picture.
    const std::vector<int32_t> values = Bars({{0, kHeight, 1}});
    MatchRecord wide = ReadAcross(120);
    wide.startX = -20;
    EXPECT_FALSE(continuity.OnBarsOf({values, kHeight, kWidth}, wide, 0, 60, 0));
    // On the line itself there is nothing to follow.
    EXPECT_FALSE(continuity.OnBarsOf({values, kHeight, kWidth}, ReadAcross(120), 160, 120, 0));
}

}  // namespace
