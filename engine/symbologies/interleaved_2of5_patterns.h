// Interleaved 2 of 5 in N/W letters: digit pairs whose bars carry the first
// digit and whose spaces carry the second.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace zeph::itf {

// The five elements of each digit, true where the element is wide.
inline constexpr std::array<std::array<bool, 5>, 10> kDigitWide = {{
    {false, false, true, true, false},  // 0 NNWWN
    {true, false, false, false, true},  // 1 WNNNW
    {false, true, false, false, true},  // 2 NWNNW
    {true, true, false, false, false},  // 3 WWNNN
    {false, false, true, false, true},  // 4 NNWNW
    {true, false, true, false, false},  // 5 WNWNN
    {false, true, true, false, false},  // 6 NWWNN
    {false, false, false, true, true},  // 7 NNNWW
    {true, false, false, true, false},  // 8 WNNWN
    {false, true, false, true, false},  // 9 NWNWN
}};

inline constexpr size_t kPairTokenLength = 10;
inline constexpr size_t kPairCount = 100;

// Token 10 d1 + d2 is bar 1 of d1, space 1 of d2, bar 2 of d1, ... space 5 of
// d2; tokens are separated by one space.
constexpr std::array<char, kPairCount*(kPairTokenLength + 1) - 1> MakePairs() {
    std::array<char, kPairCount*(kPairTokenLength + 1) - 1> text{};
    size_t at = 0;
    for (size_t pair = 0; pair < kPairCount; ++pair) {
        if (pair > 0) text[at++] = ' ';
        for (size_t element = 0; element < 5; ++element) {
            text[at++] = kDigitWide[pair / 10][element] ? 'W' : 'N';
            text[at++] = kDigitWide[pair % 10][element] ? 'W' : 'N';
        }
    }
    return text;
}

inline constexpr auto kPairText = MakePairs();
inline constexpr std::string_view kPairs(kPairText.data(), kPairText.size());

// Four narrow elements, the same at every ratio.
inline constexpr std::string_view kStart = "1010";
// Wide bar, narrow space, narrow bar.
inline constexpr std::string_view kStop = "WNN";

}  // namespace zeph::itf
