// A caller's pixels, in any of the layouts the library takes, into the grey
// raster the searches read, with the same values ZephScan gives a decoded
// file of the same picture.
#pragma once

#include <span>

#include "engine/reader.h"
#include "zeph/barcode.h"

namespace zeph::api {

// Checks the view (throws ReadError: InvalidArgument) and fills `raster`.
void RasterFromView(const ImageView& view, GreyRaster& raster);

// Bottom-up rows of 24-bit pixels, rows `stride` bytes apart, as image
// decoders give them.
void RasterFromBgrRows(std::span<const uint8_t> rows, int32_t width, int32_t height, size_t stride,
                       GreyRaster& raster);

}  // namespace zeph::api
