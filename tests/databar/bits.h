// Bit fields written out for the tests: "0" and "1", blanks ignored.
#pragma once

#include <string_view>

#include "engine/databar/bit_field.h"

namespace zeph::test {

inline zeph::databar::BitField Bits(std::string_view text) {
    zeph::databar::BitField bits;
    for (const char c : text) {
        if (c == '0' || c == '1') bits.Append(c - '0', 1);
    }
    return bits;
}

}  // namespace zeph::test
