// What every pass of the extended search shares: the picture and a line on it.
#pragma once

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

// The pixel nearest a position along or across a line (halves round up).
inline int32_t NearestPixel(double v) {
    return static_cast<int32_t>(std::floor(v + 0.5));
}

}  // namespace zeph::extended
