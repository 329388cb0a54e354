// Patch codes in N/W letters: four bars, two of them wide, and narrow spaces.
#pragma once

#include <string_view>

namespace zeph::patch {

// Patch types 1, 2, 3 and 4 in this order; 6 and T are 1 and 3 read the other
// way round.
inline constexpr std::string_view kMarks = "NNNNWNW WNNNNNW NNWNNNW NNWNWNN";

}  // namespace zeph::patch
