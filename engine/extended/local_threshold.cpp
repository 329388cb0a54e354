#include "engine/extended/local_threshold.h"

#include <algorithm>
#include <cmath>

#include "engine/extended/sliding_envelope.h"

namespace zeph::extended {

void CrispRenderer::Render(std::span<const float> input, int32_t scale, std::span<float> output) {
    const auto n = static_cast<int32_t>(input.size());
    if (n == 0 || scale < 1) return;
    // Edges where the input crosses zero; sample values sit at sample centres.
    edges_.clear();
    const bool darkFirst = input[0] < 0;
    for (int32_t j = 1; j < n; ++j) {
        if ((input[j] < 0) == (input[j - 1] < 0)) continue;
        const double v0 = input[j - 1];
        const double v1 = input[j];
        edges_.push_back(j - 0.5 + v0 / (v0 - v1));
    }
    // Bars read thinner or thicker than spaces of the same width (blur, ink,
    // a threshold off the middle of the edge): move every edge so that the
    // narrow bars and the narrow spaces come out equally wide.
    barWidths_.clear();
    spaceWidths_.clear();
    for (size_t e = 1; e < edges_.size(); ++e) {
        const bool darkRun = (e % 2 == 1) != darkFirst;  // run between edges e-1 and e
        (darkRun ? barWidths_ : spaceWidths_).push_back(edges_[e] - edges_[e - 1]);
    }
    double grow = 0;  // added to each side of every bar
    if (barWidths_.size() >= 4 && spaceWidths_.size() >= 4) {
        auto quartile = [](std::vector<double>& v) {
            const auto q = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 4);
            std::nth_element(v.begin(), q, v.end());
            return *q;
        };
        const double narrowBar = quartile(barWidths_);
        const double narrowSpace = quartile(spaceWidths_);
        grow = std::clamp((narrowSpace - narrowBar) / 4, -0.4 * narrowBar, 0.4 * narrowSpace);
    }

    for (int32_t i = 0; i < n * scale; ++i)
        output[static_cast<size_t>(i)] = 1.0f;
    auto paintBar = [&](double from, double to) {
        const double a = std::max(0.0, (from - grow) * scale);
        const double b = std::min(double(n) * scale, (to + grow) * scale);
        for (auto i = static_cast<int32_t>(std::floor(a)); i < b; ++i) {
            const double cover = std::min(b, i + 1.0) - std::max(a, double(i));
            if (cover > 0) output[static_cast<size_t>(i)] -= static_cast<float>(2 * cover);
        }
    };
    double runStart = 0;
    bool dark = darkFirst;
    for (const double edge : edges_) {
        if (dark) paintBar(runStart, edge);
        runStart = edge;
        dark = !dark;
    }
    if (dark) paintBar(runStart, n);
}

double NarrowElementWidth(std::span<const float> samples, std::vector<int32_t>& widths) {
    widths.clear();
    const auto n = static_cast<int32_t>(samples.size());
    int32_t runStart = 0;
    for (int32_t j = 1; j <= n; ++j) {
        if (j == n || (samples[j] < 0) != (samples[j - 1] < 0)) {
            // The runs touching the ends are cut by them, not by an edge.
            if (runStart > 0 && j < n) widths.push_back(j - runStart);
            runStart = j;
        }
    }
    if (widths.empty()) return 1;
    const auto quartile = widths.begin() + static_cast<std::ptrdiff_t>(widths.size() / 4);
    std::nth_element(widths.begin(), quartile, widths.end());
    return std::max(1, *quartile);
}

bool LocalThreshold::Apply(std::span<float> samples, double narrow) {
    const size_t n = samples.size();
    if (n == 0) return true;
    try {
        low_.resize(n);
        high_.resize(n);
        lowAfter_.resize(n);
        sorted_.resize(n);
    } catch (...) {
        return false;
    }
    const auto reach = static_cast<int32_t>(std::ceil(kReach * narrow));
    // sorted_ is free until the median below.
    SlidingEnvelope(samples, reach, low_, high_, lowAfter_, sorted_);

    // The typical envelope height: the median over the signal.
    for (size_t j = 0; j < n; ++j)
        sorted_[j] = high_[j] - low_[j];
    const auto middle = sorted_.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(sorted_.begin(), middle, sorted_.end());
    const float flat = kFlatShare * *middle;

    // Thresholds where the envelope has height; flat stretches take the
    // nearest one (from the left, then from the right for a flat start).
    float carried = 0;
    bool any = false;
    for (size_t j = 0; j < n; ++j) {
        if (high_[j] - low_[j] >= flat) {
            carried = 0.5f * (high_[j] + low_[j]);
            any = true;
            sorted_[j] = carried;
        } else {
            sorted_[j] = any ? carried : NAN;
        }
    }
    if (!any) return true;
    for (size_t j = n; j-- > 0;) {
        if (std::isnan(sorted_[j])) {
            sorted_[j] = carried;
        } else if (!(high_[j] - low_[j] >= flat)) {
            continue;
        } else {
            carried = sorted_[j];
        }
    }
    for (size_t j = 0; j < n; ++j)
        samples[j] -= sorted_[j];
    return true;
}

}  // namespace zeph::extended
