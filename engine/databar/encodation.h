// The encodation methods of GS1 DataBar Expanded: the first bits of the
// data (after the linkage flag) name how the element string was packed. A
// GTIN under AI 01 may be compressed (its indicator digit in four bits, its
// next twelve digits in 10-bit groups, its check digit left out), with a
// weight, a price or a date behind it in fields of their own; whatever the
// method leaves goes into the general-purpose field.
#pragma once

#include "engine/databar/bit_field.h"
#include "engine/databar/element_string.h"

namespace zeph::databar {

// The element string of a symbol of `characters` characters (its check
// character included) whose data characters gave `bits`, and its linkage
// flag. False for a method that does not exist, a field out of its range,
// a length that does not fit the method, or data beyond the element string.
bool DecodeExpandedData(const BitField& bits, int characters, ElementString& out, bool& linkage);

}  // namespace zeph::databar
