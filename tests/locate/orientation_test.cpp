#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <span>
#include <vector>

#include "engine/locate/fft.h"
#include "engine/locate/orientation_memo.h"
#include "engine/reader.h"

namespace {

// A raster of soft stripes across the direction `angle` (radians), period in
// pixels; soft, as a camera sees them, so no harmonics alias into other
// directions.
std::vector<int32_t> Stripes(int height, int width, double angle, double period) {
    std::vector<int32_t> r(static_cast<size_t>(height) * width);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = x * std::cos(angle) + y * std::sin(angle);
            r[static_cast<size_t>(y) * width + x] =
                static_cast<int32_t>(1300 + 1000 * std::cos(2 * std::numbers::pi * u / period));
        }
    }
    return r;
}

TEST(Orientation, SmallRastersAreScannedAlongTheirLongerSide) {
    double theta = 9;
    EXPECT_EQ(XR_Orientation({}, 100, 50, 10, 10, 64, theta), 1.0);
    EXPECT_DOUBLE_EQ(theta, 1.57);
    EXPECT_EQ(XR_Orientation({}, 50, 100, 10, 10, 64, theta), 1.0);
    EXPECT_DOUBLE_EQ(theta, 0.0);
}

TEST(Orientation, VerticalBarsGiveAHorizontalScan) {
    const std::vector<int32_t> r = Stripes(128, 128, 0.0, 6);
    double theta = 9;
    const double coherence = XR_Orientation(r, 128, 128, 64, 64, 64, theta);
    EXPECT_GT(coherence, 0.9);
    EXPECT_NEAR(theta, 0.0, 0.02);
}

TEST(Orientation, HorizontalBarsGiveAVerticalScan) {
    const std::vector<int32_t> r = Stripes(128, 128, std::numbers::pi / 2, 6);
    double theta = 0;
    const double coherence = XR_Orientation(r, 128, 128, 64, 64, 64, theta);
    EXPECT_GT(coherence, 0.9);
    EXPECT_NEAR(std::fabs(theta), std::numbers::pi / 2, 0.02);
}

TEST(Orientation, SlantedBarsGiveTheirAngle) {
    for (double degrees : {30.0, 60.0, 120.0, 150.0}) {
        const double angle = degrees * std::numbers::pi / 180;
        const std::vector<int32_t> r = Stripes(160, 160, angle, 7);
        double theta = 0;
        const double coherence = XR_Orientation(r, 160, 160, 80, 80, 64, theta);
        EXPECT_GT(coherence, 0.8) << degrees;
        // The scan direction is defined up to a half turn.
        const double diff = std::remainder(theta - angle, std::numbers::pi);
        EXPECT_NEAR(diff, 0.0, 0.06) << degrees << " gave " << theta;
    }
}

TEST(Orientation, UniformWindowHasNoCoherence) {
    const std::vector<int32_t> r(100 * 100, 1234);
    double theta = 5;
    EXPECT_EQ(XR_Orientation(r, 100, 100, 50, 50, 64, theta), 0.0);
}

TEST(Orientation, WindowsNearTheBorderStayInside) {
    // Stripes only within the first 64 columns and the last 65: points near
    // either edge see them, as the window is moved inside the raster.
    std::vector<int32_t> r(100 * 200, 1500);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 64; ++x)
            r[y * 200 + x] = (x / 3) % 2 ? 200 : 2400;
        for (int x = 135; x < 200; ++x)
            r[y * 200 + x] = (x / 3) % 2 ? 200 : 2400;
    }
    double theta = 1;
    EXPECT_GT(XR_Orientation(r, 100, 200, 5, 50, 64, theta), 0.9);
    EXPECT_NEAR(theta, 0.0, 0.02);
    EXPECT_GT(XR_Orientation(r, 100, 200, 199, 50, 64, theta), 0.9);
    // A raster exactly as wide as the window is read from column 0.
    std::vector<int32_t> exact(64 * 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x)
            exact[y * 64 + x] = (x / 3) % 2 ? 200 : 2400;
    }
    EXPECT_GT(XR_Orientation(exact, 64, 64, 63, 63, 64, theta), 0.9);
}

TEST(Orientation, RefusesWindowsThatAreNoPowerOfTwo) {
    const std::vector<int32_t> r(100 * 100, 1);
    double theta = 0;
    EXPECT_EQ(XR_Orientation(r, 100, 100, 50, 50, 48, theta), -1.0);
}

TEST(Hamming2D, SeparableRaisedCosine) {
    std::vector<double> w(8 * 8, 1.0);
    ASSERT_EQ(XR_Hamming2D(w, 8), 1);
    EXPECT_NEAR(w[0], 0.08 * 0.08, 1e-9);
    EXPECT_NEAR(w[7], 0.08 * 0.08, 1e-9);
    const double h3 = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * 3 / 7);
    EXPECT_NEAR(w[3 * 8 + 3], h3 * h3, 1e-9);
    EXPECT_NEAR(w[3 * 8 + 0], h3 * 0.08, 1e-9);
    EXPECT_EQ(XR_Hamming2D(w, 16), 0);  // window too small for 16 x 16
}

