// The checksums of GS1 DataBar and where symbols keep them.
#include "engine/databar/checksums.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <set>
#include <vector>

namespace {

using namespace zeph::databar;

TEST(Checksums, WeightsArePowersOfThree) {
    EXPECT_EQ(Weight(kOmniModulus, 0), 1);
    EXPECT_EQ(Weight(kOmniModulus, 4), 2);  // 81 mod 79
    EXPECT_EQ(Weight(kOmniModulus, 8), 4);
    EXPECT_EQ(Weight(kLimitedModulus, 5), 65);   // 243 mod 89
    EXPECT_EQ(Weight(kExpandedModulus, 5), 32);  // 243 mod 211
    EXPECT_EQ(Weight(kExpandedModulus, 8), 20);
    // 3 has order 78 modulo 79.
    EXPECT_EQ(Weight(kOmniModulus, 78), 1);
    EXPECT_EQ(WeightedSum(std::array{1, 1, 1, 1}, kOmniModulus, 0), (1 + 3 + 9 + 27) % 79);
    EXPECT_EQ(WeightedSum(std::array{2, 1}, kOmniModulus, 4), (2 * 2 + 6) % 79);
}

// The finder values 0 to 8 on either side make 81 pairs; 0/8 and 8/0 are
// left out, so the 79 checksums fill the rest in order.
TEST(Checksums, FinderPairsOfOmnidirectionalStandForTheChecksum) {
    EXPECT_EQ(OmniChecksumOfFinders(0, 0), 0);
    EXPECT_EQ(OmniChecksumOfFinders(0, 7), 7);
    EXPECT_EQ(OmniChecksumOfFinders(0, 8), -1);
    EXPECT_EQ(OmniChecksumOfFinders(1, 0), 8);
    EXPECT_EQ(OmniChecksumOfFinders(7, 8), 70);
    EXPECT_EQ(OmniChecksumOfFinders(8, 0), -1);
    EXPECT_EQ(OmniChecksumOfFinders(8, 1), 71);
    EXPECT_EQ(OmniChecksumOfFinders(8, 8), 78);
    EXPECT_EQ(OmniChecksumOfFinders(9, 0), -1);
    EXPECT_EQ(OmniChecksumOfFinders(0, -1), -1);
    std::set<int32_t> all;
    for (int32_t l = 0; l < 9; ++l) {
        for (int32_t r = 0; r < 9; ++r) {
            if (OmniChecksumOfFinders(l, r) >= 0) all.insert(OmniChecksumOfFinders(l, r));
        }
    }
    EXPECT_EQ(all.size(), 79u);
}

TEST(Checksums, LimitedCheckCharactersAreDistinctAndWhole) {
    std::set<std::vector<int32_t>> patterns;
    std::array<int32_t, 14> widths{};
    for (int32_t c = 0; c < kLimitedModulus; ++c) {
        ASSERT_TRUE(LimitedCheckCharacter(c, widths));
        // 18 modules, nine of them in the odd elements, ending in two single
        // modules.
        EXPECT_EQ(std::accumulate(widths.begin(), widths.end(), 0), 18) << c;
        int odd = 0;
        for (size_t i = 0; i < widths.size(); i += 2)
            odd += widths[i];
        EXPECT_EQ(odd, 9) << c;
        EXPECT_EQ(widths[12], 1);
        EXPECT_EQ(widths[13], 1);
        EXPECT_EQ(LimitedChecksumOfCharacter(widths), c);
        patterns.insert({widths.begin(), widths.end()});
    }
    EXPECT_EQ(patterns.size(), 89u);
    EXPECT_FALSE(LimitedCheckCharacter(89, widths));
    // A pattern of the right size that is no check character.
    EXPECT_EQ(LimitedChecksumOfCharacter(std::array{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3, 1, 3, 1}), -1);
    EXPECT_EQ(LimitedChecksumOfCharacter(std::array{1, 1, 1}), -1);
}

}  // namespace
