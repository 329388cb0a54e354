#include "engine/extended/same_bars.h"

#include <cmath>

namespace zeph::extended {
namespace {

double LineAngle(const MatchRecord& r) {
    return std::atan2(double(r.stopY) - r.startY, double(r.stopX) - r.startX);
}

}  // namespace

bool OnTheSameBars(const Picture& picture, const MatchRecord& a, const MatchRecord& b,
                   BarContinuity& continuity) {
    return continuity.OnBarsOf(picture, a, b.centreX, b.centreY, LineAngle(b), kSameBarsBand) ||
           continuity.OnBarsOf(picture, b, a.centreX, a.centreY, LineAngle(a), kSameBarsBand);
}

}  // namespace zeph::extended
