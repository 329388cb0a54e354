// The symbologies beyond the ten of the engine's own decoders, as the extended
// search reads them: their decoder table, the interpretations of other
// symbologies' reads, and what the search must know of their evidence.
#pragma once

#include <cstdint>
#include <span>

#include "engine/reader.h"

namespace zeph::further {

// The mask bits of the decoders here, and of the interpretations.
inline constexpr int32_t kDecoderBits = kTelepen | kCode11 | kMsi | kPlessey | kIndustrial2of5 |
                                        kIata2of5 | kMatrix2of5 | kDatalogic2of5 | kPharmacode |
                                        kTelepenNumeric;
inline constexpr int32_t kInterpretationBits = kCode32 | kPzn | kItf14;

// Every decoder here in the order of its mask bit.
std::span<const DecoderEntry> Decoders();

// Hands one window of a line to every decoder here that the mask enables, as
// XR_DecodeSignalWith does with the engine's own: 1, 0 or -1.
int DecodeWindow(const ScanSignal& window, int32_t protocolMask, MatchRecord& record);

// Whether a check protects the read well enough to stand on one line.
bool IsProtected(const MatchRecord& record);

// Whether a read of the symbology may have the picture's border for a quiet
// zone: not where the symbol has no start or stop to show it is whole, so
// that the border may have cut it.
bool MayTouchBorder(const MatchRecord& record);

// Releases the tables of every decoder here (of the calling thread).
void FreeTables();

}  // namespace zeph::further
