// The gradient coherence screens windows before their spectral orientation
// estimate: striped windows measure high, grain and flat paper low, and no
// window the spectrum finds coherent enough for a candidate may fall below
// the screen's level, whatever its stripes, blur, noise or place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/extended/candidates.h"
#include "engine/extended/gradient_coherence.h"
#include "engine/reader.h"

namespace {

using namespace zeph::extended;

constexpr int kWindow = 64;
constexpr int32_t kSide = 160;

struct Stripes {
    double period = 6;
    double angle = 0;
    double noise = 0;  // standard deviation, in grey levels
    int blur = 0;      // box blur radius along rows, in pixels
};

std::vector<int32_t> Draw(const Stripes& s, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> grain(0, 1);
    std::vector<double> v(static_cast<size_t>(kSide) * kSide);
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
            const double u = x * std::cos(s.angle) + y * std::sin(s.angle);
            v[static_cast<size_t>(y) * kSide + x] =
                std::fmod(u / s.period + 100, 1.0) < 0.5 ? 2200 : 400;
        }
    }
    std::vector<int32_t> out(v.size());
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
            double sum = 0;
            int count = 0;
            for (int32_t k = std::max(0, x - s.blur); k <= std::min(kSide - 1, x + s.blur); ++k) {
                sum += v[static_cast<size_t>(y) * kSide + k];
                ++count;
            }
            const double g = sum / count + s.noise * grain(random);
            out[static_cast<size_t>(y) * kSide + x] =
                static_cast<int32_t>(std::lround(std::clamp(g, 0.0, double(kMaxGrey))));
        }
    }
    return out;
}

double Spectral(const std::vector<int32_t>& values, int32_t x, int32_t y) {
    double theta = 0;
    return XR_Orientation(values, kSide, kSide, x, y, kWindow, theta);
}

TEST(GradientCoherence, StripesMeasureHighAndGrainLow) {
    GradientCoherence gradient;
    // Hard-edged stripes across the pixel grid have staircase edges, which
    // differences see less coherently than the spectrum; along it they are
    // perfectly coherent.
    for (const double angle : {0.0, 0.4, 0.785, 1.3, 2.5}) {
        const std::vector<int32_t> clean = Draw({5, angle, 0, 0}, 1);
        EXPECT_GT(gradient.Measure({clean, kSide, kSide}, 80, 80, kWindow), 0.6) << angle;
    }
    const std::vector<int32_t> upright = Draw({5, 0, 0, 0}, 1);
    EXPECT_GT(gradient.Measure({upright, kSide, kSide}, 80, 80, kWindow), 0.99);
    const std::vector<int32_t> grain = Draw({5, 0, 600, 0}, 2);
    std::vector<int32_t> pure(grain.size());
    std::mt19937 random(3);
    std::uniform_int_distribution<int32_t> any(0, kMaxGrey);
    for (int32_t& v : pure)
        v = any(random);
    EXPECT_LT(gradient.Measure({pure, kSide, kSide}, 80, 80, kWindow), 0.1);
    const std::vector<int32_t> flat(grain.size(), 1200);
    EXPECT_EQ(gradient.Measure({flat, kSide, kSide}, 80, 80, kWindow), 0);
}

TEST(GradientCoherence, NoWindowTheSpectrumFindsCoherentFallsBelowTheScreen) {
    GradientCoherence gradient;
    int coherent = 0;
    int screened = 0;
    uint32_t seed = 10;
    for (const double period : {2.5, 3.0, 4.0, 7.0, 12.0, 24.0}) {
        for (const double angle : {0.0, 0.3, 0.785, 1.2, 1.57, 2.2}) {
            for (const double noise : {0.0, 150.0, 400.0, 800.0}) {
                for (const int blur : {0, 2}) {
                    const std::vector<int32_t> v = Draw({period, angle, noise, blur}, ++seed);
                    // The middle, and windows pushed against the border,
                    // where the transform's wrap-around matters.
                    for (const auto& [x, y] : {std::pair{80, 80}, {10, 80}, {150, 5}}) {
                        const double screen = gradient.Measure({v, kSide, kSide}, x, y, kWindow);
                        const double spectral = Spectral(v, x, y);
                        if (spectral >= CandidateFinder::kLeastCoherence) {
                            ++coherent;
                            EXPECT_GE(screen, CandidateFinder::kLeastGradientCoherence)
                                << period << " " << angle << " " << noise << " " << blur;
                        } else if (screen < CandidateFinder::kLeastGradientCoherence) {
                            ++screened;
                        }
                    }
                }
            }
        }
    }
    // The sweep holds both kinds of window, and the screen saves estimates.
    EXPECT_GT(coherent, 300);
    EXPECT_GT(screened, 20);
}

TEST(GradientCoherence, AnEdgeAtTheWindowsBorderCountsAsTheTransformSeesIt) {
    // Dark paper with a bright band along the top rows, in the taper's
    // reach: the wrapped window has a step between its last and first rows,
    // which the spectrum measures as stripes across the rows.
    std::vector<int32_t> v(static_cast<size_t>(kSide) * kSide, 300);
    std::mt19937 random(5);
    std::normal_distribution<double> grain(0, 10);
    for (size_t i = 0; i < v.size(); ++i) {
        const bool band = i / kSide < 3;
        v[i] = static_cast<int32_t>(std::clamp((band ? 2200 : 300) + grain(random), 0.0, 2550.0));
    }
    GradientCoherence gradient;
    const double spectral = Spectral(v, 80, 20);
    const double screen = gradient.Measure({v, kSide, kSide}, 80, 20, kWindow);
    EXPECT_GT(spectral, 0.9);
    EXPECT_NEAR(screen, spectral, 0.1);
}

TEST(GradientCoherence, WindowsItCannotMeasure) {
    GradientCoherence gradient;
    const std::vector<int32_t> small(40 * 40, 1000);
    EXPECT_EQ(gradient.Measure({small, 40, 40}, 20, 20, kWindow), -1);
    const std::vector<int32_t> v = Draw({5, 0, 0, 0}, 1);
    EXPECT_EQ(gradient.Measure({v, kSide, kSide}, 80, 80, 60), -1);  // not whole lanes
    EXPECT_EQ(gradient.Measure({v, kSide, kSide}, 80, 80, 0), -1);
    // The same window twice gives the same value; another size changes it.
    const double once = gradient.Measure({v, kSide, kSide}, 80, 80, kWindow);
    EXPECT_EQ(gradient.Measure({v, kSide, kSide}, 80, 80, kWindow), once);
    EXPECT_GT(gradient.Measure({v, kSide, kSide}, 80, 80, 32), 0.8);
}

}  // namespace
