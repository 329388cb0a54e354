#include "engine/databar/bar_height.h"

#include <algorithm>
#include <cmath>

namespace zeph::databar {
namespace {

// Grey at (x, y), bilinear between the pixel centres; -1 off the picture.
double GreyAt(const extended::Picture& p, double x, double y) {
    if (!(x >= 0 && y >= 0 && x <= p.width - 1 && y <= p.height - 1)) return -1;
    const auto x0 = static_cast<int32_t>(x);
    const auto y0 = static_cast<int32_t>(y);
    const int32_t x1 = std::min(x0 + 1, p.width - 1);
    const int32_t y1 = std::min(y0 + 1, p.height - 1);
    const double fx = x - x0;
    const double fy = y - y0;
    const auto at = [&](int32_t xx, int32_t yy) {
        return static_cast<double>(p.values[static_cast<size_t>(yy) * p.width + xx]);
    };
    return (at(x0, y0) * (1 - fx) + at(x1, y0) * fx) * (1 - fy) +
           (at(x0, y1) * (1 - fx) + at(x1, y1) * fx) * fy;
}

// Samples of the profile across the bar at each step, per side of its
// middle; the bar goes on while this share of them is dark (a step of noise
// or a speck is passed over), and its middle moves at most this far a step
// (pixels), following a tilt but no other bar.
constexpr int kProfileHalf = 6;
constexpr double kStillBar = 0.6;
constexpr int kGapSteps = 2;
constexpr double kMostShift = 0.35;
// How far across the line a darker start of the bar is looked for, pixels.
constexpr int kStartReach = 4;

// Follows the bar from `centre` in direction `across`; returns how far it
// reaches. The bar is where the profile along the line stays below
// `threshold`.
double Follow(const extended::Picture& p, PixelPoint centre, PixelPoint along, PixelPoint across,
              double width, double threshold, double longest) {
    const double spacing = width / (2 * kProfileHalf);
    double cx = centre.x;
    double cy = centre.y;
    double reach = 0;
    int misses = 0;
    for (double t = 1; t <= longest; t += 1) {
        const double px = cx + across.x;
        const double py = cy + across.y;
        double sum = 0;
        int dark = 0;
        for (int i = -kProfileHalf; i <= kProfileHalf; ++i) {
            const double g = GreyAt(p, px + i * spacing * along.x, py + i * spacing * along.y);
            if (g >= 0 && g < threshold) {
                sum += i * spacing;
                ++dark;
            }
        }
        cx = px;
        cy = py;
        if (dark < kStillBar * (2 * kProfileHalf + 1)) {
            if (++misses > kGapSteps) break;
            continue;
        }
        misses = 0;
        reach = t;
        const double shift = std::clamp(sum / dark, -kMostShift, kMostShift);
        cx += shift * along.x;
        cy += shift * along.y;
    }
    return reach;
}

}  // namespace

double BarHeight(const extended::Picture& picture, PixelPoint centre, PixelPoint along,
                 double width, double module, double longest) {
    // The line may have crossed the bar near its end, its parallel paths
    // seeing more of it than the middle one: start where it is darkest close by.
    const PixelPoint across{-along.y, along.x};
    double bar = GreyAt(picture, centre.x, centre.y);
    for (int k = -kStartReach; k <= kStartReach; ++k) {
        const PixelPoint at{centre.x + k * across.x, centre.y + k * across.y};
        const double g = GreyAt(picture, at.x, at.y);
        if (g >= 0 && (bar < 0 || g < bar)) {
            bar = g;
            centre = at;
        }
    }
    // The middle of the spaces on either side.
    const double side = (width + module) / 2;
    const double before = GreyAt(picture, centre.x - side * along.x, centre.y - side * along.y);
    const double after = GreyAt(picture, centre.x + side * along.x, centre.y + side * along.y);
    if (bar < 0 || before < 0 || after < 0) return 0;
    const double paper = std::max(before, after);
    if (!(paper > bar)) return 0;
    const double threshold = (bar + paper) / 2;
    const PixelPoint up{along.y, -along.x};
    const PixelPoint down{-along.y, along.x};
    return Follow(picture, centre, along, up, width, threshold, longest) +
           Follow(picture, centre, along, down, width, threshold, longest) + 1;
}

}  // namespace zeph::databar
