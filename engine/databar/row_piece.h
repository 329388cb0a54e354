// One row of a stacked DataBar symbol as a line read it: not a symbol of
// its own, but what the row collector joins with the symbol's other rows.
// Or a line that showed DataBar finders in their places and read nothing: a
// hint for the second look, which samples it more finely.
#pragma once

#include <cstdint>

#include "engine/databar/expanded_symbol.h"
#include "engine/databar/geometry.h"

namespace zeph::databar {

struct RowPiece {
    enum class Kind : uint8_t {
        kOmniTop,     // Stacked: guard, character 1, left finder, character 2, guard
        kOmniBottom,  // guard, character 4, right finder, character 3, guard
        kExpanded,    // a run of pairs of Expanded Stacked
        kHint,        // start and stop are the line's ends
    };
    Kind kind = Kind::kOmniTop;
    // The outer edges of the row's guards on the line that read it, in the
    // symbol's reading direction, and its module, in pixels.
    PixelPoint start;
    PixelPoint stop;
    double module = 0;
    double height = 0;  // of its tallest bar, in pixels; 0 when not measured
    float confidence = 0;
    int32_t line = 0;   // the number of the line that read it
    int32_t paths = 1;  // parallel paths the line was sampled with
    int32_t seen = 0;   // hints: how many symbols' finders showed

    // Omnidirectional halves.
    int32_t finder = 0;
    int32_t outer = 0;  // character 1 or 3
    int32_t inner = 0;  // character 2 or 4
    int32_t checksum = 0;

    // Expanded rows.
    int pairCount = 0;
    ExpandedPair pairs[kMostPairs];

    bool SameContent(const RowPiece& other) const;
};

}  // namespace zeph::databar
