// One picture of each kind the engine's own searches miss and the extended
// search reads, drawn by an independent generator: faint, cut off by the
// frame, beside stray bars, long, a strip few pixels high, filling a small
// frame, damaged across the engine's line.
#pragma once

#include <string>
#include <vector>

#include "tests/support/image_renderer.h"

namespace zeph::test {

struct MissedPicture {
    std::string kind;  // a short name, also usable as a file name
    Image image;
    std::string raw;  // the raw data the extended search reports
};

std::vector<MissedPicture> MissedPictures();

}  // namespace zeph::test
