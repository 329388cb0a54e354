// The guards that end every row of a DataBar symbol: a bar and a space of
// one module each between its outer character and the paper beyond. Where
// the guard's outer element is a space it runs into the paper, so that only
// the bar shows.
#pragma once

#include <cstdint>

#include "engine/databar/edges.h"

namespace zeph::databar {

// Whether a guard opens a row before element `first`, the first element of
// its first character, `firstWidth` modules wide (the character's module is
// `module` samples). Returns the guard's outermost element on the list in
// `outer` (its bar, or the space before it).
bool OpeningGuard(const EdgeList& list, int32_t first, double module, int32_t firstWidth,
                  int32_t& outer);
// Whether a guard closes a row after its last character, whose elements end
// before element `end` and whose last element is `lastWidth` modules wide.
// The guard's outermost element goes to `outer`.
bool ClosingGuard(const EdgeList& list, int32_t end, double module, int32_t lastWidth,
                  int32_t& outer);

}  // namespace zeph::databar
