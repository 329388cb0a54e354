// The PDF format as a module of its own, which ZephScan loads when it first
// meets a PDF file: poppler and the many libraries it needs are then loaded by
// the runs that read PDF alone, and every other run starts without them. The
// module takes the image loading it builds on from the program that loads it.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

#include "imaging/image_format.h"

namespace zeph::pdf {

// The module's one entry, looked up by this name: the PDF format.
inline constexpr const char* kModuleEntry = "ZephScanPdfFormat";
using ModuleEntry = const imaging::ImageFormat* (*)();

// Whether the bytes begin as a PDF file does.
inline bool LooksLikePdf(std::span<const uint8_t> bytes) {
    return bytes.size() >= 5 && std::memcmp(bytes.data(), "%PDF-", 5) == 0;
}

}  // namespace zeph::pdf
