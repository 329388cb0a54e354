// Cheap tests of the outer characters of a window. A decoder reads a window
// only when its start character can begin at the window's first bar and its
// stop character end at the last: matching every character of a long window
// against a whole table is the costly part of reading, and most windows hold
// no symbol of most symbologies.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/extended/symbol_windows.h"
#include "engine/match/lazy_tables.h"
#include "engine/reader.h"

namespace zeph::extended {

class EndPatterns {
  public:
    EndPatterns();

    // Least score of a start or stop pattern scored by correlation.
    static constexpr float kLeastScore = 0.6f;

    // Takes the samples and whole bar list of one reading direction, which the
    // next calls test; both must stay unchanged until then. False when memory
    // runs out.
    bool Reset(std::span<const float> samples, const BarList& bars);

    // The symbology bits worth decoding on the window of bars first..last:
    // the EAN/UPC family always (their decoders test their own guards and quiet
    // zones cheaply), the others when both ends look right. Each bar is tested
    // once, when a window first ends at it; its start and stop correlations
    // once each, when first needed.
    int32_t Plausible(int32_t first, int32_t last);

  private:
    enum Flag : uint8_t {
        kCode128Start = 1,
        kCode128Stop = 2,
        kCode93Start = 4,
        kCode93Stop = 8,
        kCode39End = 16,   // the asterisk starts here (as a start) ...
        kCode39Last = 32,  // ... or ends here (as a stop)
        kCodabarStart = 64,
        kCodabarStop = 128,
    };
    // Interleaved 2 of 5 ends, and which tests a bar has had.
    enum ItfFlag : uint8_t {
        kItfStart = 1,
        kItfStop = 2,
        kTested = 4,        // the element-width tests
        kStartsScored = 8,  // the Code 128 and Code 93 start correlations
        kStopsScored = 16,  // the stop correlations
    };
    // The start and stop patterns scored by correlation, parsed once: a table
    // stretches its templates to any stretch without building them anew.
    enum Table { kStarts128, kStop128, kStart93, kStop93 };
    LazyTables<4> tables_;
    void Test(int32_t k);
    void ScoreStarts(int32_t k);
    void ScoreStops(int32_t k);

    std::span<const float> samples_;
    BarList bars_;
    std::vector<uint8_t> flags_;
    std::vector<uint8_t> itf_;
};

}  // namespace zeph::extended
