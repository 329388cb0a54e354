// The text of a Telepen symbol's data characters. Telepen writes ASCII; a DLE
// switches to digit pairs (value 27 + pair; 17 + digit for a digit followed
// by X) and back. A symbol begun in digit pairs has, with the common start
// and stop, nothing that says so: its characters are read as ASCII when that
// gives text (letters, digits, the space and - . / :), else as digit pairs
// from the start when they all are some.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace zeph::further {

inline constexpr size_t kMostTelepenCharacters = 100;

struct TelepenText {
    std::array<char, 2 * kMostTelepenCharacters> text{};
    size_t length = 0;
    const char* form = "";  // "ASCII", "Numeric", "ASCII, then numeric", ...
    // The other reading of characters that read both ways (see above).
    std::array<char, 2 * kMostTelepenCharacters> other{};
    size_t otherLength = 0;
    bool otherNumeric = false;

    std::string_view Text() const { return {text.data(), length}; }
    std::string_view Other() const { return {other.data(), otherLength}; }
};

// False when the values read neither way: a NUL, or in digit pairs a value
// that is none. With `numericLabel` the symbol is one printed in numeric mode:
// its characters are digit pairs from the start (false when they are not),
// the ASCII reading the other.
bool ReadTelepenText(std::span<const int> values, bool numericLabel, TelepenText& out);

}  // namespace zeph::further
