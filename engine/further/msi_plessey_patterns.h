// MSI and UK Plessey in N/W letters: one bar and one space per bit, a 1 a wide
// bar and a narrow space, a 0 a narrow bar and a wide space.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace zeph::msi_plessey {

inline constexpr size_t kBitLetters = 2;
inline constexpr size_t kCharacterLetters = 4 * kBitLetters;

// Tokens of `count` 4-bit values, most significant bit first or last.
template <size_t Count>
constexpr std::array<char, Count*(kCharacterLetters + 1) - 1> MakeCharacters(bool msbFirst) {
    std::array<char, Count*(kCharacterLetters + 1) - 1> text{};
    size_t at = 0;
    for (size_t v = 0; v < Count; ++v) {
        if (v > 0) text[at++] = ' ';
        for (size_t b = 0; b < 4; ++b) {
            const bool one = ((v >> (msbFirst ? 3 - b : b)) & 1) != 0;
            text[at++] = one ? 'W' : 'N';
            text[at++] = one ? 'N' : 'W';
        }
    }
    return text;
}

// MSI: the digits 0 to 9, most significant bit first.
inline constexpr auto kMsiText = MakeCharacters<10>(true);
inline constexpr std::string_view kMsiDigits(kMsiText.data(), kMsiText.size());
// A 1 bit; a 0 bit and a narrow bar.
inline constexpr std::string_view kMsiStart = "WN";
inline constexpr std::string_view kMsiStop = "NWN";

// UK Plessey: the hexadecimal digits 0 to F, least significant bit first;
// its check bits are read four at a time through the same table.
inline constexpr auto kPlesseyText = MakeCharacters<16>(false);
inline constexpr std::string_view kPlesseyCharacters(kPlesseyText.data(), kPlesseyText.size());
inline constexpr std::string_view kPlesseyAlphabet = "0123456789ABCDEF";
// The bits 1101; a termination bar and the bits 0, 1 and a final bar.
inline constexpr std::string_view kPlesseyStart = "WNWNNWWN";
inline constexpr std::string_view kPlesseyStop = "WWNWNNWNW";

}  // namespace zeph::msi_plessey
