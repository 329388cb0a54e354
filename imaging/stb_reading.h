// BMP and TGA pixels through the stb_image reader.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "imaging/raster.h"

namespace zeph::imaging::detail {

// The fewest bytes a complete file of that size can have, 0 when it cannot be
// told. The reader pads short files with zeros, so each format says how long
// its file must be before any pixel is allocated.
using NeededBytes = uint64_t (*)(std::span<const uint8_t> bytes, uint64_t width, uint64_t height);

// `format` ("BMP", "TGA") names the format in errors.
std::optional<Raster> DecodeWithStb(std::span<const uint8_t> bytes, const char* format,
                                    NeededBytes needed, std::string& error);

// Little-endian fields of a header.
inline uint32_t Le16(std::span<const uint8_t> bytes, size_t at) {
    return bytes[at] | uint32_t(bytes[at + 1]) << 8;
}
inline uint32_t Le32(std::span<const uint8_t> bytes, size_t at) {
    return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

}  // namespace zeph::imaging::detail
