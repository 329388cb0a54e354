#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/reader.h"

namespace {

TEST(ParseConfig, EmptyStringGivesEveryDefault) {
    ReaderConfigPtr c = XR_ParseConfig("");
    ASSERT_TRUE(c);
    EXPECT_FLOAT_EQ(c->sensitivity, 0.07f);
    EXPECT_EQ(c->protocolMask, 959);
    EXPECT_FLOAT_EQ(c->minConfidence, 0.81f);
    EXPECT_FLOAT_EQ(c->minRedundancy, 5.0f);
    ASSERT_TRUE(c->scan);
    EXPECT_EQ(c->scan->sampleCount, 512);
    EXPECT_EQ(c->scan->pathCount, 21);
    EXPECT_EQ(c->scan->pathSpacing, 1);
    EXPECT_FLOAT_EQ(c->scan->sharpening, 0.5f);
    EXPECT_EQ(c->scan->shiftRange, 1);
    EXPECT_EQ(c->scan->barCount, 0);
    EXPECT_FALSE(c->tileStore);
    EXPECT_EQ(c->tileCount, 0);
}

TEST(ParseConfig, EveryFlagReachesItsField) {
    ReaderConfigPtr c = XR_ParseConfig(
        "-sens 0.2 -srnbs 256 -srnbp 11 -srpsp 2 -srshrp 0.25 -bctypes 17 -minconf 0.5 "
        "-minredund 3.5 -shiftrange 4");
    ASSERT_TRUE(c);
    EXPECT_FLOAT_EQ(c->sensitivity, 0.2f);
    EXPECT_EQ(c->scan->sampleCount, 256);
    EXPECT_EQ(c->scan->pathCount, 11);
    EXPECT_EQ(c->scan->pathSpacing, 2);
    EXPECT_FLOAT_EQ(c->scan->sharpening, 0.25f);
    EXPECT_EQ(c->protocolMask, 17);
    EXPECT_FLOAT_EQ(c->minConfidence, 0.5f);
    EXPECT_FLOAT_EQ(c->minRedundancy, 3.5f);
    EXPECT_EQ(c->scan->shiftRange, 4);
}

TEST(ParseConfig, FlagNamesIgnoreCaseAndSeparatorsMayBePunctuation) {
    ReaderConfigPtr upper = XR_ParseConfig("-SENS 0.1");
    ASSERT_TRUE(upper);
    EXPECT_FLOAT_EQ(upper->sensitivity, 0.1f);

    ReaderConfigPtr listed = XR_ParseConfig("[-sens 0.1, -srnbs 256]");
    ASSERT_TRUE(listed);
    EXPECT_FLOAT_EQ(listed->sensitivity, 0.1f);
    EXPECT_EQ(listed->scan->sampleCount, 256);

    ReaderConfigPtr mixed = XR_ParseConfig("\t(-MinConf)\n(0.6)  ,,[-BcTypes]1");
    ASSERT_TRUE(mixed);
    EXPECT_FLOAT_EQ(mixed->minConfidence, 0.6f);
    EXPECT_EQ(mixed->protocolMask, 1);
}

TEST(ParseConfig, UnknownTokensAreSkippedOneByOne) {
    ReaderConfigPtr c = XR_ParseConfig("-foo 3 -minconf 0.9");
    ASSERT_TRUE(c);
    EXPECT_FLOAT_EQ(c->minConfidence, 0.9f);
    // "-sensitivity" is not "-sens"; its value is then an unknown token too.
    ReaderConfigPtr d = XR_ParseConfig("-sensitivity 0.5");
    ASSERT_TRUE(d);
    EXPECT_FLOAT_EQ(d->sensitivity, 0.07f);
}

TEST(ParseConfig, RepeatedFlagTakesItsLastValue) {
    ReaderConfigPtr c = XR_ParseConfig("-bctypes 1 -bctypes 2 -bctypes 512");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->protocolMask, 512);
}

TEST(ParseConfig, FlagWithoutValueFails) {
    EXPECT_FALSE(XR_ParseConfig("-minconf"));
    EXPECT_FALSE(XR_ParseConfig("-sens 0.1 -srnbs"));
    // A flag name as the value of another flag is consumed as that value.
    ReaderConfigPtr c = XR_ParseConfig("-minconf -sens");
    ASSERT_TRUE(c);
    EXPECT_FLOAT_EQ(c->minConfidence, 0.0f);
    EXPECT_FLOAT_EQ(c->sensitivity, 0.07f);
}

