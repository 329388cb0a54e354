#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/match/score_threshold.h"
#include "engine/match/table_scores.h"
#include "engine/reader.h"

namespace {

using zeph::match::BestScores;
using zeph::match::ScoresReach;

// A stretch that draws the modules at `perModule` samples each, blurred and
// noisy, on a level of its own.
std::vector<float> Drawn(const std::string& modules, double perModule, double noise,
                         std::mt19937& random) {
    std::normal_distribution<double> jitter(0.0, noise);
    const auto n = static_cast<size_t>(modules.size() * perModule);
    std::vector<float> out(n);
    const double level = std::uniform_real_distribution<double>(-50, 50)(random);
    for (size_t i = 0; i < n; ++i) {
        const size_t k = std::min(modules.size() - 1, static_cast<size_t>(i / perModule));
        out[i] = static_cast<float>(level + (modules[k] == '1' ? -1.0 : 1.0) + jitter(random));
    }
    return out;
}

// The decision from the exact scores.
std::array<bool, 2> Exact(std::span<const float> stretch, const PatternTable& a,
                          const PatternTable& b, float least) {
    const std::array<const PatternTable*, 2> tables = {&a, &b};
    std::array<float, 2> scores{};
    BestScores(stretch, tables, 0, scores);
    return {scores[0] >= least, scores[1] >= least};
}

std::array<bool, 2> Bounded(std::span<const float> stretch, const PatternTable& a,
                            const PatternTable& b, float least) {
    const std::array<const PatternTable*, 2> tables = {&a, &b};
    std::array<bool, 2> reached{};
    ScoresReach(stretch, tables, least, reached);
    return reached;
}

class ScoreThreshold : public ::testing::Test {
  protected:
    PatternTablePtr starts_ = XR_ParsePatterns("11010000100 11010010000 11010011100");
    PatternTablePtr other_ = XR_ParsePatterns("101011110");
};

TEST_F(ScoreThreshold, DecidesAsTheExactScoresOnDrawnAndRandomStretches) {
    std::mt19937 random(7);
    const std::array<std::string, 4> drawn = {"11010000100", "101011110", "1100011101011",
                                              "10110100101"};
    int reachedSeen = 0;
    int belowSeen = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<float> stretch;
        if (trial % 3 == 2) {
            // Random samples of every length up to past the longest scored.
            std::uniform_real_distribution<float> value(-3, 3);
            stretch.resize(static_cast<size_t>(1 + trial % 520));
            for (float& v : stretch)
                v = value(random);
        } else {
            const double perModule = std::uniform_real_distribution<double>(0.8, 40)(random);
            const double noise = std::uniform_real_distribution<double>(0, 1.5)(random);
            stretch =
                Drawn(drawn[static_cast<size_t>(trial) % drawn.size()], perModule, noise, random);
        }
        for (const float least : {0.6f, 0.3f, 0.9f}) {
            const auto exact = Exact(stretch, *starts_, *other_, least);
            EXPECT_EQ(Bounded(stretch, *starts_, *other_, least), exact)
                << "trial " << trial << ", " << stretch.size() << " samples";
            reachedSeen += exact[0] + exact[1];
            belowSeen += !exact[0] + !exact[1];
        }
    }
    // Both answers occur often, so both ways of deciding were taken.
    EXPECT_GT(reachedSeen, 1000);
    EXPECT_GT(belowSeen, 1000);
}

TEST_F(ScoreThreshold, ThresholdsAtTheExactScoreItselfAreDecidedExactly) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 300; ++trial) {
        const double perModule = std::uniform_real_distribution<double>(1.5, 20)(random);
        const auto stretch = Drawn("11010010000", perModule, 0.8, random);
        const std::array<const PatternTable*, 1> tables = {starts_.get()};
        std::array<float, 1> score{};
        BestScores(stretch, tables, 0, score);
        if (!(score[0] > 0.01f)) continue;
        // The score itself and its float neighbours: only the exact one decides these.
        for (const float least :
             {score[0], std::nextafter(score[0], 0.0f), std::nextafter(score[0], 2.0f)}) {
            std::array<bool, 1> reached{};
            ScoresReach(stretch, tables, least, reached);
            EXPECT_EQ(reached[0], score[0] >= least) << trial;
        }
    }
}

TEST_F(ScoreThreshold, FlatEmptyOverlongAndNotANumberStretches) {
    const std::vector<float> flat(60, 2.5f);
    const std::vector<float> empty;
    const std::vector<float> overlong(kMaxStretch + 1, 1.0f);
    std::vector<float> broken(60, 1.0f);
    for (size_t i = 0; i < broken.size(); i += 2)
        broken[i] = -1.0f;
    broken[7] = NAN;
    const std::array<const std::vector<float>*, 4> stretches = {&flat, &empty, &overlong, &broken};
    for (const std::vector<float>* stretch : stretches) {
        for (const float least : {0.6f, 0.0f, -0.5f}) {
            EXPECT_EQ(Bounded(*stretch, *starts_, *other_, least),
                      Exact(*stretch, *starts_, *other_, least))
                << stretch->size() << " samples, least " << least;
        }
    }
}

}  // namespace
