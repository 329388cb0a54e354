#include "tests/support/signal_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <string>

namespace {

using zeph::test::RenderModules;
using zeph::test::RenderOptions;
using zeph::test::WidthsToModules;

const std::string kModules = WidthsToModules(
    "111"
    "3211"
    "2221"
    "2122"
    "1411"
    "1132"
    "11111");

int BarsIn(const std::string& modules) {
    int bars = 0;
    for (size_t i = 0; i < modules.size(); ++i) {
        if (modules[i] == '1' && (i == 0 || modules[i - 1] == '0')) ++bars;
    }
    return bars;
}

TEST(WidthsToModules, AlternatesFromABar) {
    EXPECT_EQ(WidthsToModules("3211"), "1110010");
    EXPECT_EQ(WidthsToModules(""), "");
    EXPECT_THROW(WidthsToModules("30"), std::invalid_argument);
}

TEST(RenderModules, ZeroMeanWithBarsNegative) {
    RenderOptions o;
    o.samplesPerModule = 2.5;
    ScanSignalPtr s = RenderModules(kModules, o);
    const double sum = std::accumulate(s->Samples().begin(), s->Samples().end(), 0.0);
    EXPECT_NEAR(sum, 0.0, 1e-3);
    EXPECT_GT(s->samples[0], 0);
    EXPECT_EQ(s->sampleCount, static_cast<int32_t>(std::ceil((kModules.size() + 20) * 2.5)));
    EXPECT_EQ(s->barCount, BarsIn(kModules));
}

TEST(RenderModules, BarWidthsFollowTheModulesAtAnyScale) {
    for (double k : {2.0, 2.7, 3.0, 4.0}) {
        RenderOptions o;
        o.samplesPerModule = k;
        o.blurSigma = 0.5 * k;
        ScanSignalPtr s = RenderModules(WidthsToModules("1313131"), o);
        ASSERT_EQ(s->barCount, 4) << k;
        // Bars of 1 module, spaces of 3: the blur moves the edges, never the pitch.
        for (int b = 0; b + 1 < s->barCount; ++b) {
            EXPECT_NEAR(s->barStarts[b + 1] - s->barStarts[b], 4 * k, 1.0) << k;
            EXPECT_NEAR(s->barEnds[b + 1] - s->barEnds[b], 4 * k, 1.0) << k;
        }
    }
}

TEST(RenderModules, JitterAndNoiseKeepEveryBarAtThreeSamplesPerModule) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        RenderOptions o;
        o.samplesPerModule = 3.0;
        o.edgeJitter = 0.15;
        o.noise = 0.05;
        o.blurSigma = 0.8;
        o.seed = seed;
        ScanSignalPtr s = RenderModules(kModules, o);
        EXPECT_EQ(s->barCount, BarsIn(kModules)) << seed;
    }
}

TEST(RenderModules, SampleCountPadsOrCuts) {
    RenderOptions o;
    o.samplesPerModule = 2;
    o.sampleCount = 512;
    ScanSignalPtr padded = RenderModules("101", o);
    EXPECT_EQ(padded->sampleCount, 512);
    EXPECT_EQ(padded->barCount, 2);

    o.sampleCount = 21;  // quiet zone of 20 samples, then half of the first bar
    ScanSignalPtr cut = RenderModules("101", o);
    EXPECT_EQ(cut->barCount, 1);
    EXPECT_FALSE(XR_HasBarEnd(*cut, 0));
}

}  // namespace