TEST(ParseConfig, ValuesParseLikeTheCLibrary) {
    ReaderConfigPtr a = XR_ParseConfig("-minconf abc");
    ASSERT_TRUE(a);
    EXPECT_FLOAT_EQ(a->minConfidence, 0.0f);

    ReaderConfigPtr hex = XR_ParseConfig("-bctypes 0x3");
    ASSERT_TRUE(hex);
    EXPECT_EQ(hex->protocolMask, 0);

    ReaderConfigPtr partial = XR_ParseConfig("-bctypes 12abc -sens 0.5e-1xyz -minredund +2");
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->protocolMask, 12);
    EXPECT_FLOAT_EQ(partial->sensitivity, 0.05f);
    EXPECT_FLOAT_EQ(partial->minRedundancy, 2.0f);

    ReaderConfigPtr negative = XR_ParseConfig("-shiftrange -3 -bctypes -1");
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->scan->shiftRange, -3);
    EXPECT_EQ(negative->protocolMask, -1);
}

TEST(ParseConfig, OutOfRangeNumbersSaturate) {
    ReaderConfigPtr c =
        XR_ParseConfig("-bctypes 99999999999999999999 -shiftrange -99999999999 -sens 1e300");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->protocolMask, 2147483647);
    EXPECT_EQ(c->scan->shiftRange, -2147483647 - 1);
    EXPECT_TRUE(std::isinf(c->sensitivity));
}

TEST(ParseConfig, SampleCountLimits) {
    ReaderConfigPtr zero = XR_ParseConfig("-srnbs 0");
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero->scan->sampleCount, 0);
    EXPECT_EQ(XR_FindBars(*zero->scan), 0);

    EXPECT_FALSE(XR_ParseConfig("-srnbs -5"));
    EXPECT_FALSE(XR_ParseConfig("-srnbs 2000000000"));
    ReaderConfigPtr largest = XR_ParseConfig("-srnbs " + std::to_string(kMaxSampleCount));
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->scan->sampleCount, kMaxSampleCount);
}

TEST(FreeConfig, AcceptsNoneAndConfigsWithTiles) {
    XR_FreeConfig(nullptr);
    ReaderConfigPtr c = XR_ParseConfig("");
    ASSERT_TRUE(c);
    c->tileStore = std::make_unique<float[]>(30);
    c->tileCount = 10;
    XR_FreeConfig(std::move(c));
    EXPECT_FALSE(c);
}

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        lines.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

TEST(ConfigHelp, ThirteenLinesEndingWithTheDefaults) {
    const std::vector<std::string> lines = Lines(XR_ConfigHelp);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "\tZephBC configuration parameters: ");
    EXPECT_EQ(lines[6], "-bctypes\tBarode protocols to be searched");
    EXPECT_EQ(lines[7],
              "-minconf\tMinimum confidence value that may be considered a sucessful read (in "
              "[0.0,1.0])");
    EXPECT_EQ(lines[10], "");
    EXPECT_EQ(lines[11], "\tDefault configuration:");
    EXPECT_NE(XR_ConfigHelp.back(), '\n');

    // The documented defaults are the ones the parser applies.
    ReaderConfigPtr documented = XR_ParseConfig(lines[12]);
    ReaderConfigPtr empty = XR_ParseConfig("");
    ASSERT_TRUE(documented && empty);
    EXPECT_EQ(documented->sensitivity, empty->sensitivity);
    EXPECT_EQ(documented->protocolMask, empty->protocolMask);
    EXPECT_EQ(documented->minConfidence, empty->minConfidence);
    EXPECT_EQ(documented->minRedundancy, empty->minRedundancy);
    EXPECT_EQ(documented->scan->sampleCount, empty->scan->sampleCount);
    EXPECT_EQ(documented->scan->pathCount, empty->scan->pathCount);
    EXPECT_EQ(documented->scan->pathSpacing, empty->scan->pathSpacing);
    EXPECT_EQ(documented->scan->sharpening, empty->scan->sharpening);
    EXPECT_EQ(documented->scan->shiftRange, empty->scan->shiftRange);

    // Every flag of the parser is documented.
    for (const char* flag : {"-sens\t", "-srnbs\t", "-srnbp\t", "-srpsp\t", "-srshrp\t",
                             "-bctypes\t", "-minconf\t", "-minredund\t", "-shiftrange\t"}) {
        EXPECT_NE(XR_ConfigHelp.find(std::string("\n") + flag), std::string_view::npos) << flag;
    }
}

}  // namespace
