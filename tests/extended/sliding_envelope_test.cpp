#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/extended/sliding_envelope.h"

namespace {

using zeph::extended::SlidingEnvelope;

// Every window cut to the signal, from signals of every length around the
// block size (one block, a block and a sample, many blocks with a short last
// one), as the plain minimum and maximum over it.
TEST(SlidingEnvelope, EqualsThePlainExtremesOfEveryWindow) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-100, 100);
    for (const int32_t reach : {0, 1, 2, 6, 13}) {
        for (const int n : {1, 2, 3, 5, 13, 14, 27, 28, 29, 100}) {
            std::vector<float> v(n);
            for (float& x : v)
                x = value(random);
            // Repeated values: a flat run inside a window.
            if (n > 4) std::fill(v.begin() + 1, v.begin() + 4, v[1]);
            std::vector<float> low(n), high(n), lowAfter(n), highAfter(n);
            SlidingEnvelope(v, reach, low, high, lowAfter, highAfter);
            for (int j = 0; j < n; ++j) {
                const auto from = v.begin() + std::max(0, j - reach);
                const auto to = v.begin() + std::min(n, j + reach + 1);
                EXPECT_EQ(low[j], *std::min_element(from, to))
                    << "reach " << reach << " n " << n << " sample " << j;
                EXPECT_EQ(high[j], *std::max_element(from, to))
                    << "reach " << reach << " n " << n << " sample " << j;
            }
        }
    }
}

TEST(SlidingEnvelope, ReachBeyondTheSignalTakesItAll) {
    const std::vector<float> v{3, -1, 4, 1, -5, 9};
    std::vector<float> low(6), high(6), lowAfter(6), highAfter(6);
    SlidingEnvelope(v, 1000000, low, high, lowAfter, highAfter);
    for (int j = 0; j < 6; ++j) {
        EXPECT_EQ(low[j], -5);
        EXPECT_EQ(high[j], 9);
    }
}

}  // namespace
