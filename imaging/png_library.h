// libpng's simplified interface, for the PNG files the plain reader leaves to
// it; loaded when the first of them is read (see shared_library.h).
#pragma once

#include <png.h>

#include <string>

namespace zeph::imaging::detail {

struct PngLibrary {
    decltype(&png_image_begin_read_from_memory) beginReadFromMemory;
    decltype(&png_image_finish_read) finishRead;
    decltype(&png_image_free) free;
};

// Null, with `error` naming the reason, when the library cannot be loaded.
const PngLibrary* LoadPng(std::string& error);

}  // namespace zeph::imaging::detail
