#include "engine/profile/blurred_pattern.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace zeph::profile {
namespace {

// Where point j of a pattern lies, in modules from the pattern's start: one
// and a half modules in, then the centre of each point.
double PointAt(int j, int pointsPerModule) {
    return 1.5 + (j + 0.5) / pointsPerModule;
}

}  // namespace

void RenderBlurred(std::string_view modules, double blur, int pointsPerModule, std::span<float> out,
                   int& points) {
    points = (static_cast<int>(modules.size()) - 3) * pointsPerModule;
    if (points <= 0) return;
    const double scale = 1.0 / (std::sqrt(2.0) * blur);
    const auto size = static_cast<int>(modules.size());
    // Point j's distance from module edge m is the position of point
    // j - m * pointsPerModule: with a power of two points a module both are
    // the same double, so each edge function value is found once for every
    // point and edge that share it, not twice per point and module; and once
    // for every pattern of the same length and blur, which a set renders in
    // a row.
    const int lowest = -size * pointsPerModule;
    thread_local std::vector<double> edges;
    thread_local double edgesBlur = 0;
    thread_local int edgesPoints = 0, edgesLowest = 0;
    if (blur != edgesBlur || points != edgesPoints || lowest != edgesLowest) {
        edges.resize(static_cast<size_t>(points - lowest));
        for (int k = lowest; k < points; ++k)
            edges[static_cast<size_t>(k - lowest)] = std::erf(PointAt(k, pointsPerModule) * scale);
        edgesBlur = blur;
        edgesPoints = points;
        edgesLowest = lowest;
    }
    const auto edge = [&](int j, int m) {
        return edges[static_cast<size_t>(j - m * pointsPerModule - lowest)];
    };
    double mean = 0;
    for (int j = 0; j < points; ++j) {
        double v = 0;
        for (int m = 0; m < size; ++m) {
            const char c = modules[static_cast<size_t>(m)];
            const double level = c == '1' ? -1.0 : c == '0' ? 1.0 : 0.0;
            if (level == 0) continue;
            v += level * 0.5 * (edge(j, m) - edge(j, m + 1));
        }
        out[static_cast<size_t>(j)] = static_cast<float>(v);
        mean += v;
    }
    mean /= points;
    double norm = 0;
    for (int j = 0; j < points; ++j) {
        out[static_cast<size_t>(j)] -= static_cast<float>(mean);
        norm += double(out[static_cast<size_t>(j)]) * out[static_cast<size_t>(j)];
    }
    norm = norm > 0 ? 1.0 / std::sqrt(norm) : 0.0;
    for (int j = 0; j < points; ++j)
        out[static_cast<size_t>(j)] = static_cast<float>(out[static_cast<size_t>(j)] * norm);
}

}  // namespace zeph::profile
