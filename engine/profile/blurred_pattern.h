// Module patterns as a blurred profile shows them, for fitting to it.
#pragma once

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

}  // namespace zeph::profile
