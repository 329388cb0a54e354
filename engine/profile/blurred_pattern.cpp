#include "engine/profile/blurred_pattern.h"

#include <cmath>
#include <cstddef>

namespace zeph::profile {

void RenderBlurred(std::string_view modules, double blur, int pointsPerModule, std::span<float> out,
                   int& points) {
    points = (static_cast<int>(modules.size()) - 3) * pointsPerModule;
    const double scale = 1.0 / (std::sqrt(2.0) * blur);
    double mean = 0;
    for (int j = 0; j < points; ++j) {
        const double u = 1.5 + (j + 0.5) / pointsPerModule;
        double v = 0;
        for (size_t m = 0; m < modules.size(); ++m) {
            const double level = modules[m] == '1' ? -1.0 : modules[m] == '0' ? 1.0 : 0.0;
            if (level == 0) continue;
            const double from = double(m);
            v += level * 0.5 * (std::erf((u - from) * scale) - std::erf((u - from - 1) * scale));
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
