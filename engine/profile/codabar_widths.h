// Codabar read from measured element widths instead of templates. Every
// element is measured in the width of its neighbourhood's characters (so that
// perspective cancels), and bars and spaces are each split into narrow and
// wide at the widest step between their widths across the symbol (ink spread
// widens one and narrows the other): any wide/narrow ratio that keeps the two
// apart reads. Each element must lie near its class's mean.
#pragma once

#include <array>
#include <cstdint>

#include "engine/reader.h"

namespace zeph::profile {

class CodabarWidths {
  public:
    // Characters a symbol may hold, start and stop included.
    static constexpr int32_t kMostCharacters = 64;
    // Fewest: start, two data characters, stop.
    static constexpr int32_t kFewestCharacters = 4;

    // Decoder contract: writes the record and returns 1 when the window is
    // one Codabar symbol read with a confidence above the record's, else 0.
    int Decode(const ScanSignal& window, MatchRecord& record);

  private:
    std::array<double, 8 * kMostCharacters> widths_{};  // in samples
    std::array<double, 8 * kMostCharacters> units_{};   // in character widths
    std::array<double, 4 * kMostCharacters> sorted_{};
    std::array<double, kMostCharacters> characterWidths_{};
    std::array<uint8_t, 8 * kMostCharacters> wide_{};
    std::array<char, kMostCharacters + 1> text_{};
};

}  // namespace zeph::profile
