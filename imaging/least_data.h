// How much a file must hold for the picture its header claims. A header is a
// few bytes that can claim any size; before a decoder allocates a picture,
// the data behind the header must be able to fill it, given the most each
// format's coding can expand. Files that fail these checks would fail
// decoding anyway, only later and after allocating.
#pragma once

#include <cstdint>
#include <span>

namespace zeph::imaging::detail {

// PNG: the compressed data of all IDAT chunks, inflated at deflate's largest
// ratio, covers the rows the header claims.
bool PngDataCanFill(std::span<const uint8_t> file, uint64_t width, uint64_t height);

// JPEG: Huffman-coded scans spend at least a bit on every 8 x 8 block of the
// largest component; arithmetic coding has no such floor and is not checked.
bool JpegDataCanFill(std::span<const uint8_t> file, uint64_t width, uint64_t height);

// GIF: the most pixels `bytes` of LZW data can give (each code of at least 3
// bits gives at most 4096 pixels).
uint64_t GifMostPixels(uint64_t bytes);

// TIFF: the most decoded bytes `stored` bytes of strips or tiles can give
// with that compression, for `rows` rows; no limit for codings without a
// known floor.
uint64_t TiffMostDecodedBytes(uint16_t compression, uint64_t stored, uint64_t rowBytes,
                              uint64_t rows);

// Animations: the screen (canvas) is kept when its first frame accounts for
// a fair share of it; a screen far larger than the frame would be black
// pixels made from nothing, and the frame alone is the picture instead.
bool ScreenWorthKeeping(uint64_t screenPixels, uint64_t framePixels);

}  // namespace zeph::imaging::detail
