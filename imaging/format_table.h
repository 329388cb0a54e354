// The formats image loading knows, each defined in its own file, and the one
// table the loader walks: formats with a signature in a fixed order, then the
// caller's own, then those found by a plausible header alone.
#pragma once

#include <span>
#include <vector>

#include "imaging/image_format.h"

namespace zeph::imaging {
namespace detail {

extern const ImageFormat kJpegFormat;
extern const ImageFormat kPngFormat;
extern const ImageFormat kGifFormat;
extern const ImageFormat kTiffFormat;
extern const ImageFormat kWebpFormat;
extern const ImageFormat kHeicFormat;
extern const ImageFormat kAvifFormat;
extern const ImageFormat kBmpFormat;
extern const ImageFormat kPnmFormat;
extern const ImageFormat kTgaFormat;

}  // namespace detail

// The format whose signature the bytes carry, trying the built-in formats and
// then `more`; nullptr when none claims them.
const ImageFormat* FindFormat(std::span<const uint8_t> bytes,
                              std::span<const ImageFormat* const> more = {});

// Every format FindFormat tries, in its order.
std::vector<const ImageFormat*> FormatTable(std::span<const ImageFormat* const> more = {});

}  // namespace zeph::imaging
