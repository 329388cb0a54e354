#include "engine/symbologies/wide_narrow.h"

#include <gtest/gtest.h>

#include <array>

namespace zeph::wide_narrow {
namespace {

TEST(WideNarrowExpansion, ElementsAlternateFromABarInEveryToken) {
    EXPECT_EQ(Expand("NWNNW", {1, 2}), "1001011");
    EXPECT_EQ(Expand("NW WN", {2, 5}), "1100000 1111100");
    EXPECT_EQ(Expand("NNW", {4, 9}), "11110000111111111");
    EXPECT_EQ(Expand("", {1, 3}), "");
}

TEST(WideNarrowExpansion, RatioBoundsBelongToTheUpperVariant) {
    constexpr std::array<float, 3> bounds = {2.125f, 2.375f, 2.625f};
    EXPECT_EQ(VariantFor(1.0f, bounds), 0u);
    EXPECT_EQ(VariantFor(2.124f, bounds), 0u);
    EXPECT_EQ(VariantFor(2.125f, bounds), 1u);
    EXPECT_EQ(VariantFor(2.5f, bounds), 2u);
    EXPECT_EQ(VariantFor(2.625f, bounds), 3u);
    EXPECT_EQ(VariantFor(9.0f, bounds), 3u);
}

TEST(WideNarrowVariants, EachSymbologyChoosesAmongItsFirstVariants) {
    // Seven variants: every bound from 2.125 to 3.375.
    EXPECT_EQ((VariantTables<7, 1>::Choose(2.124f)), 0u);
    EXPECT_EQ((VariantTables<7, 1>::Choose(2.875f)), 4u);
    EXPECT_EQ((VariantTables<7, 1>::Choose(3.374f)), 5u);
    EXPECT_EQ((VariantTables<7, 1>::Choose(3.375f)), 6u);
    // Five: from 2.875 on the last.
    EXPECT_EQ((VariantTables<5, 1>::Choose(2.874f)), 3u);
    EXPECT_EQ((VariantTables<5, 1>::Choose(2.875f)), 4u);
    EXPECT_EQ((VariantTables<5, 1>::Choose(3.5f)), 4u);
    // Four: from 2.625 on the last.
    EXPECT_EQ((VariantTables<4, 1>::Choose(2.625f)), 3u);
    EXPECT_EQ((VariantTables<4, 1>::Choose(3.5f)), 3u);
}

TEST(WideNarrowVariants, TablesAreExpandedAtEachRatioAndBuiltAgainAfterRelease) {
    VariantTables<3, 2> tables({"NW WN NN", "WNN"});
    EXPECT_FALSE(tables.Built());
    ASSERT_TRUE(tables.Build());
    ASSERT_TRUE(tables.Built());
    EXPECT_EQ(tables.Pattern(0, 0), "100 110 10");
    EXPECT_EQ(tables.Pattern(1, 1), "11111111100001111");
    EXPECT_EQ(tables.Pattern(2, 1), "111110011");
    EXPECT_EQ(tables.Table(2, 0).count, 3);
    EXPECT_EQ(tables.Table(2, 0)[1].length, 7);
    EXPECT_EQ(tables.Table(1, 1).count, 1);
    EXPECT_EQ(tables.Table(1, 1)[0].length, 17);

    tables.Release();
    EXPECT_FALSE(tables.Built());
    EXPECT_EQ(tables.Pattern(1, 1), "");
    ASSERT_TRUE(tables.Build());
    EXPECT_EQ(tables.Pattern(1, 1), "11111111100001111");
    EXPECT_EQ(tables.Table(0, 0)[0].length, 3);
}

}  // namespace
}  // namespace zeph::wide_narrow
