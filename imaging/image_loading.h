// Image files into decoded pictures and bitmaps: the first frame of any
// supported format, flattened onto black, as 24-bit blue-green-red rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "imaging/decoded_image.h"
#include "platform/gdi.h"

namespace zeph::imaging {

// Pictures above this many pixels are refused rather than decoded.
inline constexpr uint64_t kMaxImagePixels = uint64_t{1} << 28;

// Why a file gave no picture.
enum class ImageFailure {
    None,
    Unreadable,     // missing, unreadable, not a regular file, or over 512 MiB
    UnknownFormat,  // empty, or no supported format's signature
    TooLarge,       // over kMaxImagePixels
    Damaged,        // truncated, damaged or unsupported data
    OutOfMemory,
};

struct DecodeResult {
    std::optional<DecodedImage> image;
    ImageFailure failure = ImageFailure::None;
    std::string error;  // the reason, for people, when there is no image
};

// Decodes the bytes, the format chosen by the first bytes (never a name):
// JPEG, PNG, GIF, TIFF, WebP, BMP, PNM or TGA. Grey, palette, 16-bit, CMYK and
// alpha images are converted; transparent pixels become black. Waits until
// the picture fits the process's budget of decoded pixels. Never throws.
DecodeResult DecodeImageBytes(std::span<const uint8_t> bytes) noexcept;
// The same for a file, opened without blocking and read only when it is a
// regular file.
DecodeResult DecodeImageFile(const std::string& path) noexcept;

// The decoded picture as a bitmap: nullptr, with the reason in `error` when
// given, for unreadable, unknown, damaged or oversized files.
HBITMAP LoadImageFile(const std::string& path, std::string* error = nullptr);
HBITMAP LoadImageBytes(std::span<const uint8_t> bytes, std::string* error = nullptr);

// Pictures of one size follow each other in a run: keeps freed blocks for the
// next picture instead of mapping and zero-filling fresh pages for every file.
// Process-wide; call once at start.
void KeepFreedImageMemory();

}  // namespace zeph::imaging
