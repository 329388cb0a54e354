#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "engine/reader.h"

namespace {

std::vector<float> Samples(const PatternEntry& e) {
    return {e.samples.begin(), e.samples.end()};
}

TEST(ParsePatterns, EntryIsTheZeroMeanModuleString) {
    PatternTablePtr t = XR_ParsePatterns("0001101");
    ASSERT_TRUE(t);
    ASSERT_EQ(t->count, 1);
    EXPECT_EQ((*t)[0].length, 7);
    const float a = 3.0f / 7, b = -4.0f / 7;
    const std::vector<float> expected{a, a, a, b, b, a, b};
    const std::vector<float> got = Samples((*t)[0]);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], expected[i], 1e-6) << i;
}

TEST(ParsePatterns, SeparatorsAnywhereSplitTokens) {
    PatternTablePtr t = XR_ParsePatterns("[0101, 0011]\n");
    ASSERT_TRUE(t);
    ASSERT_EQ(t->count, 2);
    EXPECT_EQ((*t)[0].length, 4);
    EXPECT_EQ((*t)[1].length, 4);
    EXPECT_GT((*t)[0].samples[0], 0);  // "0" is light
    EXPECT_LT((*t)[0].samples[1], 0);
    EXPECT_GT((*t)[1].samples[1], 0);
    EXPECT_LT((*t)[1].samples[2], 0);

    PatternTablePtr runs = XR_ParsePatterns(" \t(( 1 ))\t,,[10]  (110) ");
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->count, 3);
    EXPECT_EQ((*runs)[0].length, 1);
    EXPECT_EQ((*runs)[1].length, 2);
    EXPECT_EQ((*runs)[2].length, 3);
}

TEST(ParsePatterns, EntriesShareOneStoreInTokenOrder) {
    PatternTablePtr t = XR_ParsePatterns("1 10 100 1000");
    ASSERT_TRUE(t);
    ASSERT_EQ(t->count, 4);
    for (int i = 0; i < t->count; ++i) {
        EXPECT_EQ((*t)[i].length, i + 1);
        const float sum = std::accumulate((*t)[i].samples.begin(), (*t)[i].samples.end(), 0.0f);
        EXPECT_NEAR(sum, 0.0f, 1e-6);
    }
    EXPECT_EQ((*t)[1].samples.data(), t->store.get() + 1);
    EXPECT_EQ((*t)[3].samples.data(), t->store.get() + 6);
    // A one-module pattern is flat after removing its mean.
    EXPECT_EQ((*t)[0].samples[0], 0.0f);
}

TEST(ParsePatterns, EmptyAndSeparatorOnlyStringsGiveEmptyTables) {
    for (const char* text : {"", " ", "[](),\t\n"}) {
        PatternTablePtr t = XR_ParsePatterns(text);
        ASSERT_TRUE(t) << text;
        EXPECT_EQ(t->count, 0);
    }
    XR_FreePatterns(XR_ParsePatterns("0101"));
    XR_FreePatterns(nullptr);
}

TEST(PatternToTemplate, ResamplesByIndexWithoutHalfSampleOffset) {
    // "101" over 7 samples uses characters 0,0,0,1,1,2,2.
    std::vector<float> out(7);
    XR_PatternToTemplate("101", out);
    const float bar = -2.0f / 7, space = 5.0f / 7;
    const std::vector<float> expected{bar, bar, bar, space, space, bar, bar};
    for (size_t i = 0; i < out.size(); ++i)
        EXPECT_NEAR(out[i], expected[i], 1e-6) << i;
}

TEST(PatternToTemplate, RatioIsRoundedToSinglePrecision) {
    // 14 modules over 20 samples: r = 0.7f, and 10 * 0.7f lies just below 7, so
    // sample 10 takes module 6.
    const std::string pattern = "00000010000000";  // only module 6 is a bar
    std::vector<float> out(20);
    XR_PatternToTemplate(pattern, out);
    EXPECT_LT(out[10], 0);
    EXPECT_LT(out[9], 0);  // floor(9 * 0.7) = 6
    EXPECT_GT(out[11], 0);
    EXPECT_GT(out[8], 0);
}

TEST(PatternToTemplate, EmptyPatternOrOutputIsHarmless) {
    std::vector<float> out(5, 9.0f);
    XR_PatternToTemplate("", out);
    for (float v : out)
        EXPECT_EQ(v, 0.0f);
    XR_PatternToTemplate("101", std::span<float>());
}

}  // namespace
