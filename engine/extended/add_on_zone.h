// Whether an EAN/UPC symbol may have an add-on at all: the stretches where
// one would stand, past either end of the symbol on the rows the add-on pass
// reads, are looked at first. Where all of them are plain paper beside the
// symbol's own bars (their grey range a small share of the symbol's), no
// add-on is printed there and the pass's lines would read nothing new.
#pragma once

#include <span>

#include "engine/extended/picture.h"
#include "engine/reader.h"

namespace zeph::extended {

// Least grey range of an add-on's stretch, as a share of the symbol's: an
// add-on is printed in the symbol's ink on its paper, and even where blur
// merges its bars their block stays dark against the gap before it.
inline constexpr double kLeastAddOnRangeShare = 0.2;

// Whether any stretch beside the record's symbol (of `modules` modules,
// without quiet zones, its reported line `reportedMargins` modules longer)
// on one of the rows at `rows` (shares of the symbol's length across it),
// from its reported ends to `reach` modules past them, holds more than
// paper. Stretches off the picture hold nothing; a symbol whose own range
// cannot be measured may have an add-on.
bool MayHoldAddOn(const Picture& picture, const MatchRecord& record, double modules,
                  double reportedMargins, double reach, std::span<const double> rows);

}  // namespace zeph::extended
