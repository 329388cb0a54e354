#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/match/table_scores.h"
#include "engine/reader.h"

namespace {

// The exact rendering of a module string at k samples per module: bar -1, space +1.
std::vector<float> Render(const std::string& modules, int k) {
    std::vector<float> out;
    for (char c : modules)
        out.insert(out.end(), k, c == '1' ? -1.0f : 1.0f);
    return out;
}

std::vector<float> Centred(std::vector<float> v) {
    double sum = 0;
    for (float x : v)
        sum += x;
    for (float& x : v)
        x -= static_cast<float>(sum / v.size());
    return v;
}

TEST(Correlation, NormalisedDotProduct) {
    const std::vector<float> a{1, -1, 2, 0};
    const std::vector<float> neg{-1, 1, -2, 0};
    const std::vector<float> twice{2, -2, 4, 0};
    EXPECT_NEAR(XR_Correlation(a, a), 1.0f, 1e-6);
    EXPECT_NEAR(XR_Correlation(a, twice), 1.0f, 1e-6);
    EXPECT_NEAR(XR_Correlation(a, neg), -1.0f, 1e-6);
    const std::vector<float> b{1, 1, 0, 0};
    EXPECT_NEAR(XR_Correlation(a, b), 0.0f, 1e-6);
    const std::vector<float> c{3, 0, 0, 4};
    EXPECT_NEAR(XR_Correlation(a, c), 3.0 / (std::sqrt(6.0) * 5.0), 1e-6);
}

TEST(Correlation, ZeroArrayGivesZero) {
    const std::vector<float> a{1, 2, 3};
    const std::vector<float> zero{0, 0, 0};
    EXPECT_EQ(XR_Correlation(a, zero), 0.0f);
    EXPECT_EQ(XR_Correlation(zero, zero), 0.0f);
}

TEST(ShiftedCorrelation, ExactRenderingScoresOne) {
    PatternTablePtr t = XR_ParsePatterns("0001101");
    ASSERT_TRUE(t);
    std::vector<float> s = Centred(Render("0001101", 2));
    EXPECT_NEAR(XR_ShiftedCorrelation(s, (*t)[0].samples, 0), 1.0f, 1e-6);
    // A stretch shorter than the template: 7 modules read from 7 samples.
    std::vector<float> one = Centred(Render("0001101", 1));
    EXPECT_NEAR(XR_ShiftedCorrelation(one, (*t)[0].samples, 0), 1.0f, 1e-6);
}

TEST(ShiftedCorrelation, ShorterSignalIsReadAtTemplateSampleCentres) {
    // 5 signal samples against 7 template samples: template samples 0..6 meet
    // signal samples 0,1,1,2,3,3,4.
    const std::vector<float> s{1, -2, 3, -4, 5};
    const std::vector<float> t{0.5f, -1, 2, -0.25f, 1.5f, -3, 0.75f};
    const int map[7] = {0, 1, 1, 2, 3, 3, 4};
    double dot = 0, es = 0, et = 0;
    for (int i = 0; i < 7; ++i) {
        dot += s[map[i]] * t[i];
        es += s[map[i]] * s[map[i]];
        et += t[i] * t[i];
    }
    EXPECT_NEAR(XR_ShiftedCorrelation(s, t, 0), dot / std::sqrt(es * et), 1e-6);
}

TEST(ShiftedCorrelation, LongerSignalGivesEveryModuleItsSamples) {
    // 14 samples against 7 modules: module m meets samples 2m and 2m+1.
    std::vector<float> s(14);
    for (int i = 0; i < 14; ++i)
        s[i] = float((i * 7) % 5) - 2;
    const std::vector<float> t{0.5f, -1, 2, -0.25f, 1.5f, -3, 0.75f};
    double dot = 0, es = 0, et = 0;
    for (int i = 0; i < 14; ++i) {
        dot += s[i] * t[i / 2];
        es += s[i] * s[i];
        et += t[i / 2] * t[i / 2];
    }
    EXPECT_NEAR(XR_ShiftedCorrelation(s, t, 0), dot / std::sqrt(es * et), 1e-6);
}

TEST(ShiftedCorrelation, ShiftAbsorbsEdgeErrors) {
    PatternTablePtr t = XR_ParsePatterns("0110100");
    ASSERT_TRUE(t);
    // The stretch starts one sample late: its content is the template moved left.
    std::vector<float> s = Render("0110100", 3);
    s.erase(s.begin());
    s.push_back(1.0f);
    s = Centred(s);
    const float unshifted = XR_ShiftedCorrelation(s, (*t)[0].samples, 0);
    const float shifted = XR_ShiftedCorrelation(s, (*t)[0].samples, 1);
    EXPECT_LT(unshifted, 0.9f);
    EXPECT_GT(shifted, unshifted);
    EXPECT_GT(shifted, 0.9f);
}

TEST(ShiftedCorrelation, SamplesBeyondTheStretchCountAsZero) {
    // Template "01" on the stretch {-1, 1}: the only positive product needs the
    // stretch moved one sample, and the sample that move brings in is zero.
    const std::vector<float> s{-1, 1};
    const std::vector<float> t{1, -1};
    EXPECT_NEAR(XR_ShiftedCorrelation(s, t, 0), -1.0f, 1e-6);
    // Moved by one sample, one product is +1 and the other meets a zero.
    EXPECT_NEAR(XR_ShiftedCorrelation(s, t, 1), 0.5f, 1e-6);
}

TEST(ShiftedCorrelation, RangesOutsideZeroToNineAreClamped) {
    std::vector<float> s = Render("1101001110", 2);
    for (float& v : s)
        v += 0.1f;  // not zero-mean: shifts then change the sum
    const std::vector<float> t{0.6f, -0.4f, 0.6f, 0.6f, -0.4f, -0.4f, 0.6f};
    EXPECT_EQ(XR_ShiftedCorrelation(s, t, -5), XR_ShiftedCorrelation(s, t, 0));
    EXPECT_EQ(XR_ShiftedCorrelation(s, t, 1000), XR_ShiftedCorrelation(s, t, 9));
    EXPECT_EQ(XR_ShiftedCorrelation(s, t, 2147483647), XR_ShiftedCorrelation(s, t, 9));
    EXPECT_GE(XR_ShiftedCorrelation(s, t, 9), XR_ShiftedCorrelation(s, t, 8));
    EXPECT_EQ(XR_ShiftedCorrelation({}, t, 1), 0.0f);
    EXPECT_EQ(XR_ShiftedCorrelation(s, {}, 1), 0.0f);
}

TEST(ScorePattern, ResamplesTheLiteralToTheStretch) {
    const std::vector<float> s = Render("101", 3);
    EXPECT_NEAR(XR_ScorePattern(s, "101"), 1.0f, 1e-6);
    EXPECT_NEAR(XR_ScorePattern(s, "010"), -1.0f, 1e-6);
    // The stretch's own mean is removed first.
    std::vector<float> offset = s;
    for (float& v : offset)
        v += 5.0f;
    EXPECT_NEAR(XR_ScorePattern(offset, "101"), 1.0f, 1e-6);
}

TEST(ScorePattern, LengthLimitsAndFlatInputs) {
    std::vector<float> s(500);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = (i / 50) % 2 ? 1.0f : -1.0f;
    // 10/500 rounds below 0.02 in single precision, so each module boundary
    // lands one sample late: high, but not 1.
    EXPECT_GT(XR_ScorePattern(s, "1010101010"), 0.95f);
    s.push_back(1.0f);
    EXPECT_EQ(XR_ScorePattern(s, "1010101010"), 0.0f);
    EXPECT_EQ(XR_ScorePattern({}, "101"), 0.0f);
    const std::vector<float> flat(20, 3.0f);
    EXPECT_EQ(XR_ScorePattern(flat, "101"), 0.0f);
    EXPECT_EQ(XR_ScorePattern(Render("101", 4), "111"), 0.0f);
    EXPECT_EQ(XR_ScorePattern(Render("101", 4), ""), 0.0f);
}

class MatchTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        table = XR_ParsePatterns(
            "0001101 0011001 0010011 0111101 0100011 0110001 0101111 0111011 0110111 0001011");
        ASSERT_TRUE(table);
    }
    PatternTablePtr table;
};

