// Scoring a stretch of a signal between two bar edges, as every decoder does.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/reader.h"

namespace zeph {

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

}  // namespace zeph
