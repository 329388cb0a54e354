// EAN-13 and UPC-A read from the grey profile: blur that merges bars, small
// modules, a module width that changes along the symbol; and nothing from a
// wrong check digit or from bars between guards that make no digits.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "engine/profile/ean_grid_fit.h"
#include "engine/reader.h"
#include "tests/support/ean_encoder.h"
#include "tests/support/signal_renderer.h"

namespace {

using zeph::profile::EanGridFit;
using zeph::test::Ean13Modules;
using zeph::test::RenderModules;
using zeph::test::RenderOptions;

struct Read {
    int result = 0;
    std::string text;
    float confidence = 0;
};

Read Decode(const ScanSignal& signal, int32_t mask = kEan13, float least = 0.81f) {
    EanGridFit decoder;
    MatchRecord record;
    record.confidence = least;
    Read read;
    read.result = decoder.Decode(signal, mask, record);
    if (read.result == 1) {
        read.text = std::string(XR_TextOf(record.rawData));
        read.confidence = record.confidence;
    }
    return read;
}

Read Render(std::string_view modules, double samplesPerModule, double blurModules,
            double noise = 0.03, uint32_t seed = 1, float least = 0.81f) {
    RenderOptions o;
    o.samplesPerModule = samplesPerModule;
    o.blurSigma = blurModules * samplesPerModule;
    o.noise = noise;
    o.seed = seed;
    return Decode(*RenderModules(modules, o), kEan13, least);
}

// Blur merges bars of a symbol at 2.5 to 4 samples per module (a module of
// one to two pixels); while the cut still finds the outer guards' edges, the
// profile holds the digits.
TEST(EanGridFit, ReadsBlurredSymbolsAtSmallModules) {
    for (const std::string_view digits : {"0854818000116", "5901234123457", "9780201379624"}) {
        for (const double samples : {2.5, 3.0, 4.0}) {
            for (const double blur : {0.5, 0.6}) {
                const Read r = Render(Ean13Modules(digits), samples, blur);
                EXPECT_EQ(r.result, 1) << digits << " " << samples << " " << blur;
                EXPECT_EQ(r.text, digits) << digits << " " << samples << " " << blur;
                EXPECT_GT(r.confidence, 0.81f);
                EXPECT_LE(r.confidence, 1.0f);
            }
        }
    }
    for (const double blur : {0.7, 0.8}) {
        const Read heavy = Render(Ean13Modules("0854818000116"), 4.0, blur);
        EXPECT_EQ(heavy.text, "0854818000116") << blur;
    }
}

// The confidence follows the fit: noise lowers it, and a stricter least
// confidence refuses the weaker read while the cleaner one still stands.
TEST(EanGridFit, ConfidenceFollowsTheFit) {
    const std::string modules = Ean13Modules("5901234123457");
    const Read clean = Render(modules, 3.0, 0.5, 0.01);
    const Read noisy = Render(modules, 3.0, 0.5, 0.12);
    ASSERT_EQ(clean.text, "5901234123457");
    ASSERT_EQ(noisy.text, "5901234123457");
    EXPECT_GT(clean.confidence, noisy.confidence + 0.02f);
    const float between = 0.5f * (clean.confidence + noisy.confidence);
    EXPECT_EQ(Render(modules, 3.0, 0.5, 0.12, 1, between).result, 0);
    EXPECT_EQ(Render(modules, 3.0, 0.5, 0.01, 1, between).text, "5901234123457");
}

// Each half of the symbol may have a module width of its own (the label
// turned away from the camera): the grid bends at the centre guard.
TEST(EanGridFit, FollowsAModuleWidthThatChangesAtTheCentre) {
    const std::string modules = Ean13Modules("5901234123457");
    for (const int right : {19, 21}) {
        std::string stretched;
        for (size_t m = 0; m < modules.size(); ++m) {
            const int width = m < modules.size() / 2 ? 20 : right;
            stretched.append(static_cast<size_t>(width), modules[m]);
        }
        RenderOptions o;
        o.samplesPerModule = 1.0;
        o.quietModules = 40;
        o.blurSigma = 12.0;
        const Read r = Decode(*RenderModules(stretched, o));
        EXPECT_EQ(r.text, "5901234123457") << right;
    }
}

// Every digit fits, but the check digit does not hold: no read. Nor from a
// mask without EAN-13.
TEST(EanGridFit, RefusesAWrongCheckDigitAndOtherSymbologies) {
    std::string wrong = Ean13Modules("5901234123457");
    // The last right digit drawn as 8 instead of 7 (right patterns are the
    // left odd ones inverted: 0110111 -> 1001000).
    wrong.replace(wrong.size() - 10, 7, "1001000");
    EXPECT_EQ(Render(wrong, 3.0, 0.6).result, 0);

    RenderOptions o;
    o.samplesPerModule = 3.0;
    o.blurSigma = 1.8;
    const ScanSignalPtr good = RenderModules(Ean13Modules("5901234123457"), o);
    EXPECT_EQ(Decode(*good, kEan8 | kUpcE | kCode128).result, 0);
}

// Random bars between real guards, blurred as a symbol would be: the digits
// are no digit patterns and no read may come out of them.
TEST(EanGridFit, ReadsNothingFromRandomBarsBetweenGuards) {
    std::mt19937 random(7);
    std::bernoulli_distribution dark(0.5);
    int reads = 0;
    for (int trial = 0; trial < 200; ++trial) {
        std::string modules = "101";
        for (int m = 0; m < 42; ++m)
            modules += dark(random) ? '1' : '0';
        modules += "01010";
        for (int m = 0; m < 42; ++m)
            modules += dark(random) ? '1' : '0';
        modules += "101";
        reads += Render(modules, 3.0, 0.6, 0.03, static_cast<uint32_t>(trial)).result;
    }
    EXPECT_EQ(reads, 0);
}

}  // namespace
