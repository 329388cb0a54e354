// Image files into standard pictures, the form the reader control takes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com.h"
#include "platform/gdi.h"

namespace zeph::cli {

// Wraps the bitmap into a standard picture that owns it (the picture's
// dispatch interface); an empty pointer when that fails, the bitmap then
// deleted.
ComPtr<IDispatch> BitmapToPicture(HBITMAP bitmap, int16_t type, HPALETTE palette);
// Loads the file into a picture; an empty pointer when it cannot be loaded.
ComPtr<IDispatch> LoadPicturePlus(const std::string& path);

}  // namespace zeph::cli
