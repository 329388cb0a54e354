#include "engine/databar/edges.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace zeph::databar {
namespace {

// A pair sum whose rounding is moved to make the character whole must have
// been this far from its whole number at least.
constexpr double kMovableRounding = 0.25;
// The widths' ink spread may be this far off the one given (in modules)
// before the solution is doubted.
constexpr double kSpreadSlack = 0.75;

constexpr int kNewtonSteps = 2;

// Where the signal crosses zero between samples j - 1 and j: on the cubic
// through the two samples and their outer neighbours, which follows a
// blurred edge closer than the straight line between the two. Newton's
// steps start from the straight line's crossing.
double Crossing(std::span<const float> s, int32_t j) {
    const auto n = static_cast<int32_t>(s.size());
    const double p1 = s[static_cast<size_t>(j - 1)];
    const double p2 = s[static_cast<size_t>(j)];
    const double d = p1 - p2;
    double t = d != 0 ? p1 / d : 0.5;
    if (j < 2 || j + 1 >= n) return (j - 1) + t;
    const double p0 = s[static_cast<size_t>(j - 2)];
    const double p3 = s[static_cast<size_t>(j + 1)];
    // Catmull-Rom between p1 (t = 0) and p2 (t = 1): a + b t + c t^2 + e t^3.
    const double a = p1;
    const double b = 0.5 * (p2 - p0);
    const double c = 0.5 * (2 * p0 - 5 * p1 + 4 * p2 - p3);
    const double e = 0.5 * (-p0 + 3 * p1 - 3 * p2 + p3);
    for (int i = 0; i < kNewtonSteps; ++i) {
        const double f = a + t * (b + t * (c + t * e));
        const double slope = b + t * (2 * c + t * 3 * e);
        if (slope == 0) break;
        t = std::clamp(t - f / slope, 0.0, 1.0);
    }
    return (j - 1) + t;
}

}  // namespace

bool EdgeList::Build(std::span<const float> samples, std::span<const int32_t> barStarts,
                     std::span<const int32_t> barEnds) {
    const auto n = static_cast<int32_t>(samples.size());
    size_t bars = std::min(barStarts.size(), barEnds.size());
    // A bar still open at the signal's end has no end.
    while (bars > 0 && barEnds[bars - 1] >= n)
        --bars;
    reversed_ = false;
    length_ = n;
    try {
        edges_.resize(2 * bars + 2);
    } catch (const std::bad_alloc&) {
        edges_.clear();
        return false;
    }
    int32_t signalStart = 0;
    while (signalStart < n && samples[static_cast<size_t>(signalStart)] < 0)
        ++signalStart;
    edges_[0] = signalStart;
    for (size_t k = 0; k < bars; ++k) {
        const int32_t start = barStarts[k];
        const int32_t end = barEnds[k];
        edges_[2 * k + 1] = start > 0 && start < n ? Crossing(samples, start) : start;
        edges_[2 * k + 2] = end > 0 && end < n ? Crossing(samples, end) : end;
    }
    edges_.back() = n;
    // Interpolation keeps the edges of a well-formed bar list in order; any
    // other list is kept in order too.
    for (size_t i = 1; i < edges_.size(); ++i)
        edges_[i] = std::max(edges_[i], edges_[i - 1]);
    return true;
}

bool EdgeList::Reverse(const EdgeList& forward) {
    try {
        edges_.resize(forward.edges_.size());
    } catch (const std::bad_alloc&) {
        edges_.clear();
        return false;
    }
    const size_t n = edges_.size();
    for (size_t i = 0; i < n; ++i)
        edges_[i] = forward.length_ - forward.edges_[n - 1 - i];
    length_ = forward.length_;
    reversed_ = !forward.reversed_;
    return true;
}

void Measured::Reverse() {
    std::reverse(widths, widths + elements);
}

bool MeasureCharacter(const EdgeList& list, int32_t first, const CharacterShape& shape,
                      double inkSpread, Measured& out) {
    const int k = shape.elements;
    if (k < 2 || k > kMostCharacterElements || k % 2 != 0 || first < 0 ||
        first + k > list.Count()) {
        return false;
    }
    const double m = (list.Edge(first + k) - list.Edge(first)) / shape.modules;
    if (!(m > 0)) return false;

    // Sums of neighbouring elements: e[i] + e[i + 1] = pairs[i].
    int32_t pairs[kMostCharacterElements] = {};
    double off[kMostCharacterElements] = {};
    for (int i = 0; i + 1 < k; ++i) {
        const double q = (list.Edge(first + i + 2) - list.Edge(first + i)) / m;
        pairs[i] = std::max<int32_t>(2, static_cast<int32_t>(std::lround(q)));
        off[i] = q - pairs[i];
    }
    // The pairs (0, 1), (2, 3), ... make up the whole character.
    int32_t whole = 0;
    for (int i = 0; i + 1 < k; i += 2)
        whole += pairs[i];
    const int32_t missing = shape.modules - whole;
    if (missing != 0) {
        if (missing != 1 && missing != -1) return false;
        int best = -1;
        for (int i = 0; i + 1 < k; i += 2) {
            if (off[i] * missing >= kMovableRounding &&
                (best < 0 || off[i] * missing > off[best] * missing)) {
                best = i;
            }
        }
        if (best < 0) return false;
        pairs[best] += missing;
        off[best] -= missing;
    }

    // Every solution is e[i] = base[i] + sign[i] * x for the first width x.
    int32_t base[kMostCharacterElements] = {};
    for (int i = 1; i < k; ++i)
        base[i] = pairs[i - 1] - base[i - 1];
    double estimate = 0;
    for (int i = 0; i < k; ++i) {
        const double raw = list.Width(first + i) / m;
        const double spread = EdgeList::IsBar(first + i) ? inkSpread : -inkSpread;
        const double sign = i % 2 == 0 ? 1.0 : -1.0;
        estimate += sign * (raw - spread - base[i]);
    }
    estimate /= k;

    const auto fits = [&](int32_t x) {
        for (int i = 0; i < k; ++i) {
            const int32_t e = base[i] + (i % 2 == 0 ? x : -x);
            if (e < 1 || e > shape.widest) return false;
        }
        return true;
    };
    const auto nearest = static_cast<int32_t>(std::lround(estimate));
    int32_t x = nearest;
    if (!fits(x)) {
        x = estimate > nearest ? nearest + 1 : nearest - 1;
        if (!fits(x)) return false;
    }
    const double spreadOff = std::fabs(estimate - x);
    if (spreadOff > kSpreadSlack) return false;

    out.elements = k;
    double total = spreadOff;
    double worst = spreadOff;
    for (int i = 0; i < k; ++i)
        out.widths[i] = base[i] + (i % 2 == 0 ? x : -x);
    for (int i = 0; i + 1 < k; ++i) {
        total += std::fabs(off[i]);
        worst = std::max(worst, std::fabs(off[i]));
    }
    out.residual = total / k;
    out.worst = worst;
    out.module = m;
    return true;
}

}  // namespace zeph::databar
