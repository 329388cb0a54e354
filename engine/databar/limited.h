// GS1 DataBar Limited: a guard, the left character, a check character, the
// right character and a guard, 74 modules, then at least five of paper.
// Characters span 26 modules in 14 elements; the check character, 18
// modules, names the checksum of the other two modulo 89.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/databar/edges.h"

namespace zeph::databar {

struct LimitedSymbol {
    int64_t value = 0;  // the 13 digits before the check digit, the first of them 0 or 1
    bool linkage = false;
    int32_t first = 0;  // its guards' bars on the list
    int32_t last = 0;
    double residual = 0;
    double module = 0;  // in samples
};

// Every Limited symbol on the list in its reading direction. Places whose
// guards and character spans fit a symbol, read or not, go to `seen` (with
// their guards and module only).
void FindLimitedSymbols(const EdgeList& list, std::vector<LimitedSymbol>& symbols,
                        std::vector<LimitedSymbol>& seen);

}  // namespace zeph::databar
