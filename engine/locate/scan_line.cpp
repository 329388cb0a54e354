#include <algorithm>
#include <cmath>

#include "engine/reader.h"

bool XR_PlaceScanLine(int32_t x, int32_t y, double q, int32_t width, int32_t height,
                      ScanLine& line) {
    if (std::fabs(std::cos(q)) <= 0.01) {
        line = {x, 0, x, height - 1};
        return true;
    }
    if (std::fabs(std::sin(q)) <= 0.01) {
        line = {0, y, width - 1, y};
        return true;
    }
    const double m = std::tan(q);
    const double im = 1.0 / m;
    auto floorInt = [](double v) { return static_cast<int32_t>(std::floor(v)); };
    struct Point {
        int32_t x, y;
    };
    // The four border crossings in a fixed order; the first inside the raster
    // starts the line, the last one stops it.
    const Point crossings[4] = {
        {0, y - floorInt(m * x)},
        {width - 1, y + floorInt(m * (width - x - 1))},
        {x - floorInt(y * im), 0},
        {x + floorInt((height - y - 1) * im), height - 1},
    };
    int accepted = 0;
    for (int i = 0; i < 4; ++i) {
        const Point& p = crossings[i];
        const bool inside = i < 2 ? (p.y >= 0 && p.y < height) : (p.x >= 0 && p.x < width);
        if (!inside) continue;
        if (accepted == 0) {
            line.x0 = p.x;
            line.y0 = p.y;
        } else {
            line.x1 = p.x;
            line.y1 = p.y;
        }
        ++accepted;
    }
    // A line that meets the border at one point only (a corner) has no stop.
    return accepted >= 2;
}

int XR_TrimScanLine(std::span<const int32_t> raster, int32_t height, int32_t width, ScanLine& line,
                    int32_t x, int32_t y) {
    if (height <= 0 || width <= 0 || raster.size() < static_cast<size_t>(height) * width) return 0;

    const double dx = line.x1 - line.x0;
    const double dy = line.y1 - line.y0;
    const int n = static_cast<int>(std::floor(std::sqrt(dx * dx + dy * dy) + 0.5));
    // The longest line a raster has room for.
    if (n <= 0 || static_cast<size_t>(n) > static_cast<size_t>(height) + width) return 0;
    const double ex = dx / n;
    const double ey = dy / n;
    // The profile sample i: the nearest pixel below and left of the exact
    // point, clamped so that end points on the border never read outside the
    // raster. Samples are taken only where the trim looks: from the centre
    // out to the first quiet zone on either side, which in most pictures is
    // a small part of the line.
    const auto sample = [&](int i) {
        const int row = std::clamp(line.y0 + static_cast<int>(std::floor(i * ey)), 0, height - 1);
        const int col = std::clamp(line.x0 + static_cast<int>(std::floor(i * ex)), 0, width - 1);
        return static_cast<float>(raster[static_cast<size_t>(row) * width + col]);
    };

    const double centre = std::fabs(ey) >= std::fabs(ex) ? (y - line.y0) / ey : (x - line.x0) / ex;
    if (!(centre >= 0) || centre >= n) return 0;
    const int jc = static_cast<int>(std::floor(centre));

    const int a = std::clamp(jc - 10, 0, n - 1);
    const int b = std::clamp(jc + 10, 0, n - 1);
    const int u = b - a + 1;
    double sum = 0;
    for (int k = a; k <= b; ++k)
        sum += sample(k);
    const float mean = static_cast<float>(sum / u);
    const auto centred = [&](int i) { return sample(i) - mean; };

    int crossings = 0;
    float previous = centred(a);
    for (int k = a; k < b; ++k) {
        const float next = centred(k + 1);
        crossings += previous * next <= 0 ? 1 : 0;
        previous = next;
    }
    // A quiet zone is eight times the mean distance between sign changes.
    const int w = static_cast<int>(std::floor(double(u) / (crossings + 1) * 8 + 0.5));

    int k = jc + 1;
    int run = 0;
    if (k < n - 1) {
        float here = centred(k);
        while (k < n - 1) {
            const float next = centred(k + 1);
            run = here * next > 0 ? run + 1 : 0;
            here = next;
            ++k;
            if (run >= w) break;
        }
    }
    const int stopIndex = k - w / 2;
    k = jc - 1;
    run = 0;
    if (k > 0) {
        float above = centred(k + 1);
        while (k > 0) {
            const float here = centred(k);
            run = here * above > 0 ? run + 1 : 0;
            above = here;
            --k;
            if (run >= w) break;
        }
    }
    const int startIndex = k + w / 2;

    const ScanLine untrimmed = line;
    auto at = [&](int index, int32_t origin, double step) {
        return static_cast<int32_t>(std::floor(index * step + origin + 0.5));
    };
    line.x1 = at(stopIndex, untrimmed.x0, ex);
    line.y1 = at(stopIndex, untrimmed.y0, ey);
    line.x0 = at(startIndex, untrimmed.x0, ex);
    line.y0 = at(startIndex, untrimmed.y0, ey);
    return 1;
}
