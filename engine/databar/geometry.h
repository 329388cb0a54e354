// Where the samples of a scan line lie in the picture.
#pragma once

#include <cmath>
#include <cstdint>

namespace zeph::databar {

struct PixelPoint {
    double x = 0;
    double y = 0;
};

inline double Distance(PixelPoint a, PixelPoint b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

// A line from (x0, y0) to (x1, y1) sampled into a signal: sample
// `firstSample` lies at the start, and `samplesPerLine` samples later the
// signal reaches the stop. Samples beyond either end lie on the end.
struct LineGeometry {
    double x0 = 0, y0 = 0;
    double x1 = 0, y1 = 0;
    double firstSample = 0;
    double samplesPerLine = 1;

    PixelPoint At(double sample) const {
        double f = (sample - firstSample) / samplesPerLine;
        f = f < 0 ? 0 : f > 1 ? 1 : f;
        return {x0 + f * (x1 - x0), y0 + f * (y1 - y0)};
    }
    double PixelsPerSample() const {
        return samplesPerLine > 0 ? std::hypot(x1 - x0, y1 - y0) / samplesPerLine : 0;
    }
    // The unit vector from start to stop.
    PixelPoint Direction() const {
        const double l = std::hypot(x1 - x0, y1 - y0);
        return l > 0 ? PixelPoint{(x1 - x0) / l, (y1 - y0) / l} : PixelPoint{1, 0};
    }
};

}  // namespace zeph::databar
