// What every pass of the extended search shares: the picture and a line on it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>

namespace zeph::extended {

struct Picture {
    std::span<const int32_t> values;  // grey raster, row by row
    int32_t height = 0;
    int32_t width = 0;
};

// A scan line in pixels, from its start to its stop point.
struct Line {
    int32_t x0 = 0, y0 = 0;
    int32_t x1 = 0, y1 = 0;
};

// Whether (x, y) lies within the picture's pixel centres.
inline bool Inside(const Picture& p, double x, double y) {
    return x >= 0 && y >= 0 && x <= p.width - 1 && y <= p.height - 1;
}

// The grey at (x, y), bilinearly between the four pixels around it; (x, y)
// must lie Inside a picture of at least 2 x 2 pixels.
inline float BilinearGrey(const Picture& p, double x, double y) {
    const auto cx = std::min(static_cast<int32_t>(x), p.width - 2);
    const auto cy = std::min(static_cast<int32_t>(y), p.height - 2);
    const double fx = x - cx, fy = y - cy;
    const auto w = static_cast<size_t>(p.width);
    const int32_t* q = p.values.data() + static_cast<size_t>(cy) * w + static_cast<size_t>(cx);
    const double top = q[0] + fx * (q[1] - q[0]);
    const double bottom = q[w] + fx * (q[w + 1] - q[w]);
    return static_cast<float>(top + fy * (bottom - top));
}

// The pixel nearest a position along or across a line (halves round up).
inline int32_t NearestPixel(double v) {
    return static_cast<int32_t>(std::floor(v + 0.5));
}

}  // namespace zeph::extended
