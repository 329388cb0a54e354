#include "engine/extended/bar_continuity.h"

#include <algorithm>
#include <cmath>

namespace zeph::extended {
namespace {

// Bars may lean against the read line: neighbouring profiles are compared
// shifted by up to this many samples either way (a lean of 18 degrees over
// one step).
constexpr int32_t kMostShift = 2;
// The point's own bars must run across the read line within this angle
// (sine of it) to be the same bars.
constexpr double kMostTurn = 0.26;
// Shortest read line followed, in pixels.
constexpr double kShortestLine = 16;

// Normalised correlation of a and b, with b shifted by `shift` samples; the
// overlap only. -1 when either part is flat.
double Correlation(const std::vector<float>& a, const std::vector<float>& b, int32_t shift,
                   double leastVariance) {
    const auto n = static_cast<int32_t>(a.size());
    const int32_t from = std::max(0, -shift);
    const int32_t to = std::min(n, n - shift);
    const int32_t count = to - from;
    if (count < 2) return -1;
    double sa = 0, sb = 0;
    for (int32_t i = from; i < to; ++i) {
        sa += a[static_cast<size_t>(i)];
        sb += b[static_cast<size_t>(i + shift)];
    }
    const double ma = sa / count, mb = sb / count;
    double ab = 0, aa = 0, bb = 0;
    for (int32_t i = from; i < to; ++i) {
        const double u = a[static_cast<size_t>(i)] - ma;
        const double v = b[static_cast<size_t>(i + shift)] - mb;
        ab += u * v;
        aa += u * u;
        bb += v * v;
    }
    if (aa < leastVariance * count || bb < leastVariance * count) return -1;
    return ab / std::sqrt(aa * bb);
}

}  // namespace

bool BarContinuity::Sample(const Picture& picture, double x, double y, double dx, double dy,
                           int32_t count, std::vector<float>& out) const {
    if (!Inside(picture, x, y) || !Inside(picture, x + dx * (count - 1), y + dy * (count - 1)))
        return false;
    for (int32_t i = 0; i < count; ++i)
        out[static_cast<size_t>(i)] = BilinearGrey(picture, x + dx * i, y + dy * i);
    return true;
}

bool BarContinuity::OnBarsOf(const Picture& picture, const MatchRecord& record, double x, double y,
                             double theta, double band) {
    if (picture.width < 2 || picture.height < 2) return false;
    const double ex = double(record.stopX) - record.startX;
    const double ey = double(record.stopY) - record.startY;
    const double length = std::hypot(ex, ey);
    if (!(length >= kShortestLine)) return false;
    const double ux = ex / length, uy = ey / length;
    // Across the bars means along the read line.
    if (std::fabs(ux * std::sin(theta) - uy * std::cos(theta)) > kMostTurn) return false;
    const double along = ((x - record.startX) * ux + (y - record.startY) * uy) / length;
    const double across = (y - record.startY) * ux - (x - record.startX) * uy;
    if (along < 0 || along > 1 || std::fabs(across) > band * length) return false;

    const auto count = std::min(kStretch, static_cast<int32_t>(std::floor(length)) + 1);
    // The stretch level with the point, inside the read line.
    const double first = std::clamp(along * length - 0.5 * (count - 1), 0.0, length - (count - 1));
    const double sx = record.startX + first * ux, sy = record.startY + first * uy;
    const auto steps = static_cast<int32_t>(std::ceil(std::fabs(across) / kStep));
    try {
        previous_.resize(static_cast<size_t>(count));
        current_.resize(static_cast<size_t>(count));
    } catch (...) {
        return false;
    }
    const double spread = kLeastSpread * kMaxGrey;
    const double leastVariance = spread * spread;
    // The normal pointing to the point's side.
    const double nx = -uy, ny = ux;
    if (!Sample(picture, sx, sy, ux, uy, count, previous_)) return false;
    for (int32_t k = 1; k <= steps; ++k) {
        const double offset = across * k / steps;
        if (!Sample(picture, sx + offset * nx, sy + offset * ny, ux, uy, count, current_)) {
            return false;
        }
        double best = -1;
        for (int32_t shift = -kMostShift; shift <= kMostShift; ++shift)
            best = std::max(best, Correlation(previous_, current_, shift, leastVariance));
        if (!(best >= kLeastMatch)) return false;
        std::swap(previous_, current_);
    }
    return steps > 0;
}

}  // namespace zeph::extended
