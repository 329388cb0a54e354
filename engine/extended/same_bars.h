// Whether two reads cross the bars of one symbol. A line through the same
// bars higher or lower (a symbol's bars are often as tall as it is long) may
// read a character wrong with the check still holding; its line lies too far
// from the other's to share its place by the result list's rule, but the
// bars between the two lines run on unbroken.
#pragma once

#include "engine/extended/bar_continuity.h"
#include "engine/extended/picture.h"
#include "engine/reader.h"

namespace zeph::extended {

// How far across a read's line its bars are followed, in lengths of the
// line: bars are rarely taller than a symbol is long.
inline constexpr double kSameBarsBand = 1.0;

// Whether either read's midpoint lies on the bars the other's line crosses.
bool OnTheSameBars(const Picture& picture, const MatchRecord& a, const MatchRecord& b,
                   BarContinuity& continuity);

}  // namespace zeph::extended
