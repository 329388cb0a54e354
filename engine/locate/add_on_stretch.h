// Reads without a check character found where an EAN/UPC symbol's add-on is
// printed or would be. The bars of an add-on (a guard, digits of seven modules
// and separators) can also match a short Interleaved 2 of 5 or Codabar, whose
// only protection is their widths; beside a symbol that takes add-ons such a
// read is the add-on misread, not a symbol of its own.
#pragma once

#include <span>

#include "engine/reader.h"

namespace zeph::locate {

// Whether `read` is a symbology without a check character and its line lies
// on the stretch of `symbol` (an EAN/UPC record) or of the add-on it has or
// may have: along its line from its start to the end of its add-on, or
// without one to 65 modules past its last bar (the widest gap and a
// five-digit add-on), with 12 modules to spare at both ends, and within 60
// modules of it across the bars.
bool LiesOnAddOnStretch(const MatchRecord& symbol, const MatchRecord& read);

// Removes every record among the first `count` that lies on the add-on
// stretch of another of them; the others keep their order. Returns the new
// count.
int DropReadsOnAddOnStretches(std::span<MatchRecord> records, int count);

}  // namespace zeph::locate
