// How much of a line through a candidate to read. A line across a large photo
// is thousands of pixels long, most of them far from the symbol; the part
// worth sampling reaches from the candidate to the first stretch on each side
// without transitions long enough to be a quiet zone, that stretch included,
// or to the picture's border.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/extended/picture.h"

namespace zeph::extended {

struct Extent {
    Line line;                   // the part to read
    bool startAtBorder = false;  // its ends lie on the picture's border
    bool stopAtBorder = false;
    double meanRun = 0;  // mean distance between transitions around the candidate, pixels
};

class ExtentFinder {
  public:
    // A quiet zone is this many mean transition spacings without a transition.
    static constexpr double kQuietRuns = 12.0;

    // The part of `full` (a line across the picture through (x, y)) to read.
    // False when the point does not lie on the line.
    bool Find(const Picture& picture, const Line& full, int32_t x, int32_t y, Extent& extent);

  private:
    std::vector<float> profile_;
};

}  // namespace zeph::extended
