// The dispatcher's decoder table, for callers that choose the symbologies of
// each signal themselves.
#pragma once

#include <span>

#include "engine/reader.h"

namespace zeph {

// Every decoder in the order of its mask bit.
std::span<const DecoderEntry> Decoders();

}  // namespace zeph
