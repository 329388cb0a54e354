// The general-purpose field of GS1 DataBar Expanded: the element string's
// data after what the encodation method compressed, in three modes. Numeric
// packs two digits (or a digit and FNC1) in 7 bits, a last digit in 4;
// alphanumeric holds digits, capitals and a few marks in 5 or 6 bits; ISO
// 646 adds lower case and the other marks in 7 or 8. Latches switch the
// modes. An FNC1 read in either letter mode returns to numeric in symbols
// made to the standard's later editions; earlier encoders stayed in the
// letter mode. The bits after the data are padding.
#pragma once

#include "engine/databar/bit_field.h"
#include "engine/databar/element_string.h"

namespace zeph::databar {

// Appends the data of the field from bit `pos` on, an FNC1 in a letter
// mode returning to numeric or not; false when the field holds a value no
// mode defines or does not fit the element string.
bool DecodeGeneralPurpose(const BitField& bits, int pos, bool numericAfterFnc1, ElementString& out);

}  // namespace zeph::databar
