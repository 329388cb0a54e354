// Element widths of a window of bars, measured between edges placed to a
// fraction of a sample (where the signal crosses its threshold, between the
// two samples on either side), so that widths of two or three samples keep
// their proportions.
#pragma once

#include <cstdint>
#include <span>

#include "engine/reader.h"

namespace zeph::profile {

// The widths of bars and spaces of the window's bars, bar first, in the
// window's order: 2 * barCount - 1 values into `widths` (which must hold
// that many). False when a bar has no recorded end or a width is not
// positive.
bool EdgeWidths(const ScanSignal& window, std::span<double> widths);

}  // namespace zeph::profile