TEST(PowerSpectrum2D, ConstantWindowHasOnlyADcTerm) {
    std::vector<double> w(16 * 16, 2.0);
    ASSERT_EQ(XR_PowerSpectrum2D(w, 16), 1);
    EXPECT_NEAR(w[0], (16 * 16 * 2.0) * (16 * 16 * 2.0), 1e-6);
    for (int u = 0; u <= 8; ++u) {
        for (int v = 0; v < 16; ++v) {
            if (u || v) {
                EXPECT_NEAR(w[u * 16 + v], 0.0, 1e-6) << u << "," << v;
            }
        }
    }
}

TEST(PowerSpectrum2D, CosineLandsOnItsFrequency) {
    // cos(2 pi * 3 x / 16) varies along columns: power at horizontal
    // frequency u = 3, vertical frequency 0.
    std::vector<double> w(16 * 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            w[y * 16 + x] = std::cos(2 * std::numbers::pi * 3 * x / 16);
    }
    ASSERT_EQ(XR_PowerSpectrum2D(w, 16), 1);
    EXPECT_NEAR(w[3 * 16 + 0], 128.0 * 128.0, 1e-6);
    double rest = 0;
    for (int u = 0; u <= 8; ++u) {
        for (int v = 0; v < 16; ++v) {
            if (!(u == 3 && v == 0)) rest += w[u * 16 + v];
        }
    }
    EXPECT_NEAR(rest, 0.0, 1e-6);
    EXPECT_EQ(XR_PowerSpectrum2D(w, 12), 0);
}

// Rows transformed one by one, the matrix turned, then columns 0..n/2 one by
// one: the order of work the four-lane spectrum must match to the bit.
std::vector<double> SpectrumOneByOne(std::vector<double> w, int n) {
    const auto size = static_cast<size_t>(n);
    std::vector<std::complex<double>> m(size * size);
    for (size_t r = 0; r < size; ++r) {
        EXPECT_TRUE(zeph::TransformReal(std::span(w).subspan(r * size, size),
                                        std::span(m).subspan(r * size, size)));
    }
    for (size_t u = 0; u < size; ++u) {
        for (size_t v = u + 1; v < size; ++v)
            std::swap(m[u * size + v], m[v * size + u]);
    }
    for (size_t u = 0; u <= size / 2; ++u) {
        EXPECT_TRUE(zeph::TransformInPlace(std::span(m).subspan(u * size, size)));
        for (size_t v = 0; v < size; ++v)
            w[u * size + v] = std::norm(m[u * size + v]);
    }
    return w;
}

TEST(PowerSpectrum2D, EveryPowerIsTheOneByOneTransformsToTheBit) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> grey(0, 4095);
    for (const int n : {2, 4, 8, 16, 64, 128}) {
        const auto cells = static_cast<size_t>(n) * n;
        for (int trial = 0; trial < 3; ++trial) {
            std::vector<double> w(cells);
            for (double& v : w)
                v = grey(random) - 2047.5;
            ASSERT_EQ(XR_Hamming2D(w, n), 1);
            const std::vector<double> expected = SpectrumOneByOne(w, n);
            ASSERT_EQ(XR_PowerSpectrum2D(w, n), 1);
            // Rows past n/2 keep the window as it was, like the expected one.
            for (size_t k = 0; k < cells; ++k) {
                ASSERT_EQ(std::bit_cast<uint64_t>(w[k]), std::bit_cast<uint64_t>(expected[k]))
                    << "n " << n << " trial " << trial << " cell " << k;
            }
        }
    }
}

TEST(SpectralMoments, SameToTheBitAsEachCellsOwnFrequencies) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> power(0.0, 1e9);
    for (const int n : {8, 64}) {
        std::vector<double> p(static_cast<size_t>(n) * n);
        for (double& v : p)
            v = power(random);
        double s = 0, sxx = 0, syy = 0, sxy = 0;
        for (int u = 0; u < n / 2; ++u) {
            for (int v = 0; v < n; ++v) {
                const double fx = (v >= n / 2 ? -1.0 : 1.0) * u / n;
                const double fy = v < n / 2 ? double(v) / n : double(n - v) / n;
                const double w = p[static_cast<size_t>(u) * n + v];
                s += w;
                sxx += w * fx * fx;
                syy += w * fy * fy;
                sxy += w * fx * fy;
            }
        }
        const double a = sxx / s, b = syy / s, c = sxy / s;
        SpectralMoments m;
        ASSERT_TRUE(XR_SpectralMoments(p, n, m));
        EXPECT_EQ(std::bit_cast<uint64_t>(m.theta),
                  std::bit_cast<uint64_t>(0.5 * std::atan2(2 * c, a - b)));
        const double d = std::sqrt(((a - b) / 2) * ((a - b) / 2) + c * c);
        EXPECT_EQ(std::bit_cast<uint64_t>(m.lambdaMax), std::bit_cast<uint64_t>((a + b) / 2 + d));
        EXPECT_EQ(std::bit_cast<uint64_t>(m.lambdaMin), std::bit_cast<uint64_t>((a + b) / 2 - d));
    }
}

