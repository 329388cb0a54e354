#include "engine/extended/line_extent.h"

#include <algorithm>
#include <cmath>

namespace zeph::extended {
namespace {

// Reach of the local mean the profile is compared with, in pixels.
constexpr int32_t kMeanReach = 16;
// Transitions are counted this far around the candidate, in pixels.
constexpr int32_t kCentreReach = 15;
// Contrast is measured this far around the candidate; a transition must swing
// across this share of it (paper grain and JPEG noise do not).
constexpr int32_t kContrastReach = 40;
constexpr float kSwingShare = 0.15f;
constexpr double kFewestQuietPixels = 16;

}  // namespace

bool ExtentFinder::Find(const Picture& picture, const Line& full, int32_t x, int32_t y,
                        Extent& extent) {
    const double dx = double(full.x1) - full.x0;
    const double dy = double(full.y1) - full.y0;
    const auto n = static_cast<int32_t>(std::floor(std::hypot(dx, dy) + 0.5));
    if (n < 2) return false;
    const double ex = dx / n;
    const double ey = dy / n;
    const double t = std::fabs(ey) >= std::fabs(ex) ? (y - full.y0) / ey : (x - full.x0) / ex;
    if (!(t >= 0) || t > n - 1) return false;
    const auto centre = static_cast<int32_t>(t);

    try {
        profile_.resize(2 * static_cast<size_t>(n) + 1);
    } catch (...) {
        return false;
    }
    // Grey values along the line, then each less the mean around it.
    float* p = profile_.data();
    float* prefix = p + n;  // n + 1 running sums
    prefix[0] = 0;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t row =
            std::clamp(full.y0 + static_cast<int32_t>(std::floor(i * ey)), 0, picture.height - 1);
        const int32_t col =
            std::clamp(full.x0 + static_cast<int32_t>(std::floor(i * ex)), 0, picture.width - 1);
        p[i] = static_cast<float>(picture.values[static_cast<size_t>(row) * picture.width + col]);
        prefix[i + 1] = prefix[i] + p[i];
    }
    for (int32_t i = 0; i < n; ++i) {
        const int32_t a = std::max(0, i - kMeanReach);
        const int32_t b = std::min(n, i + kMeanReach + 1);
        p[i] -= (prefix[b] - prefix[a]) / static_cast<float>(b - a);
    }

    const int32_t lo = std::max(0, centre - kContrastReach);
    const int32_t hi = std::min(n - 1, centre + kContrastReach);
    const auto [least, most] = std::minmax_element(p + lo, p + hi + 1);
    const float swing = kSwingShare * (*most - *least);

    // Transitions: the profile swings from below -swing to above +swing or back.
    auto walk = [&](int32_t from, int32_t step, double quiet, bool& atBorder) {
        int sign = 0;
        int32_t lastTransition = from;
        int32_t i = from;
        for (; i >= 0 && i < n; i += step) {
            const int s = p[i] > swing ? 1 : p[i] < -swing ? -1 : 0;
            if (s != 0 && s != sign) {
                if (sign != 0) lastTransition = i;
                sign = s;
            }
            if (std::abs(i - lastTransition) >= quiet) {
                atBorder = false;
                return i;
            }
        }
        atBorder = true;
        return i - step;
    };

    int32_t transitions = 0;
    int sign = 0;
    const int32_t a = std::max(0, centre - kCentreReach);
    const int32_t b = std::min(n - 1, centre + kCentreReach);
    for (int32_t i = a; i <= b; ++i) {
        const int s = p[i] > swing ? 1 : p[i] < -swing ? -1 : 0;
        if (s != 0 && s != sign) {
            if (sign != 0) ++transitions;
            sign = s;
        }
    }
    extent.meanRun = double(b - a + 1) / (transitions + 1);
    const double quiet = std::max(kFewestQuietPixels, kQuietRuns * extent.meanRun);
    const int32_t stop = walk(centre, 1, quiet, extent.stopAtBorder);
    const int32_t start = walk(centre, -1, quiet, extent.startAtBorder);
    extent.line = {extent.startAtBorder ? full.x0 : NearestPixel(full.x0 + start * ex),
                   extent.startAtBorder ? full.y0 : NearestPixel(full.y0 + start * ey),
                   extent.stopAtBorder ? full.x1 : NearestPixel(full.x0 + stop * ex),
                   extent.stopAtBorder ? full.y1 : NearestPixel(full.y0 + stop * ey)};
    return true;
}

}  // namespace zeph::extended
