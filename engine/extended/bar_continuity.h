// Whether a point lies on the bars of a symbol already read: a stretch of the
// grey profile along the symbol's read line, level with the point, is
// followed a few pixels at a time along the bars to the point. Where every step
// finds the same bars again, the point is on that symbol, and a line through
// it would read the symbol once more. Where any step loses them (the bars
// end, a gap, another symbol, the picture's border), it is not.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/extended/picture.h"
#include "engine/reader.h"

namespace zeph::extended {

class BarContinuity {
  public:
    // Band across the read line within which the bars are followed, as a
    // share of the line's length: about the bar height of the squarest
    // symbols.
    static constexpr double kBand = 0.5;
    // Distance between the profiles compared, in pixels.
    static constexpr double kStep = 6.0;
    // Samples of each profile, one per pixel, centred level with the point.
    static constexpr int32_t kStretch = 48;
    // Least normalised correlation of two neighbouring profiles.
    static constexpr double kLeastMatch = 0.8;
    // Least standard deviation of a profile, as a share of the largest grey:
    // flat paper matches flat paper.
    static constexpr double kLeastSpread = 0.02;

    // Whether (x, y), with its bars across angle theta, lies on the bars that
    // record's line crosses, at most `band` line lengths across it. False also
    // when memory runs out: the point is then read as any other.
    bool OnBarsOf(const Picture& picture, const MatchRecord& record, double x, double y,
                  double theta, double band = kBand);

  private:
    // Samples the line from (x, y) in unit steps (dx, dy), `count` samples,
    // bilinearly; false when it leaves the picture.
    bool Sample(const Picture& picture, double x, double y, double dx, double dy, int32_t count,
                std::vector<float>& out) const;

    std::vector<float> previous_;
    std::vector<float> current_;
};

}  // namespace zeph::extended
