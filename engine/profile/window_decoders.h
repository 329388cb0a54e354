// The extended search's decoders of its own, which read a window of bars from
// its measured widths or its grey profile where the template decoders found
// nothing.
#pragma once

#include <cstdint>

#include "engine/profile/codabar_widths.h"
#include "engine/profile/ean_edge_decode.h"
#include "engine/profile/ean_grid_fit.h"
#include "engine/profile/itf_widths.h"
#include "engine/reader.h"

namespace zeph::profile {

class WindowDecoders {
  public:
    // Decoder contract, for the symbologies of `mask` these decoders read
    // from the window's measured widths.
    int Decode(const ScanSignal& window, int32_t mask, MatchRecord& record);
    // The same from the window's grey profile, which must be the line as
    // sampled (a reshaped signal has lost it).
    int DecodeProfile(const ScanSignal& window, int32_t mask, MatchRecord& record);

  private:
    CodabarWidths codabar_;
    ItfWidths itf_;
    EanGridFit ean_;
    EanEdgeDecode eanEdges_;
};

}  // namespace zeph::profile
