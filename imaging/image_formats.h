// The decoders behind image loading, one per file format, and the 24-bit
// raster they all fill. Internal to the imaging library; the library API
// converts pixel views with ConvertRow too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "imaging/decoded_image.h"

namespace zeph::imaging::detail {

// Every decoder fills one of these.
using Raster = DecodedImage;

// How a refusal for size begins.
inline constexpr std::string_view kTooLarge = "image too large";

// Refuses sizes of 0 or below and pictures above kMaxImagePixels (with the
// reason in `error`) before anything is allocated.
bool CheckImageSize(int64_t width, int64_t height, std::string& error);
// A raster of that size, its pixels uninitialised (decoders overwrite them);
// nullopt with the reason when the size is refused or memory runs out. Waits
// until the pixels fit the process's budget for decoded pictures.
std::optional<Raster> NewRaster(int64_t width, int64_t height, std::string& error);

// Transparency flattened onto black, rounded to nearest.
inline uint8_t OnBlack(uint8_t colour, uint8_t alpha) {
    return static_cast<uint8_t>((colour * alpha + 127) / 255);
}

// Pixel layouts decoders hand over for conversion.
enum class Layout { Grey, GreyAlpha, Rgb, Rgba, Bgra };
// Converts `width` pixels of `source` into the blue-green-red row `target`.
void ConvertRow(Layout layout, const uint8_t* source, int32_t width, uint8_t* target);

// Each decoder takes the whole file and decodes its first frame or page;
// nullopt with a short reason when it cannot.
std::optional<Raster> DecodeJpeg(std::span<const uint8_t> bytes, std::string& error);
std::optional<Raster> DecodePng(std::span<const uint8_t> bytes, std::string& error);
std::optional<Raster> DecodeGif(std::span<const uint8_t> bytes, std::string& error);
std::optional<Raster> DecodeTiff(std::span<const uint8_t> bytes, std::string& error);
std::optional<Raster> DecodeWebp(std::span<const uint8_t> bytes, std::string& error);
// BMP and TGA; `format` ("BMP" or "TGA") names the format in errors.
std::optional<Raster> DecodeWithStb(std::span<const uint8_t> bytes, const char* format,
                                    std::string& error);
// PNM, every kind (P1 to P6).
std::optional<Raster> DecodeNetpbm(std::span<const uint8_t> bytes, std::string& error);

}  // namespace zeph::imaging::detail
