// The 2 of 5 family in N/W letters: every digit five elements, two of them
// wide. Industrial and IATA 2 of 5 print the elements as bars alone, with
// narrow spaces between; Matrix and Datalogic 2 of 5 as three bars and two
// spaces, with a narrow gap after.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "engine/symbologies/interleaved_2of5_patterns.h"

namespace zeph::two_of_five {

inline constexpr size_t kDigits = 10;

// Tokens of the ten digits, each element followed by a narrow space (bars
// alone) or the five elements followed by a narrow gap.
template <size_t Letters>
constexpr std::array<char, kDigits*(Letters + 1) - 1> MakeDigits(bool barsAlone) {
    std::array<char, kDigits*(Letters + 1) - 1> text{};
    size_t at = 0;
    for (size_t d = 0; d < kDigits; ++d) {
        if (d > 0) text[at++] = ' ';
        for (size_t e = 0; e < 5; ++e) {
            text[at++] = itf::kDigitWide[d][e] ? 'W' : 'N';
            if (barsAlone) text[at++] = 'N';
        }
        if (!barsAlone) text[at++] = 'N';
    }
    return text;
}

inline constexpr auto kBarDigitText = MakeDigits<10>(true);
inline constexpr std::string_view kBarDigits(kBarDigitText.data(), kBarDigitText.size());
inline constexpr auto kMatrixDigitText = MakeDigits<6>(false);
inline constexpr std::string_view kMatrixDigits(kMatrixDigitText.data(), kMatrixDigitText.size());

// Industrial: bars wide, wide, narrow to start; wide, narrow, wide to stop.
inline constexpr std::string_view kIndustrialStart = "WNWNNN";
inline constexpr std::string_view kIndustrialStop = "WNNNW";
// IATA and Datalogic: two narrow bars to start; a wide bar and a narrow one to stop.
inline constexpr std::string_view kNarrowStart = "NNNN";
inline constexpr std::string_view kNarrowStop = "WNN";
// Matrix: an extra-wide bar and two narrow ones, at either end.
inline constexpr std::string_view kMatrixStart = "XNNNNN";
inline constexpr std::string_view kMatrixStop = "XNNNN";

}  // namespace zeph::two_of_five
