// The reading the four 2 of 5 symbologies share: digits without a check
// character, every one of them scoring well and its widths ordered as its
// letters.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/further/character_tables.h"
#include "engine/further/two_of_five_patterns.h"
#include "engine/reader.h"

namespace zeph::further {

// Symbols of fewer digits, with no check to protect them, are too little
// structure to tell from a few stray bars.
inline constexpr int32_t kFewestDigits = 3;

// Bars of a start or stop: its letters up to its last bar, bar letters at
// even places.
constexpr int32_t BarsOf(std::string_view letters) {
    return static_cast<int32_t>((letters.size() + 1) / 2);
}

// Layouts of the two digit forms between a start and a stop.
constexpr Layout BarDigitLayout(std::string_view start, std::string_view stop) {
    Layout l;
    l.startBars = BarsOf(start);
    l.stopBars = BarsOf(stop);
    l.barsPerCharacter = 5;
    l.fewestCharacters = kFewestDigits;
    l.startLetters = start;
    l.stopLetters = stop;
    l.characterLetters = two_of_five::kBarDigits;
    l.narrowSpaces = true;
    return l;
}

constexpr Layout MatrixDigitLayout(std::string_view start, std::string_view stop) {
    Layout l;
    l.startBars = BarsOf(start);
    l.stopBars = BarsOf(stop);
    l.barsPerCharacter = 3;
    l.fewestCharacters = kFewestDigits;
    l.startLetters = start;
    l.stopLetters = stop;
    l.characterLetters = two_of_five::kMatrixDigits;
    return l;
}

// Decodes the scan as a symbol of the tables' layout, named `symbology`.
int DecodeTwoOfFive(const ScanSignal& scan, MatchRecord& record, CharacterTables& tables,
                    std::string_view symbology);

}  // namespace zeph::further
