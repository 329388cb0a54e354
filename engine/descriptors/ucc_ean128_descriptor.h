// Interpretation of UCC/EAN-128 (GS1-128) data: the chain of application
// identifiers after a leading FNC1, turned into titles and readable values.
#pragma once

#include <string_view>

#include "engine/reader.h"

// The byte that stands for FNC1 in decoded Code 128 texts.
inline constexpr char kFnc1Byte = static_cast<char>(0xFF);

// Rewrites data, barcodeType and descriptor from rawData when it begins with
// FNC1. Returns 1 when the chain was read to its end, 0 otherwise (no FNC1 at
// the start, or reading stopped at something that is not a known AI).
int XR_DescribeUccEan128(MatchRecord& record);

// Field routines. Every position is a pointer into a NUL-terminated text; none
// reads past the terminator.

// The value of the decimal digits s[0..count): reading stops early (returning
// the value so far) at a byte of 0x80 or above; any other non-digit (the
// terminator included) gives -1, and so does a value too large for an int.
int XR_ReadDigits(const char* s, int count);
// s cut to `length` bytes (99 at most) and at the first byte of 0x80 or above.
// The text stays valid until the next call on the same thread.
std::string_view XR_FieldText(const char* s, int length);
// XR_ReadDigits(s, count) scaled by 0.1^decimals; -1.0 for invalid digits.
double XR_DecimalValue(const char* s, int count, int decimals);
// YYMMDD as "M/D/YYYY", or "M/YYYY" when DD is 00; "<bad date format>" when the
// text is short or not numeric. The text stays valid until the next call on the
// same thread.
std::string_view XR_FormatDate(const char* s);
