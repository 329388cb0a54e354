#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/core/reusable_buffer.h"
#include "engine/locate/power_spectrum.h"
#include "engine/reader.h"

namespace {

bool IsPowerOfTwo(int n) {
    return n >= 2 && (n & (n - 1)) == 0;
}

// The separable raised-cosine weights of an n x n window, made once per size
// and thread; none when memory runs out, which is reported as it always was.
const double* HammingWeights(int n) {
    thread_local zeph::ReusableBuffer<double> weights;
    thread_local int weightsFor = 0;
    if (weightsFor != n) {
        weightsFor = 0;
        if (!weights.Ensure(static_cast<size_t>(n) * static_cast<size_t>(n))) {
            // Reported like before, but the caller fails the run instead of the
            // whole process ending.
            std::printf("Memory allocation failed in XR_Hamming2D()\n");
            return nullptr;
        }
        for (int i = 0; i < n; ++i) {
            const double hi = 0.54 - 0.46 * std::cos(6.28318530718 * i / (n - 1));
            for (int j = 0; j < n; ++j) {
                const double hj = 0.54 - 0.46 * std::cos(6.28318530718 * j / (n - 1));
                weights[static_cast<size_t>(i) * n + j] = hi * hj;
            }
        }
        weightsFor = n;
    }
    return weights.data();
}

}  // namespace

int XR_Hamming2D(std::span<double> window, int n) {
    const size_t cells = static_cast<size_t>(n) * static_cast<size_t>(n);
    if (n < 2 || window.size() < cells) return 0;
    const double* weights = HammingWeights(n);
    if (!weights) return 0;
    for (size_t k = 0; k < cells; ++k)
        window[k] *= weights[k];
    return 1;
}

int XR_PowerSpectrum2D(std::span<double> window, int n) {
    return IsPowerOfTwo(n) && zeph::PowerSpectrum(window, n) ? 1 : 0;
}

bool XR_SpectralMoments(std::span<const double> spectrum, int n, SpectralMoments& moments) {
    if (n < 2 || spectrum.size() < static_cast<size_t>(n / 2) * n) return false;
    // The frequencies of each row and column, divided once per size: u / n
    // across (negative in the second half of a row), v / n down, folded.
    thread_local zeph::ReusableBuffer<double> across;
    thread_local zeph::ReusableBuffer<double> down;
    thread_local int tablesFor = 0;
    if (tablesFor != n) {
        tablesFor = 0;
        if (!across.Ensure(static_cast<size_t>(n)) || !down.Ensure(static_cast<size_t>(n)))
            return false;
        for (int k = 0; k < n; ++k) {
            across[static_cast<size_t>(k)] = double(k) / n;
            down[static_cast<size_t>(k)] = k < n / 2 ? double(k) / n : double(n - k) / n;
        }
        tablesFor = n;
    }
    double s = 0, sxx = 0, syy = 0, sxy = 0;
    for (int u = 0; u < n / 2; ++u) {
        const double* row = spectrum.data() + static_cast<size_t>(u) * n;
        const double f = across[static_cast<size_t>(u)];
        for (int v = 0; v < n; ++v) {
            const double fx = v >= n / 2 ? -f : f;
            const double fy = down[static_cast<size_t>(v)];
            const double p = row[v];
            s += p;
            sxx += p * fx * fx;
            syy += p * fy * fy;
            sxy += p * fx * fy;
        }
    }
    if (s == 0) return false;
    const double a = sxx / s, b = syy / s, c = sxy / s;
    moments.theta = 0.5 * std::atan2(2 * c, a - b);
    const double mean = (a + b) / 2;
    const double d = std::sqrt(((a - b) / 2) * ((a - b) / 2) + c * c);
    moments.lambdaMax = mean + d;
    moments.lambdaMin = mean - d;
    return true;
}

double XR_Orientation(std::span<const int32_t> raster, int32_t height, int32_t width, int32_t x,
                      int32_t y, int n, double& theta) {
    if (height < n || width < n) {
        // Too small for a window: tall pictures are scanned vertically.
        theta = width < height ? 1.57 : 0.0;
        return 1.0;
    }
    if (!IsPowerOfTwo(n) || raster.size() < static_cast<size_t>(height) * width) return -1;
    thread_local zeph::ReusableBuffer<double> window;
    const size_t cells = static_cast<size_t>(n) * n;
    if (!window.Ensure(cells)) return -1;

    // The window keeps clear of the last column and row where the raster is
    // wide enough, and never starts outside it.
    const int ox = std::max(0, std::min(x - n / 2, width - n - 1));
    const int oy = std::max(0, std::min(y - n / 2, height - n - 1));
    // The sum of the window's values in the order they are read, as a double.
    // Below 2^53 every partial sum is a whole number a double holds exactly,
    // so a sum in integers is the same to the bit and needs no chain of
    // dependent additions: the window's 2^31-bounded values keep it below
    // that up to kExactCells of them.
    constexpr size_t kExactCells = size_t{1} << 21;
    double sum = 0;
    if (cells <= kExactCells) {
        int64_t whole = 0;
        for (int r = 0; r < n; ++r) {
            const int32_t* src = raster.data() + static_cast<size_t>(oy + r) * width + ox;
            for (int c = 0; c < n; ++c)
                whole += src[c];
        }
        sum = static_cast<double>(whole);
    } else {
        for (int r = 0; r < n; ++r) {
            const int32_t* src = raster.data() + static_cast<size_t>(oy + r) * width + ox;
            for (int c = 0; c < n; ++c)
                sum += src[c];
        }
    }
    const double mean = sum * (1.0 / static_cast<double>(cells));
    // Less the mean, then tapered: XR_Hamming2D's product, in the same pass.
    const double* weights = HammingWeights(n);
    if (!weights) return -1;
    for (int r = 0; r < n; ++r) {
        const int32_t* src = raster.data() + static_cast<size_t>(oy + r) * width + ox;
        const double* taper = weights + static_cast<size_t>(r) * n;
        double* row = window.data() + static_cast<size_t>(r) * n;
        for (int c = 0; c < n; ++c)
            row[c] = (src[c] - mean) * taper[c];
    }

    if (!XR_PowerSpectrum2D(window.span(), n)) return -1;
    SpectralMoments moments;
    if (!XR_SpectralMoments(window.span(), n, moments) || !(moments.lambdaMax > 0)) return 0;
    theta = moments.theta;
    return 1.0 - moments.lambdaMin / moments.lambdaMax;
}
