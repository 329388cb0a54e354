// Code 11 in N/W letters: three bars and two spaces per character, a narrow
// gap after each.
#pragma once

#include <string_view>

namespace zeph::code11 {

// Values 0 to 9 are the digits, 10 the dash; each token ends with the gap.
inline constexpr std::string_view kCharacters =
    "NNNNWN WNNNWN NWNNWN WWNNNN NNWNWN WNWNNN NWWNNN NNNWWN WNNWNN WNNNNN NNWNNN";
inline constexpr std::string_view kAlphabet = "0123456789-";
// The start and the stop are one character.
inline constexpr std::string_view kStart = "NNWWNN";
inline constexpr std::string_view kStop = "NNWWN";

}  // namespace zeph::code11
