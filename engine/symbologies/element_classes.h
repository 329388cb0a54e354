// Narrow and wide element widths measured over a whole two-width symbol.
//
// One character's seven or nine elements are too few when the print is
// coarse: at one or two pixels per narrow element every edge is placed to a
// pixel, and one character's widths can give any ratio from 1 to 4. Over every
// character of the symbol, with bars and spaces measured apart (ink spread
// widens one kind and narrows the other by as much), the narrow and the wide
// elements still fall into two clearly separate groups.
#pragma once

#include <span>

#include "engine/reader.h"

namespace zeph {

struct ElementClasses {
    float narrow = 0;  // mean of the narrow bars' and the narrow spaces' widths
    float wide = 0;    // likewise for the wide elements
    float ratio = 0;   // wide / narrow; 0 when either kind shows no clear split
};

// Splits the bar widths and the space widths, each at its largest step
// between neighbouring sorted values, which must be at least kWideOverNarrow.
// Both spans are sorted in place; each needs a narrow and a wide element.
ElementClasses ClassifyElements(std::span<float> bars, std::span<float> spaces);

// The narrow width, in pixels, up to which a print counts as coarse: its
// edges are placed to a pixel, half a narrow element or more.
inline constexpr float kCoarseNarrowPixels = 2.0f;

// Whether a narrow element of `narrow` samples spans at most
// kCoarseNarrowPixels of the picture the signal's line crosses; false for a
// signal that carries no line geometry.
bool IsCoarse(const ScanSignal& scan, float narrow);

}  // namespace zeph
