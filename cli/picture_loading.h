// Decoded pictures as standard pictures, the form the reader control takes:
// the bitmap takes the decoded rows over, so a picture is held once.
#pragma once

#include <cstdint>

#include "imaging/decoded_image.h"
#include "platform/com.h"
#include "platform/gdi.h"

namespace zeph::cli {

// Wraps the bitmap into a standard picture that owns it (the picture's
// dispatch interface); an empty pointer when that fails, the bitmap then
// deleted.
ComPtr<IDispatch> BitmapToPicture(HBITMAP bitmap, int16_t type, HPALETTE palette);
// The decoded picture as a bitmap that keeps the pixels' place in the
// process's budget for as long as it has them; nullptr when memory runs out.
HBITMAP BitmapOfImage(imaging::DecodedImage&& image);
// Both: a bitmap picture of the decoded picture, empty when it cannot be made.
ComPtr<IDispatch> PictureOfImage(imaging::DecodedImage&& image);

}  // namespace zeph::cli
