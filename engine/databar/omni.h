// GS1 DataBar Omnidirectional, Truncated, Stacked and Stacked
// Omnidirectional: four characters and two finders. The left half is a
// guard, the outer character 1, the left finder and the inner character 2;
// the right half mirrors it: inner character 4, the right finder mirrored,
// outer character 3 and a guard. On one row the halves meet; a stacked
// symbol puts them on two rows, each with guards of its own.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/databar/edges.h"

namespace zeph::databar {

struct OmniHalf {
    bool right = false;
    int32_t finder = 0;    // the finder's value
    int32_t outer = 0;     // character 1 (left half) or 3 (right half)
    int32_t inner = 0;     // character 2 or 4
    int32_t checksum = 0;  // the half's share of the checksum, modulo 79
    // Its outermost elements on the list: its guards', or those of its inner
    // character where it has no guard there.
    int32_t first = 0;
    int32_t last = 0;
    int32_t finderAt = 0;  // its finder's first element
    bool used = false;     // joined with another half
    // Guards of a stacked row on the inner side too.
    bool rowGuard = false;
    double residual = 0;  // mean distance of its sums from whole modules
    double module = 0;    // in samples
};

// A finder matched on the list, whether or not its characters read.
struct FinderSeen {
    int32_t at = 0;  // its first element
    bool mirrored = false;
    double module = 0;  // in samples
};

// Both halves of every symbol whose finders lie on the list in its reading
// direction, and halves that stand alone; appended to `halves`. Finders are
// looked for at the candidates (see FinderCandidates) alone; every finder
// matched is appended to `seen`.
void FindOmniHalves(const EdgeList& list, std::span<const int32_t> candidates,
                    std::vector<OmniHalf>& halves, std::vector<FinderSeen>& seen);

// Whether a right half completes a left one: their checksum agrees with
// their finders. The symbol's 14-digit number then goes to `value` (the
// indicator digit and twelve digits, without the check digit), its linkage
// flag to `linkage`.
bool JoinOmniHalves(const OmniHalf& left, const OmniHalf& right, int64_t& value, bool& linkage);

}  // namespace zeph::databar