TEST_F(MatchTableTest, FindsTheRenderedEntry) {
    for (int digit = 0; digit < 10; ++digit) {
        const std::string modules(
            std::string_view(
                "0001101001100100100110111101010001101100010101111011101101101110001011")
                .substr(digit * 7, 7));
        BestMatch best;
        EXPECT_EQ(XR_MatchTable(Render(modules, 2), *table, best, 0), 1);
        EXPECT_EQ(best.index, digit);
        EXPECT_NEAR(best.score, 1.0f, 1e-6);
    }
}

TEST_F(MatchTableTest, TiesKeepTheEarlierEntryAndTheSeed) {
    PatternTablePtr twins = XR_ParsePatterns("0110 0110 1001");
    ASSERT_TRUE(twins);
    BestMatch best;
    EXPECT_EQ(XR_MatchTable(Render("0110", 3), *twins, best, 1), 1);
    EXPECT_EQ(best.index, 0);

    // A seed equal to the best score stays, and the call reports no improvement.
    BestMatch seeded{7, best.score};
    EXPECT_EQ(XR_MatchTable(Render("0110", 3), *twins, seeded, 1), 0);
    EXPECT_EQ(seeded.index, 7);
}

TEST_F(MatchTableTest, SecondTableMayBeatTheFirstTablesWinner) {
    PatternTablePtr even = XR_ParsePatterns(
        "0100111 0110011 0011011 0100001 0011101 0111001 0000101 0010001 0001001 0010111");
    ASSERT_TRUE(even);
    const std::vector<float> s = Render("0011011", 3);  // even-parity 2
    BestMatch best;
    XR_MatchTable(s, *table, best, 1);
    EXPECT_LT(best.score, 0.99f);
    EXPECT_EQ(XR_MatchTable(s, *even, best, 1), 1);
    EXPECT_EQ(best.index, 2);
}

