// Codabar in N/W letters: each character is bar, space, bar, space, bar,
// space, bar.
#pragma once

#include <string_view>

namespace zeph::codabar {

// The characters "0123456789-$:/.+" in this order. "+" is printed NNWNWNW:
// three wide bars, like ":", "/" and ".", and narrow spaces.
inline constexpr std::string_view kData =
    "NNNNNWW NNNNWWN NNNWNNW WWNNNNN NNWNNWN WNNNNWN NWNNNNW NWNNWNN NWWNNNN WNNWNNN "
    "NNNWWNN NNWWNNN WNNNWNW WNWNNNW WNWNWNN NNWNWNW";

// The start and stop letters A, B, C and D. Each has three narrow bars and one
// wide, one narrow space and two wide: the widths are measured on them.
inline constexpr std::string_view kStartStop = "NNWWNWN NWNWNNW NNNWNWW NNNWWWN";

// Data entry k is character k, start/stop entry k character 16 + k.
inline constexpr std::string_view kAlphabet = "0123456789-$:/.+ABCD";
inline constexpr int kFirstLetter = 16;

}  // namespace zeph::codabar
