// The screen (canvas) of an animation, GIF or WebP, against its first frame.
#pragma once

#include <cstdint>

#include "imaging/raster.h"

namespace zeph::imaging::detail {

// The screen is kept when its first frame accounts for a fair share of it; a
// screen far larger than the frame would be black pixels made from nothing,
// and each frame alone is then the picture. Decided before the screen's size
// is checked: a screen too large to hold gives its frames, not a refusal.
inline bool ScreenWorthKeeping(uint64_t screenPixels, uint64_t framePixels) {
    // Up to a megapixel of screen costs next to nothing whatever the frame.
    return screenPixels <= SaturatingProduct(framePixels, 4) || screenPixels <= (uint64_t{1} << 20);
}

}  // namespace zeph::imaging::detail