TEST_F(MatchTableTest, StretchesOutsideOneToFiveHundredNeverMatch) {
    BestMatch best;
    std::vector<float> longest(500);
    for (size_t i = 0; i < longest.size(); ++i)
        longest[i] = (i / 71) % 2 ? 1.0f : -1.0f;
    EXPECT_EQ(XR_MatchTable(longest, *table, best, 1), 1);
    longest.push_back(-1.0f);
    BestMatch untouched;
    EXPECT_EQ(XR_MatchTable(longest, *table, untouched, 1), 0);
    EXPECT_EQ(XR_MatchTable({}, *table, untouched, 1), 0);
    EXPECT_EQ(untouched.index, -1);
    EXPECT_EQ(untouched.score, 0.0f);
}

TEST_F(MatchTableTest, EarlierLongerStretchesLeaveNoTrace) {
    // Score a short stretch fresh, then again after a long stretch has filled
    // the scratch buffers: the results must agree.
    const std::vector<float> shortStretch = Render("0111011", 2);
    BestMatch fresh;
    XR_MatchTable(shortStretch, *table, fresh, 9);
    ASSERT_EQ(fresh.index, 7);
    std::vector<float> longStretch(400);
    for (size_t i = 0; i < longStretch.size(); ++i)
        longStretch[i] = float(i % 7) - 3;
    BestMatch ignored;
    XR_MatchTable(longStretch, *table, ignored, 9);
    XR_ScorePattern(longStretch, "101");
    BestMatch again;
    XR_MatchTable(shortStretch, *table, again, 9);
    EXPECT_EQ(fresh.index, again.index);
    EXPECT_EQ(fresh.score, again.score);
}

TEST_F(MatchTableTest, ScoresEqualTheShiftedCorrelationOfEveryEntryToTheBit) {
    // Ten entries of one length (scored four at a time), and a table whose
    // lengths change between entries.
    PatternTablePtr mixed = XR_ParsePatterns("0110 011001 1001 0001101 0011 0100111 01 110");
    ASSERT_TRUE(mixed);
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-2, 2);
    for (const PatternTable* t : {table.get(), mixed.get()}) {
        for (const int length : {3, 7, 12, 40}) {
            std::vector<float> stretch(static_cast<size_t>(length));
            for (float& v : stretch)
                v = value(random);
            // The matcher correlates the stretch less its mean.
            double sum = 0;
            for (const float v : stretch)
                sum += v;
            const float mean = static_cast<float>(sum / length);
            std::vector<float> centred(stretch);
            for (float& v : centred)
                v -= mean;
            for (const int h : {0, 1, 3}) {
                BestMatch plain;
                for (int e = 0; e < t->count; ++e) {
                    const float score = XR_ShiftedCorrelation(centred, (*t)[e].samples, h);
                    if (score > plain.score) plain = {e, score};
                }
                BestMatch best;
                XR_MatchTable(stretch, *t, best, h);
                EXPECT_EQ(best.index, plain.index) << length << " samples, range " << h;
                EXPECT_EQ(std::memcmp(&best.score, &plain.score, sizeof(float)), 0)
                    << length << " samples, range " << h;
            }
        }
    }
}

TEST_F(MatchTableTest, SeveralTablesOnOneStretchScoreAsEachAlone) {
    PatternTablePtr other = XR_ParsePatterns("11010000100 11010010000 110011");
    ASSERT_TRUE(other);
    const std::array<const PatternTable*, 3> tables = {table.get(), other.get(), table.get()};
    for (const std::string modules : {"0111011", "11010010000", "1"}) {
        const std::vector<float> stretch = Render(modules, 3);
        std::array<float, 3> scores{-1, -1, -1};
        zeph::match::BestScores(stretch, tables, 1, scores);
        for (size_t t = 0; t < tables.size(); ++t) {
            BestMatch alone;
            XR_MatchTable(stretch, *tables[t], alone, 1);
            EXPECT_EQ(scores[t], alone.score) << modules << ", table " << t;
        }
    }
    std::array<float, 3> none{-1, -1, -1};
    zeph::match::BestScores({}, tables, 1, none);
    EXPECT_EQ(none, (std::array<float, 3>{0, 0, 0}));
}

}  // namespace
