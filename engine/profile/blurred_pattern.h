// Module patterns as a blurred profile shows them, for fitting to it.
#pragma once

#include <cmath>
#include <cstddef>
#include <span>
#include <string_view>

namespace zeph::profile {

// Renders `modules` ('1' bar, '0' space, '?' unknown) blurred by a Gaussian of
// `blur` modules, over all but the first and last one and a half modules, at
// `pointsPerModule` points a module; the points have zero mean and unit norm.
// `out` must hold (modules.size() - 3) * pointsPerModule values; `points`
// gets that count.
void RenderBlurred(std::string_view modules, double blur, int pointsPerModule, std::span<float> out,
                   int& points);

// A set of patterns per blur: render(b, sets[b]) for each.
template <typename Sets, typename Render>
Sets RenderSets(Render&& render) {
    Sets sets{};
    for (size_t b = 0; b < sets.size(); ++b)
        render(b, sets[b]);
    return sets;
}

// One over the root of the profile points' spread about their mean, so that
// a dot product with a zero-mean, unit-norm pattern is their correlation; 0
// where the points are flat.
inline double InverseSpread(const float* p, int points) {
    double sum = 0;
    double squares = 0;
    for (int j = 0; j < points; ++j) {
        sum += p[j];
        squares += double(p[j]) * p[j];
    }
    const double spread = squares - sum * sum / points;
    return spread > 1e-12 ? 1.0 / std::sqrt(spread) : 0.0;
}

}  // namespace zeph::profile
