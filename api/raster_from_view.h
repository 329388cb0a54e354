// A caller's pixels, in any of the layouts the library takes, into the grey
// raster the searches read, with the same values ZephScan gives a decoded
// file of the same picture.
#pragma once

#include "engine/reader.h"
#include "zeph/barcode.h"

namespace zeph::api {

// Checks the view (throws ReadError: InvalidArgument) and fills `raster`.
void RasterFromView(const ImageView& view, GreyRaster& raster);

}  // namespace zeph::api
