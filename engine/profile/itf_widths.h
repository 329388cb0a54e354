// Interleaved 2 of 5 read from measured element widths instead of templates.
// Every element is measured in the width of the digit pairs around it (all
// pairs are equally wide, so perspective cancels). Each digit has two
// wide elements of five: its two widest are wide. Bars and spaces keep
// classes of their own, as ink spread widens one and narrows the other, and
// every element must lie near its class's mean across the symbol.
#pragma once

#include <array>
#include <cstdint>

#include "engine/reader.h"

namespace zeph::profile {

class ItfWidths {
  public:
    static constexpr int32_t kMostPairs = 50;
    // Fewer pairs hold too few elements to tell the classes apart reliably;
    // the template decoder reads the short symbols.
    static constexpr int32_t kFewestPairs = 3;

    // Decoder contract: writes the record and returns 1 when the window is
    // one Interleaved 2 of 5 symbol read with a confidence above the
    // record's, else 0.
    int Decode(const ScanSignal& window, MatchRecord& record);

  private:
    static constexpr size_t kMostElements = 10 * kMostPairs + 7;
    std::array<double, kMostElements> widths_{};  // in samples
    std::array<double, kMostElements> units_{};   // in pair widths
    std::array<uint8_t, kMostElements> wide_{};
    std::array<double, kMostPairs> pairWidths_{};
    std::array<double, kMostPairs> pairCentres_{};
    std::array<char, 2 * kMostPairs> text_{};
};

}  // namespace zeph::profile
