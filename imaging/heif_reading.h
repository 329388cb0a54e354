// HEIF files (HEIC and AVIF) through libheif: the brands that tell which
// coding a file holds, and its primary image.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "imaging/raster.h"

namespace zeph::imaging::detail {

enum class HeifCoding { None, Hevc, Av1 };

// The coding the brands of the file's leading "ftyp" box declare: the major
// brand, else the first compatible brand that names one.
HeifCoding HeifCodingOf(std::span<const uint8_t> bytes);

// The primary image, as stored: its rotation and mirroring are not applied,
// as no format's orientation is, so end points are in stored coordinates.
// `format` names the format in errors.
std::optional<Raster> DecodeHeif(std::span<const uint8_t> bytes, const char* format,
                                 std::string& error);

}  // namespace zeph::imaging::detail