// The window's mean, taper, spectrum and moments one step after the other,
// the mean summed value by value as doubles.
double OrientationStepByStep(const std::vector<int32_t>& r, int width, int x, int y, int n,
                             double& theta) {
    std::vector<double> w(static_cast<size_t>(n) * n);
    double sum = 0;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i)
            sum += w[static_cast<size_t>(j) * n + i] =
                r[static_cast<size_t>(y + j) * width + x + i];
    }
    const double mean = sum * (1.0 / static_cast<double>(w.size()));
    for (double& v : w)
        v -= mean;
    EXPECT_EQ(XR_Hamming2D(w, n), 1);
    EXPECT_EQ(XR_PowerSpectrum2D(w, n), 1);
    SpectralMoments m;
    if (!XR_SpectralMoments(w, n, m) || !(m.lambdaMax > 0)) return 0;
    theta = m.theta;
    return 1.0 - m.lambdaMin / m.lambdaMax;
}

TEST(Orientation, SameToTheBitAsEachStepInTurn) {
    // Grey stripes, and values near the int32 limits, whose sum a double
    // would round if it could not hold every partial sum.
    std::mt19937 random(3);
    std::uniform_int_distribution<int32_t> huge(std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max());
    const int side = 80;
    std::vector<std::vector<int32_t>> rasters = {Stripes(side, side, 0.4, 7.0)};
    std::vector<int32_t> extreme(static_cast<size_t>(side) * side);
    for (int32_t& v : extreme)
        v = huge(random);
    rasters.push_back(extreme);
    for (const auto& r : rasters) {
        double theta = 0;
        double expectedTheta = 0;
        // Windows start at x - 32, y - 32, kept one pixel inside the far edges.
        const double coherence = XR_Orientation(r, side, side, 40, 44, 64, theta);
        const double expected = OrientationStepByStep(r, side, 8, 12, 64, expectedTheta);
        EXPECT_EQ(std::bit_cast<uint64_t>(coherence), std::bit_cast<uint64_t>(expected));
        EXPECT_EQ(std::bit_cast<uint64_t>(theta), std::bit_cast<uint64_t>(expectedTheta));
    }
}

TEST(SpectralMoments, EmptySpectrumHasNone) {
    std::vector<double> zeros(8 * 8, 0.0);
    SpectralMoments m;
    EXPECT_FALSE(XR_SpectralMoments(zeros, 8, m));
}

TEST(SpectralMoments, SinglePeakGivesItsDirection) {
    // Power at u = 2, v = 2 (fx = fy = 2/8): a diagonal direction, fully coherent.
    std::vector<double> p(8 * 8, 0.0);
    p[2 * 8 + 2] = 5.0;
    SpectralMoments m;
    ASSERT_TRUE(XR_SpectralMoments(p, 8, m));
    EXPECT_NEAR(m.theta, std::numbers::pi / 4, 1e-9);
    EXPECT_NEAR(m.lambdaMin, 0.0, 1e-12);
    EXPECT_NEAR(m.lambdaMax, 2 * (2.0 / 8) * (2.0 / 8), 1e-12);
    // The row u = n/2 is not part of the moments.
    std::vector<double> edge(8 * 8, 0.0);
    edge[4 * 8 + 1] = 1.0;
    EXPECT_FALSE(XR_SpectralMoments(edge, 8, m));
}

TEST(OrientationMemo, GivesBackWhatWasKeptAtThatPointOnly) {
    zeph::locate::OrientationMemo memo;
    memo.Add(30, 7, 0.25, 1.5);
    memo.Add(7, 30, 0.75, -0.5);
    memo.Add(8, 7, 0.5, 0.125);
    double coherence = -1, theta = 9;
    ASSERT_TRUE(memo.Find(7, 30, coherence, theta));
    EXPECT_EQ(coherence, 0.75);
    EXPECT_EQ(theta, -0.5);
    ASSERT_TRUE(memo.Find(30, 7, coherence, theta));
    EXPECT_EQ(coherence, 0.25);
    EXPECT_FALSE(memo.Find(7, 8, coherence, theta)) << "x and y are not interchangeable";
    EXPECT_EQ(coherence, 0.25) << "a miss leaves the outputs alone";
    memo.Add(1, 1, 0.5, 0.5);  // added after a look-up
    EXPECT_TRUE(memo.Find(1, 1, coherence, theta));
    memo.Clear();
    EXPECT_FALSE(memo.Find(30, 7, coherence, theta));
}

}  // namespace
