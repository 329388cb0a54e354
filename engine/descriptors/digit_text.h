// Digits of a reading written into descriptor texts. A position the reading
// does not reach, or that holds anything but 0..9, shows as '?'.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "engine/reader.h"

namespace zeph::descriptors {

// The digit at position i, or -1 when there is none.
inline int DigitAt(std::span<const BestMatch> reading, size_t i) {
    if (i >= reading.size()) return -1;
    const int d = reading[i].index;
    return d >= 0 && d <= 9 ? d : -1;
}

inline int DigitAt(std::span<const int> digits, size_t i) {
    if (i >= digits.size()) return -1;
    const int d = digits[i];
    return d >= 0 && d <= 9 ? d : -1;
}

inline char DigitChar(int d) {
    return d < 0 ? '?' : static_cast<char>('0' + d);
}

inline void AppendChar(std::span<char> field, char c) {
    XR_AppendText(field, std::string_view(&c, 1));
}

// Appends the digits at positions first .. last - 1.
template <typename Digits>
void AppendDigits(std::span<char> field, Digits digits, size_t first, size_t last) {
    for (size_t i = first; i < last; ++i)
        AppendChar(field, DigitChar(DigitAt(digits, i)));
}

template <typename Digits>
void SetDigits(std::span<char> field, Digits digits, size_t first, size_t last) {
    XR_SetText(field, "");
    AppendDigits(field, digits, first, last);
}

}  // namespace zeph::descriptors
