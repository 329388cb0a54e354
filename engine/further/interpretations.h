// Symbols that are another symbology's special case: Code 32 (the Italian
// pharmaceutical code) and the Pharmazentralnummer are Code 39 symbols, ITF-14
// is an Interleaved 2 of 5 symbol of 14 digits. Each has a check of its own;
// a record that passes it gets the special case's type and descriptor (and
// its text where that differs), as the GS1 descriptors do for Code 128.
#pragma once

#include <cstdint>
#include <span>

#include "engine/reader.h"

namespace zeph::further {

// Rewrites every record that the enabled interpretations recognise; an
// interpretation is enabled when its bit and its base symbology's bit are
// both set in the mask. The symbology and raw data stay as read.
void Interpret(std::span<MatchRecord> records, int32_t protocolMask);

// Each interpretation on its own: true when it recognised and rewrote the
// record.
bool InterpretCode32(MatchRecord& record);
bool InterpretPzn(MatchRecord& record);
bool InterpretItf14(MatchRecord& record);

}  // namespace zeph::further
