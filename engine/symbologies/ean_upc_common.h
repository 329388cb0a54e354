// Pieces shared by the EAN/UPC decoders.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/reader.h"
#include "engine/symbologies/spans.h"

namespace zeph::ean {

using zeph::MatchSpan;
using zeph::ScoreSpan;

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

// Whether the signal holds a whole symbol of `bars` bars and `modules` modules
// from bar `first`: enough bars, the last one ended, and quiet zones on both
// sides.
// A quiet zone is at least five modules of space (every space inside these
// symbols is at most four) up to the next bar, when there is one. Without
// them a layout matches bars that belong to a longer symbol: UPC-E or EAN-8 on
// the left half of an EAN-13, a two-digit add-on on the start of a five-digit
// one, or any of them on a line entering a symbol halfway.
bool StandsAlone(const ScanSignal& scan, int32_t first, int32_t bars, int modules);

// Whether the digits (seven modules each) measure alike and the guards fit
// them. Guards are given as stretches between bar starts of `modules`
// modules.
struct GuardStretch {
    int32_t from;
    int32_t to;
    int modules;
};
bool DigitsAndGuardsFit(std::span<const float> digitWidths, std::span<const GuardStretch> guards);

// Whether an add-on of `addOnDigits` digits from bar firstBar is printed at the
// module width of the main symbol of `mainModules` modules from bar 0 before
// it. The bars of another symbol beside this one, at another size or angle,
// can read as an add-on; one printed with the symbol cannot differ so much.
inline constexpr double kLeastModuleRatio = 0.8;
inline constexpr double kMostModuleRatio = 1.25;
bool SameModuleWidth(const ScanSignal& scan, int32_t firstBar, int mainModules, size_t addOnDigits);

// After a main symbol of `mainModules` modules ending before bar firstBar:
// reads an add-on that must beat 0.8 times the main confidence and share the
// main symbol's module width, and appends its texts to the record.
void AppendTrailingSupplement(const ScanSignal& scan, int32_t firstBar, int mainModules,
                              MatchRecord& record);

// Appends the texts of an add-on's record to those of its main symbol's.
void AppendSupplementTexts(const MatchRecord& supplement, MatchRecord& record);

}  // namespace zeph::ean
