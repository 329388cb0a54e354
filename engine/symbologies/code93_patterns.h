// Code 93 modules: nine per character, three bars each.
#pragma once

#include <cstddef>
#include <string_view>

namespace zeph::code93 {

// Token v is the character of value v: the 43 characters of the alphabet, then
// the shifts ($), (%), (/) and (+).
inline constexpr std::string_view kCharacters =
    "100010100 101001000 101000100 101000010 100101000 100100100 100100010 101010000 "
    "100010010 100001010 110101000 110100100 110100010 110010100 110010010 110001010 "
    "101101000 101100100 101100010 100110100 100011010 101011000 101001100 101000110 "
    "100101100 100010110 110110100 110110010 110101100 110100110 110010110 110011010 "
    "101101100 101100110 100110110 100111010 100101110 111010100 111010010 111001010 "
    "101101110 101110110 110101110 100100110 111011010 111010110 100110010";
inline constexpr int kValueCount = 47;
static_assert(kCharacters.size() == kValueCount * 10 - 1);

inline constexpr std::string_view kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
// Values 43 to 46 are the shifts ($), (%), (/) and (+).
inline constexpr size_t kShiftCount = 4;
static_assert(kAlphabet.size() + kShiftCount == kValueCount);

inline constexpr std::string_view kStart = "101011110";
// The stop character and the termination bar after it.
inline constexpr std::string_view kStop = "1010111101";
inline constexpr int kCharacterModules = 9;
inline constexpr int kStopModules = 10;
static_assert(kStart.size() == kCharacterModules && kStop.size() == kStopModules);

// Weights of the check characters C and K restart after 20 and 15 positions.
inline constexpr int kCWeightCycle = 20;
inline constexpr int kKWeightCycle = 15;

}  // namespace zeph::code93
