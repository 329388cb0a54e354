// EAN-13 and UPC-A read from the profile's extremes: a curved label whose
// pitch changes along the symbol, with a glare streak over several bars that
// the grid fit misses; and nothing from a changed digit or from random bars
// between guards.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <string_view>

#include "engine/profile/ean_edge_decode.h"
#include "engine/profile/ean_grid_fit.h"
#include "engine/reader.h"
#include "tests/support/ean_encoder.h"
#include "tests/support/signal_renderer.h"

namespace {

using zeph::profile::EanEdgeDecode;
using zeph::profile::EanGridFit;
using zeph::test::Ean13Modules;
using zeph::test::RenderModules;
using zeph::test::RenderOptions;

// Sub-samples per sample: the pitch is drawn to a quarter of a sample.
constexpr int kFine = 4;

// The symbol on a curved label: the pitch runs from `widest` samples per
// module at the start down to `narrowest` at the end, along a quarter
// circle; a glare streak of strength `glare` (0 none, 1 paper white) lies
// over modules [glareFrom, glareFrom + 10).
ScanSignalPtr CurvedWithGlare(std::string_view modules, double widest, double narrowest,
                              double glare, int glareFrom, uint32_t seed = 1) {
    std::string fine;
    std::vector<double> starts;
    double at = 0;
    for (size_t m = 0; m < modules.size(); ++m) {
        const double t = double(m) / double(modules.size());
        const double pitch = narrowest + (widest - narrowest) * std::cos(t * M_PI / 2);
        const auto from = static_cast<long>(std::lround(at * kFine));
        at += pitch;
        const auto to = static_cast<long>(std::lround(at * kFine));
        fine.append(static_cast<size_t>(to - from), modules[m]);
        starts.push_back(double(from) / kFine);
    }
    RenderOptions o;
    o.samplesPerModule = 1.0 / kFine;
    o.quietModules = 12 * kFine * static_cast<int>(std::ceil(widest));
    o.blurSigma = 0.55 * narrowest;
    o.noise = 0.03;
    o.seed = seed;
    ScanSignalPtr signal = RenderModules(fine, o);
    const double quiet = o.quietModules * o.samplesPerModule;
    const double centre = quiet + starts[static_cast<size_t>(glareFrom + 5)];
    const double reach = 5 * widest;
    for (int32_t i = 0; i < signal->sampleCount; ++i) {
        const double d = (i - centre) / reach;
        const double g = glare * std::exp(-d * d);
        // Glare adds light and takes contrast.
        signal->samples[i] = static_cast<float>(signal->samples[i] * (1 - 0.6 * g) + 0.8 * g);
    }
    XR_FindBars(*signal);
    return signal;
}

std::string Read(EanEdgeDecode& decoder, const ScanSignal& signal) {
    MatchRecord record;
    record.confidence = 0.81f;
    if (decoder.Decode(signal, kEan13, record) != 1) return {};
    EXPECT_GT(record.confidence, 0.81f);
    EXPECT_LE(record.confidence, 1.0f);
    return std::string(XR_TextOf(record.rawData));
}

int GridFit(const ScanSignal& signal) {
    EanGridFit decoder;
    MatchRecord record;
    record.confidence = 0.81f;
    return decoder.Decode(signal, kEan13, record);
}

// The curved label under glare that the grid fit cannot follow: every
// digit read from its own widths.
TEST(EanEdgeDecode, ReadsACurvedSymbolUnderGlareTheGridFitMisses) {
    EanEdgeDecode decoder;
    int gridReads = 0;
    for (const std::string_view digits : {"0854818000116", "5901234123457", "9780201379624"}) {
        for (const int glareFrom : {20, 60}) {
            const ScanSignalPtr signal =
                CurvedWithGlare(Ean13Modules(digits), 5.0, 2.5, 0.8, glareFrom);
            EXPECT_EQ(Read(decoder, *signal), digits) << digits << " " << glareFrom;
            gridReads += GridFit(*signal);
        }
    }
    EXPECT_EQ(gridReads, 0);
}

// One digit changed, so that the check digit no longer holds: no read, with
// glare or without, while the unchanged symbol reads.
TEST(EanEdgeDecode, RefusesAChangedDigit) {
    EanEdgeDecode decoder;
    std::string wrong = Ean13Modules("5901234123457");
    // The last right digit drawn as 8 (1001000) instead of 7.
    wrong.replace(wrong.size() - 10, 7, "1001000");
    EXPECT_EQ(Read(decoder, *CurvedWithGlare(wrong, 5.0, 2.5, 0.8, 60)), "");
    EXPECT_EQ(Read(decoder, *CurvedWithGlare(wrong, 5.0, 2.5, 0.0, 0)), "");
    EXPECT_EQ(Read(decoder, *CurvedWithGlare(Ean13Modules("5901234123457"), 5.0, 2.5, 0.0, 0)),
              "5901234123457");
}

// Random bars between real guards, curved and lit as a symbol would be:
// no read.
TEST(EanEdgeDecode, ReadsNothingFromRandomBarsBetweenGuards) {
    EanEdgeDecode decoder;
    std::mt19937 random(11);
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
        const auto seed = static_cast<uint32_t>(trial);
        reads += !Read(decoder, *CurvedWithGlare(modules, 4.5, 3.0, 0.5 * (trial % 2), 30, seed))
                      .empty();
    }
    EXPECT_EQ(reads, 0);
}

// Curved labels from narrow to wide modules: the contrast blocks run from a
// few samples to many, their count from one side of a multiple of four to
// the other.
TEST(EanEdgeDecode, ReadsAtEveryPitchFromNarrowToWide) {
    EanEdgeDecode decoder;
    for (const double pitch : {1.6, 1.8, 2.0, 2.3, 3.0}) {
        const ScanSignalPtr signal =
            CurvedWithGlare(Ean13Modules("5901234123457"), 2 * pitch, pitch, 0.8, 60);
        EXPECT_EQ(Read(decoder, *signal), "5901234123457") << pitch;
    }
}

}  // namespace
