// The finder patterns of GS1 DataBar: five elements of 15 modules, (a, b, c,
// 1, 1) with a + b + c = 13. Omnidirectional and its kin have nine of them,
// Expanded six; each finder's value is its index in its table. On the line a
// finder lies as it is or mirrored, (1, 1, c, b, a).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/databar/edges.h"

namespace zeph::databar {

using FinderShape = std::array<int8_t, 3>;  // a, b, c

inline constexpr FinderShape kOmniFinders[] = {
    {3, 8, 2}, {3, 5, 5}, {3, 3, 7}, {3, 1, 9}, {2, 7, 4},
    {2, 5, 6}, {2, 3, 8}, {1, 5, 7}, {1, 3, 9},
};
inline constexpr FinderShape kExpandedFinders[] = {
    {1, 8, 4}, {3, 6, 4}, {3, 4, 6}, {3, 2, 8}, {2, 6, 5}, {2, 2, 9},
};

inline constexpr int kFinderElements = 5;
inline constexpr int kFinderModules = 15;

struct FinderMatch {
    int32_t value = -1;
    bool mirrored = false;
    double residual = 0;   // mean distance of its edge-to-edge sums from the shape's
    double inkSpread = 0;  // how much wider the bars came out than drawn, in modules
    double module = 0;     // in samples
};

// Whether the five elements from `first` may be a finder of either family,
// drawn as it is where it begins with a space and mirrored where with a bar
// (as every DataBar reader meets them): its two single modules measured
// against the rest. A cheap test, without division, before MatchFinder.
bool MayBeFinder(const EdgeList& list, int32_t first);

// The elements of the list that pass MayBeFinder, in order.
void FinderCandidates(const EdgeList& list, std::vector<int32_t>& out);

// Whether the five elements from `first` are a finder of the table, as it
// is or mirrored.
bool MatchFinder(const EdgeList& list, int32_t first, bool mirrored,
                 std::span<const FinderShape> table, FinderMatch& out);

}  // namespace zeph::databar
