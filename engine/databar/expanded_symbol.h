// GS1 DataBar Expanded (and Expanded Stacked) as a whole: its pairs of
// characters around finders, the sequence of finders that its length
// fixes, the checksum modulo 211 kept in its first character, and the data
// characters' bits.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/databar/element_string.h"

namespace zeph::databar {

// The most pairs a symbol has: 22 characters, the first its check character.
inline constexpr int kMostPairs = 11;
inline constexpr int kMostExpandedCharacters = 2 * kMostPairs;
inline constexpr int kExpandedCharacterElements = 8;

// One finder with the characters on either side, read in the symbol's
// order. The last pair of a symbol of odd length has no right character.
struct ExpandedPair {
    int32_t finder = 0;  // its value: A = 0 ... F = 5
    bool odd = false;    // the symbol's second, fourth, ... pair (its finder drawn mirrored)
    bool hasRight = false;
    int32_t left = 0;  // character values
    int32_t right = 0;
    // Element widths in reading order, for the checksum.
    std::array<int8_t, kExpandedCharacterElements> leftWidths{};
    std::array<int8_t, kExpandedCharacterElements> rightWidths{};
};

// The finder value the pair at `index` of a symbol of `pairs` pairs has, or
// -1 when there is no such position.
int32_t FinderInSequence(int pairs, int index);

// How many characters the check character (the first pair's left one)
// says the symbol has, or -1.
int32_t CharactersOfCheck(int32_t check);

// Whether the pairs, from the symbol's first, make a whole symbol: as many
// characters as its check character says, its finders in the sequence of
// that length, its checksum right. Its element string then goes to `text`
// and its linkage flag to `linkage`.
bool ReadExpandedSymbol(std::span<const ExpandedPair> pairs, ElementString& text, bool& linkage);

}  // namespace zeph::databar
