// A fixed set of rendered pictures of every symbology under many conditions:
// module sizes from 1.2 to 4 pixels, turned, blurred, noisy, faint, through
// JPEG, with narrow quiet zones and short bars. The same pictures every run.
#pragma once

#include <string>
#include <vector>

#include "tests/support/image_renderer.h"

namespace zeph::test {

struct RenderedPicture {
    std::string name;  // "symbology/number"
    Image image;
    std::string raw;  // the symbol's raw data as the engine reports it
};

std::vector<RenderedPicture> RenderedSet(int perSymbology = 12);

}  // namespace zeph::test
