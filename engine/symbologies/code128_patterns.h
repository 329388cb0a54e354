// Module patterns and function-character bytes of Code 128.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace zeph::code128 {

// Symbol characters of 11 modules, entry index = symbol value 0..102.
inline constexpr std::string_view kSymbols =
    "11011001100 11001101100 11001100110 10010011000 10010001100 10001001100 10011001000 "
    "10011000100 10001100100 11001001000 11001000100 11000100100 10110011100 10011011100 "
    "10011001110 10111001100 10011101100 10011100110 11001110010 11001011100 11001001110 "
    "11011100100 11001110100 11101101110 11101001100 11100101100 11100100110 11101100100 "
    "11100110100 11100110010 11011011000 11011000110 11000110110 10100011000 10001011000 "
    "10001000110 10110001000 10001101000 10001100010 11010001000 11000101000 11000100010 "
    "10110111000 10110001110 10001101110 10111011000 10111000110 10001110110 11101110110 "
    "11010001110 11000101110 11011101000 11011100010 11011101110 11101011000 11101000110 "
    "11100010110 11101101000 11101100010 11100011010 11101111010 11001000010 11110001010 "
    "10100110000 10100001100 10010110000 10010000110 10000101100 10000100110 10110010000 "
    "10110000100 10011010000 10011000010 10000110100 10000110010 11000010010 11001010000 "
    "11110111010 11000010100 10001111010 10100111100 10010111100 10010011110 10111100100 "
    "10011110100 10011110010 11110100100 11110010100 11110010010 11011011110 11011110110 "
    "11110110110 10101111000 10100011110 10001011110 10111101000 10111100010 11110101000 "
    "11110100010 10111011110 10111101110 11101011110 11110101110";
inline constexpr int kSymbolCount = 103;
inline constexpr int kSymbolModules = 11;
static_assert(kSymbols.size() == kSymbolCount * (kSymbolModules + 1) - 1);

// Start A, B and C (values 103, 104, 105): entry index = code set.
inline constexpr std::string_view kStarts = "11010000100 11010010000 11010011100";
inline constexpr int kFirstStartValue = 103;

// The stop character with its closing two-module bar.
inline constexpr std::string_view kStop = "1100011101011";
inline constexpr int kStopModules = 13;
static_assert(kStop.size() == kStopModules);

// A table with every entry's modules in reverse order: the entries as a line
// crossing the symbol the other way meets them.
template <size_t N>
constexpr std::array<char, N> ReversedEntries(std::string_view table) {
    std::array<char, N> out{};
    size_t first = 0;
    while (first < N) {
        size_t last = first;
        while (last < N && table[last] != ' ')
            ++last;
        for (size_t i = first; i < last; ++i)
            out[i] = table[first + last - 1 - i];
        if (last < N) out[last] = ' ';
        first = last + 1;
    }
    return out;
}

inline constexpr auto kSymbolsBackwardModules = ReversedEntries<kSymbols.size()>(kSymbols);
inline constexpr auto kStartsBackwardModules = ReversedEntries<kStarts.size()>(kStarts);
inline constexpr auto kStopBackwardModules = ReversedEntries<kStop.size()>(kStop);
inline constexpr std::string_view kSymbolsBackward(kSymbolsBackwardModules.data(),
                                                   kSymbolsBackwardModules.size());
inline constexpr std::string_view kStartsBackward(kStartsBackwardModules.data(),
                                                  kStartsBackwardModules.size());
inline constexpr std::string_view kStopBackward(kStopBackwardModules.data(),
                                                kStopBackwardModules.size());
static_assert(kStopBackward == "1101011100011");
static_assert(kStartsBackward.substr(0, 11) == "00100001011");

// Values with a meaning of their own.
inline constexpr int kFnc3 = 96;
inline constexpr int kFnc2 = 97;
inline constexpr int kShift = 98;
inline constexpr int kCodeC = 99;
inline constexpr int kCodeB = 100;  // FNC4 in set B
inline constexpr int kCodeA = 101;  // FNC4 in set A
inline constexpr int kFnc1 = 102;

// The bytes that stand for FNC1 to FNC4 in a decoded text.
inline constexpr std::array<char, 4> kFunctionBytes = {
    static_cast<char>(0xFF), static_cast<char>(0xFE), static_cast<char>(0xFD),
    static_cast<char>(0xFC)};

}  // namespace zeph::code128
