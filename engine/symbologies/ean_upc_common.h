// Pieces shared by the EAN/UPC decoders.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/reader.h"

namespace zeph::ean {

// Position of a parity word in its list, or -1 when the list lacks it.
template <size_t N>
int ParityValue(const std::array<std::string_view, N>& words, std::string_view word) {
    for (size_t v = 0; v < N; ++v) {
        if (words[v] == word) return static_cast<int>(v);
    }
    return -1;
}

// True when every digit is 0 or more and the weighted sum (evenWeight for
// positions 0, 2, ..., oddWeight for 1, 3, ...) is a multiple of 10.
bool CheckSumHolds(std::span<const int> digits, int evenWeight, int oddWeight);

template <size_t N>
std::array<int, N> DigitsOf(std::span<const BestMatch, N> reading) {
    std::array<int, N> digits{};
    for (size_t i = 0; i < N; ++i)
        digits[i] = reading[i].index;
    return digits;
}

// Score of a literal pattern over the samples from bar edge a up to edge b.
inline float ScoreSpan(const ScanSignal& scan, int32_t a, int32_t b, std::string_view pattern) {
    return XR_ScorePattern(XR_Stretch(scan, a, b), pattern);
}

// Best entry of a table over the samples from edge a up to edge b, seeded empty.
inline BestMatch MatchSpan(const ScanSignal& scan, int32_t a, int32_t b,
                           const PatternTable& table) {
    BestMatch best;
    XR_MatchTable(XR_Stretch(scan, a, b), table, best, scan.shiftRange);
    return best;
}

// A symbol of `bars` bars and `modules` modules must not run straight into
// further bars: what follows it (an add-on, or nothing) lies at least five
// modules away. Without this a shorter layout matches the first bars of a
// longer symbol, such as UPC-E on the left half of an EAN-13.
bool FollowedByGap(const ScanSignal& scan, int32_t bars, int modules);

// Whether the signal holds a whole symbol of `bars` bars and `modules` modules
// from bar 0: enough bars, the last one ended, and a gap after it.
inline bool WholeSymbolAtStart(const ScanSignal& scan, int32_t bars, int modules) {
    return scan.barCount >= bars && XR_HasBarEnd(scan, bars - 1) &&
           FollowedByGap(scan, bars, modules);
}

// After a main symbol ending before bar firstBar: reads an add-on that must beat
// 0.8 times the main confidence and appends its texts to the record.
void AppendTrailingSupplement(const ScanSignal& scan, int32_t firstBar, MatchRecord& record);

}  // namespace zeph::ean
