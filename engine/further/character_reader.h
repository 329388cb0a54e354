// Reads a symbol laid out as a Layout says: the ratio of wide to narrow from
// its start and stop, every character matched against its table, and the
// reading accepted only when its widths order as the letters of what was
// read. Check characters are the caller's.
#pragma once

#include <array>
#include <cstdint>

#include "engine/further/character_tables.h"
#include "engine/reader.h"

namespace zeph::further {

struct Reading {
    int32_t count = 0;  // characters between start and stop
    std::array<int, kMostCharacters> values{};
    float confidence = 0;
};

// Reads the scan's bars as one symbol of the tables' layout. False when the
// bars do not fit the layout, the widths are uneven, a character matches
// nothing or too weakly, the confidence is not above `least`, or the
// characters (checks included) repeat one or two of them throughout, as a
// grating read as a symbol does.
bool ReadCharacters(const ScanSignal& scan, const CharacterTables& tables, float least,
                    Reading& reading);

}  // namespace zeph::further
