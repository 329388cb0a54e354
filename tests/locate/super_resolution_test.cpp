#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/locate/four_paths_avx2.h"
#include "engine/locate/super_resolution.h"
#include "engine/reader.h"
#include "tests/support/ean_encoder.h"

namespace {

TEST(Sharpen, SubtractsAQuarterOfTheNeighboursByDefault) {
    std::vector<float> s{0, 4, 0};
    ASSERT_EQ(XR_Sharpen(s, 0.5f), 1);
    EXPECT_NEAR(s[0], -4.0f / 3, 1e-6);
    EXPECT_NEAR(s[1], 8.0f / 3, 1e-6);
    EXPECT_NEAR(s[2], -4.0f / 3, 1e-6);

    std::vector<float> flat{1, 2, 3, 4};
    ASSERT_EQ(XR_Sharpen(flat, 0.0f), 1);
    EXPECT_NEAR(flat[0], -1.5f, 1e-6);
    EXPECT_NEAR(flat[3], 1.5f, 1e-6);
    EXPECT_EQ(XR_Sharpen({}, 0.5f), 0);
}

// A raster of `modules` drawn as vertical bars, `px` pixels per module, from
// column `left`, between rows 10 and 50 of a 60-row raster.
struct Picture {
    int width = 0;
    int height = 60;
    std::vector<int32_t> raster;
};

Picture Bars(const std::string& modules, int px, int left) {
    Picture p;
    p.width = static_cast<int>(modules.size()) * px + 2 * left;
    p.raster.assign(static_cast<size_t>(p.width) * p.height, 2550);
    for (int y = 10; y < 50; ++y) {
        for (size_t m = 0; m < modules.size(); ++m) {
            if (modules[m] != '1') continue;
            for (int i = 0; i < px; ++i)
                p.raster[y * p.width + left + m * px + i] = 0;
        }
    }
    return p;
}

ScanSignalPtr SignalAcross(const Picture& p, int paths, int spacing, int y = 30) {
    ScanSignalPtr s = XR_NewScanSignal(512, paths, spacing, 0.5f, 1);
    s->startX = 0;
    s->startY = y;
    s->stopX = p.width - 1;
    s->stopY = y;
    return s;
}

TEST(SuperResolve, FusedSignalHasEveryBarOfTheSymbol) {
    const std::string modules = zeph::test::Ean13Modules("4006381333931");
    const Picture p = Bars(modules, 3, 15);
    ScanSignalPtr s = SignalAcross(p, 21, 1);
    ASSERT_EQ(XR_SuperResolve(p.raster, p.height, p.width, *s), 1);
    EXPECT_EQ(s->barCount, 30);
    // Every side path agrees with the centre on a clean symbol.
    EXPECT_GT(s->redundancy, 19.0f);
    EXPECT_LE(s->redundancy, 20.0f);
    double sum = 0;
    for (float v : s->Samples())
        sum += v;
    EXPECT_NEAR(sum / 512, 0.0, 1e-3);

    MatchRecord record;
    record.confidence = 0.81f;
    EXPECT_EQ(XR_DecodeSignal(*s, *XR_ParseConfig(""), record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "4006381333931");
}

TEST(SuperResolve, PathsOffTheSymbolDisagree) {
    // A line along the symbol's top edge: half the paths see bars, half white.
    const Picture p = Bars(zeph::test::Ean13Modules("4006381333931"), 3, 15);
    ScanSignalPtr s = SignalAcross(p, 21, 1, 10);
    ASSERT_EQ(XR_SuperResolve(p.raster, p.height, p.width, *s), 1);
    EXPECT_LT(s->redundancy, 12.0f);
}

TEST(SuperResolve, RedundancyLimits) {
    const Picture p = Bars("1010011101", 4, 10);
    ScanSignalPtr single = SignalAcross(p, 1, 1);
    ASSERT_EQ(XR_SuperResolve(p.raster, p.height, p.width, *single), 1);
    EXPECT_EQ(single->redundancy, 0.0f);

    // Zero spacing: every path is the centre path.
    ScanSignalPtr same = SignalAcross(p, 21, 0);
    ASSERT_EQ(XR_SuperResolve(p.raster, p.height, p.width, *same), 1);
    EXPECT_FLOAT_EQ(same->redundancy, 20.0f);

    // A flat region: scale 0, so every path agrees fully.
    const std::vector<int32_t> flat(60 * 100, 1000);
    ScanSignalPtr blank = XR_NewScanSignal(256, 11, 1, 0.5f, 1);
    blank->startX = 0;
    blank->startY = 30;
    blank->stopX = 99;
    blank->stopY = 30;
    ASSERT_EQ(XR_SuperResolve(flat, 60, 100, *blank), 1);
    EXPECT_FLOAT_EQ(blank->redundancy, 10.0f);
    EXPECT_EQ(blank->barCount, 0);
}

TEST(SuperResolve, FailsWithoutALineOrSamples) {
    const Picture p = Bars("1010011101", 4, 10);
    ScanSignalPtr point = SignalAcross(p, 21, 1);
    point->stopX = point->startX;
    point->stopY = point->startY;
    EXPECT_EQ(XR_SuperResolve(p.raster, p.height, p.width, *point), 0);

    ReaderConfigPtr empty = XR_ParseConfig("-srnbs 0");
    empty->scan->stopX = 10;
    EXPECT_EQ(XR_SuperResolve(p.raster, p.height, p.width, *empty->scan), 0);

    ReaderConfigPtr noPaths = XR_ParseConfig("-srnbp 0");
    noPaths->scan->stopX = 10;
    EXPECT_EQ(XR_SuperResolve(p.raster, p.height, p.width, *noPaths->scan), 0);
}

TEST(SuperResolve, LinesLeavingTheRasterReadOnlyInsideIt) {
    // End points far outside: reads extend the border cells, never past them.
    const Picture p = Bars("1010011101", 4, 10);
    ScanSignalPtr s = SignalAcross(p, 21, 3);
    s->startX = -500;
    s->startY = -300;
    s->stopX = 900;
    s->stopY = 700;
    EXPECT_EQ(XR_SuperResolve(p.raster, p.height, p.width, *s), 1);
    ReaderConfigPtr wide = XR_ParseConfig("-srpsp 2000000000 -srnbp 5");
    wide->scan->stopX = 50;
    EXPECT_EQ(XR_SuperResolve(p.raster, p.height, p.width, *wide->scan), 1);
}

// The alignment costs and the fusion written plainly, one shift and one
// sample at a time: the engine's must give the same doubles and floats.
double PlainCost(const std::vector<float>& a, const std::vector<float>& b, int n, int s) {
    const int first = std::max(0, -s), last = std::min(n, n - s);
    if (last <= first) return 0;
    double total = 0;
    for (int j = first; j < last; ++j)
        total += std::fabs(a[j] - b[j + s]);
    return total / (last - first);
}

TEST(SuperResolve, AlignmentAndFusionEqualThePlainSumsToTheBit) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-300, 300);
    for (const int n : {1, 3, 7, 64, 131}) {
        std::vector<float> reference(n), path(n);
        for (int j = 0; j < n; ++j) {
            reference[j] = value(random);
            path[j] = value(random);
        }
        // Shift runs of every length, reaching past either end.
        for (const int s0 : {-n - 2, -n + 1, -3, 0, 2, n - 2}) {
            for (const int count : {1, 3, 4, 5, 8, 9, 12, 13, 16, 17, 21}) {
                std::vector<double> costs(count, -1.0);
                zeph::AlignmentCosts(reference.data(), path.data(), n, s0, count, costs.data());
                for (int i = 0; i < count; ++i) {
                    const double plain = PlainCost(reference, path, n, s0 + i);
                    EXPECT_EQ(std::memcmp(&costs[i], &plain, sizeof plain), 0)
                        << "n " << n << " shift " << s0 + i;
                }
            }
        }

        for (const int paths : {1, 5, 21}) {
            std::vector<float> values(static_cast<size_t>(paths) * n), weights(values.size());
            for (size_t c = 0; c < values.size(); ++c) {
                values[c] = value(random);
                weights[c] = std::fabs(value(random)) / 300;
            }
            std::vector<int32_t> shifts(paths);
            for (int k = 0; k < paths; ++k)
                shifts[k] = static_cast<int32_t>(random() % 9) - 4;
            std::vector<float> fused(n);
            zeph::FuseAligned(values.data(), weights.data(), shifts.data(), paths, n, fused.data());
            for (int j = 0; j < n; ++j) {
                double wSum = 0, vSum = 0;
                for (int k = 0; k < paths; ++k) {
                    const int at = j + shifts[k];
                    if (at < 0 || at >= n) continue;
                    wSum += weights[static_cast<size_t>(k) * n + at];
                    vSum += double(weights[static_cast<size_t>(k) * n + at]) *
                            values[static_cast<size_t>(k) * n + at];
                }
                const float plain = static_cast<float>(wSum > 0 ? vSum / wSum : vSum);
                EXPECT_EQ(std::memcmp(&fused[j], &plain, sizeof plain), 0)
                    << "n " << n << " paths " << paths << " sample " << j;
            }
        }
    }
}

