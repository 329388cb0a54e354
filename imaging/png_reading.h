// PNG's two readers: libdeflate and the rows unfiltered here for the plain
// files most pictures are, libpng for every other file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "imaging/raster.h"
#include "imaging/row_sink.h"

namespace zeph::imaging::detail {

enum class PlainPng {
    Decoded,      // every row went into the sink
    SinkRefused,  // the sink could not take the size: the reason is in `error`
    NotPlain,     // nothing went into the sink: libpng must read the file
};

// A file read directly when it is plain: not interlaced, at most 8 bits a
// sample, no transparency chunk, no gamma other than sRGB's, no unknown
// critical chunk, every checksum right, the data exactly the rows its header
// claims, and the rows at most kMostPlainPngBytes when inflated. Anything
// else, damage included, is NotPlain, so libpng's own refusals stand.
PlainPng ReadPlainPng(std::span<const uint8_t> file, RowSink& sink, std::string& error);
inline constexpr size_t kMostPlainPngBytes = size_t{48} << 20;

// Any PNG through libpng's simplified interface.
std::optional<Raster> ReadPngWithLibpng(std::span<const uint8_t> bytes, std::string& error);

}  // namespace zeph::imaging::detail
