// Rows of GS1 DataBar Expanded on one line: runs of pairs (a character, a
// finder, a character) between a guard on each side. A row holds the
// whole symbol, or, in Expanded Stacked, a stretch of it; rows with an
// even number of pairs (past the first) are drawn mirrored, so each pair
// tells from its finder's colours and orientation which way it reads.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/databar/edges.h"
#include "engine/databar/expanded_symbol.h"
#include "engine/databar/omni.h"

namespace zeph::databar {

struct ExpandedRow {
    ExpandedPair pairs[kMostPairs];
    int pairCount = 0;
    int32_t first = 0;  // its guards' outermost elements on the list
    int32_t last = 0;
    double residual = 0;
    double module = 0;  // in samples
    // Its first pair is the symbol's: finder A, drawn as it is, after the
    // check character.
    bool OpensSymbol() const { return pairCount > 0 && pairs[0].finder == 0 && !pairs[0].odd; }
};

class ExpandedRowFinder {
  public:
    // Every row on the list that reads in the list's direction, appended to
    // `rows`, its finders looked for at the candidates (see
    // FinderCandidates) alone; every finder matched, to `seen`. False when
    // memory runs out.
    bool Find(const EdgeList& list, std::span<const int32_t> candidates,
              std::vector<ExpandedRow>& rows, std::vector<FinderSeen>& seen);

  private:
    struct Found {
        int32_t at = 0;  // the finder's first element
        ExpandedPair pair;
        bool leftRead = false;
        bool rightRead = false;
        Measured left;
        Measured right;  // in the list's order
        double residual = 0;
    };
    // Makes the run in chain_ a row when guards close it on both sides.
    void EndRow(const EdgeList& list, std::vector<ExpandedRow>& rows);

    std::vector<Found> found_;  // in the order of their elements
    std::vector<size_t> chain_;
};

}  // namespace zeph::databar