TEST(SuperResolve, FourPathSamplersAgreeToTheBit) {
    if (!zeph::RunsAvx2()) GTEST_SKIP() << "no AVX2";
    std::mt19937 random(5);
    constexpr int kHeight = 37, kWidth = 53, kMost = 200;
    std::vector<int32_t> raster(kHeight * kWidth);
    for (int32_t& v : raster)
        v = static_cast<int32_t>(random() % 256);
    std::uniform_real_distribution<double> start(-20, 70);
    std::uniform_real_distribution<float> step(-0.9f, 0.9f);
    constexpr size_t kStride = kMost + 3;
    std::vector<float> values[2], weights[2];
    for (int trial = 0; trial < 40; ++trial) {
        double px[4], py[4];
        for (int l = 0; l < 4; ++l) {
            px[l] = start(random);
            py[l] = start(random);
        }
        // Whole and half pixel starts, where the floor's rounding matters,
        // and paths running off every side of the raster.
        if (trial % 4 == 0) {
            for (int l = 0; l < 4; ++l) {
                px[l] = std::floor(px[l]) + 0.5 * (l % 2);
                py[l] = std::floor(py[l]);
            }
        }
        const float sx = trial == 1 ? 0.0f : step(random);
        const float sy = trial == 2 ? 0.0f : step(random);
        const int n = 1 + static_cast<int>(random() % kMost);
        for (int k = 0; k < 2; ++k) {
            values[k].assign(4 * kStride, 0.0f);
            weights[k].assign(4 * kStride, 0.0f);
            const auto sample = k == 0 ? zeph::SampleFourPaths : zeph::SampleFourPathsAvx2;
            sample(raster.data(), kHeight, kWidth, px, py, sx, sy, n, values[k].data(),
                   weights[k].data(), kStride);
        }
        EXPECT_EQ(std::memcmp(values[0].data(), values[1].data(), values[0].size() * 4), 0)
            << "trial " << trial;
        EXPECT_EQ(std::memcmp(weights[0].data(), weights[1].data(), weights[0].size() * 4), 0)
            << "trial " << trial;
    }
}

}  // namespace
