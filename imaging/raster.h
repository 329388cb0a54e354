// The 24-bit raster every format's decoder fills, and the helpers they share:
// the size checks, the pixel conversions into blue-green-red rows. Internal to
// the imaging library; the library API converts pixel views with ConvertRow
// too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/decoded_image.h"

namespace zeph::imaging::detail {

// Every decoder fills one of these.
using Raster = DecodedImage;

// How a refusal for size begins.
inline constexpr std::string_view kTooLarge = "image too large";
inline constexpr std::string_view kOutOfMemory = "out of memory";

// Refuses sizes of 0 or below and pictures above kMaxImagePixels (with the
// reason in `error`) before anything is allocated.
bool CheckImageSize(int64_t width, int64_t height, std::string& error);
// A raster of that size, its pixels uninitialised (decoders overwrite them);
// nullopt with the reason when the size is refused or memory runs out. Waits
// until the pixels fit the process's budget for decoded pictures.
std::optional<Raster> NewRaster(int64_t width, int64_t height, std::string& error);
// The same, every pixel black: for pictures a frame covers only in part.
std::optional<Raster> NewBlackRaster(int64_t width, int64_t height, std::string& error);

// Transparency flattened onto black, rounded to nearest.
inline uint8_t OnBlack(uint8_t colour, uint8_t alpha) {
    return static_cast<uint8_t>((colour * alpha + 127) / 255);
}

// Pixel layouts decoders hand over for conversion.
enum class Layout { Grey, GreyAlpha, Rgb, Rgba, Bgra };
// Converts `width` pixels of `source` into the blue-green-red row `target`.
void ConvertRow(Layout layout, const uint8_t* source, int32_t width, uint8_t* target);

// a * b, saturating: the least-data checks multiply claims that may lie near
// the top of the range.
inline uint64_t SaturatingProduct(uint64_t a, uint64_t b) {
    constexpr uint64_t kMost = std::numeric_limits<uint64_t>::max();
    return a != 0 && b > kMost / a ? kMost : a * b;
}

}  // namespace zeph::imaging::detail
