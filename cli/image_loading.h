// Image files into bitmaps: the first frame of any supported format, flattened
// onto black, as 24-bit blue-green-red rows.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/com.h"
#include "platform/gdi.h"

namespace zeph::cli {

// Pictures above this many pixels are refused rather than decoded.
inline constexpr uint64_t kMaxImagePixels = uint64_t{1} << 28;

// Decodes the file, chosen by its first bytes (never its name): JPEG, PNG,
// GIF, TIFF, WebP, BMP, PNM or TGA. Grey, palette, 16-bit, CMYK and alpha
// images are converted; transparent pixels become black. nullptr, with the
// reason in `error` when given, for unreadable, unknown, damaged or oversized
// files.
HBITMAP LoadImageFile(const std::string& path, std::string* error = nullptr);
// The same from bytes in memory.
HBITMAP LoadImageBytes(std::span<const uint8_t> bytes, std::string* error = nullptr);

// Pictures of one size follow each other in a run: keeps freed blocks for the
// next picture instead of mapping and zero-filling fresh pages for every file.
// Process-wide; call once at start.
void KeepFreedImageMemory();

// Wraps the bitmap into a standard picture that owns it (the picture's
// dispatch interface); an empty pointer when that fails, the bitmap then
// deleted.
ComPtr<IDispatch> BitmapToPicture(HBITMAP bitmap, int16_t type, HPALETTE palette);
// Loads the file into a picture; an empty pointer when it cannot be loaded.
ComPtr<IDispatch> LoadPicturePlus(const std::string& path);

}  // namespace zeph::cli
