// Heavy pixel noise (speckle, sensor grain at high gain) hides a symbol from
// the candidate finder, whose tiles lose their orientation in it, and from
// the line reads. Averaging 2 x 2 pixels halves the noise's amplitude while a
// symbol of two or more pixels per module keeps its bars: a large, noisy
// picture is read a second time at half size.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/extended/picture.h"

namespace zeph::extended {

// Pictures smaller than this many pixels are not read at half size: their
// symbols' modules rarely span enough pixels to survive it.
inline constexpr int64_t kLeastHalfLayerArea = 1000000;

// The median absolute difference of horizontally neighbouring pixels, over
// every few rows, as a share of maxGrey: smooth areas dominate ordinary
// pictures and give a small value, noise a large one everywhere.
double NoiseFloor(const Picture& picture, int32_t maxGrey);

// Whether the picture is large and noisy enough to be read at half size too.
bool WantsHalfLayer(const Picture& picture, int32_t maxGrey);

// The picture averaged over 2 x 2 cells (an odd last row or column dropped)
// into `values`; false when memory runs out or the picture is too small.
bool HalfSize(const Picture& picture, std::vector<int32_t>& values, Picture& half);

}  // namespace zeph::extended
