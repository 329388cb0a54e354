#include "engine/extended/gradient_coherence.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "engine/core/avx2_clones.h"

namespace zeph::extended {
namespace {

constexpr int kLanes = 8;
using Lanes = float __attribute__((vector_size(4 * kLanes)));

// The tensor's sums over the periodic window: rows of n + 1 values (the
// first again at the end), the first row again after the last. Horizontal
// and vertical differences give the diagonal, the two diagonal differences
// the off-diagonal term ((u^2 - v^2) / 4 is gx gy to second order); no
// difference is smoothed across another's direction, which would hide fine
// detail in one of them.
ZEPH_AVX2_CLONES void TensorSums(const float* window, int n, double& sxx, double& syy,
                                 double& sxy) {
    Lanes xx{}, yy{}, xy{};
    const size_t stride = static_cast<size_t>(n) + 1;
    for (int r = 0; r < n; ++r) {
        const float* above = window + static_cast<size_t>(r) * stride;
        const float* below = window + static_cast<size_t>(r + 1 == n ? 0 : r + 1) * stride;
        for (int c = 0; c < n; c += kLanes) {
            Lanes a, b, d, e;
            std::memcpy(&a, above + c, sizeof a);
            std::memcpy(&b, above + c + 1, sizeof b);
            std::memcpy(&d, below + c, sizeof d);
            std::memcpy(&e, below + c + 1, sizeof e);
            const Lanes gx = b - a;
            const Lanes gy = d - a;
            const Lanes u = e - a;
            const Lanes v = d - b;
            xx += gx * gx;
            yy += gy * gy;
            xy += u * u - v * v;
        }
    }
    sxx = syy = sxy = 0;
    for (int k = 0; k < kLanes; ++k) {
        sxx += xx[k];
        syy += yy[k];
        sxy += 0.25 * xy[k];
    }
}

}  // namespace

double GradientCoherence::Measure(const Picture& picture, int32_t x, int32_t y, int n) {
    const int32_t width = picture.width;
    const int32_t height = picture.height;
    if (n < kLanes || n % kLanes != 0 || height < n || width < n) return -1;
    const auto side = static_cast<size_t>(n);
    try {
        if (tapered_ != n) {
            tapered_ = 0;
            taper_.resize(side);
            for (int i = 0; i < n; ++i) {
                taper_[static_cast<size_t>(i)] =
                    static_cast<float>(0.54 - 0.46 * std::cos(6.28318530718 * i / (n - 1)));
            }
            tapered_ = n;
        }
        window_.resize(side * (side + 1));
    } catch (...) {
        return -1;
    }
    // Placed as the spectral estimate places its window.
    const int ox = std::max(0, std::min(x - n / 2, width - n - 1));
    const int oy = std::max(0, std::min(y - n / 2, height - n - 1));
    const auto pixels = [&](int r) {
        return picture.values.data() + static_cast<size_t>(oy + r) * width + ox;
    };
    int64_t sum = 0;
    for (int r = 0; r < n; ++r) {
        const int32_t* src = pixels(r);
        for (int c = 0; c < n; ++c)
            sum += src[c];
    }
    const auto mean = static_cast<float>(double(sum) / (double(n) * n));
    for (int r = 0; r < n; ++r) {
        const int32_t* src = pixels(r);
        float* out = window_.data() + static_cast<size_t>(r) * (side + 1);
        const float h = taper_[static_cast<size_t>(r)];
        for (int c = 0; c < n; ++c)
            out[c] = (static_cast<float>(src[c]) - mean) * h * taper_[static_cast<size_t>(c)];
        out[n] = out[0];
    }
    // The transform sees the window as periodic: its last row and column
    // meet its first ones, and where the taper leaves a step there (an edge
    // close to the window's border) that step is part of what it measures.
    double sxx = 0, syy = 0, sxy = 0;
    TensorSums(window_.data(), n, sxx, syy, sxy);
    const double mid = (sxx + syy) / 2;
    const double d = std::sqrt(((sxx - syy) / 2) * ((sxx - syy) / 2) + sxy * sxy);
    const double most = mid + d;
    if (!(most > 0)) return 0;
    return 1.0 - (mid - d) / most;
}

}  // namespace zeph::extended
