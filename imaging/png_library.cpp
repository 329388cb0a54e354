#include "imaging/png_library.h"

#include "imaging/shared_library.h"

namespace zeph::imaging::detail {

namespace {

bool BindPng(SymbolBinder& bind, PngLibrary& f) {
    return bind("png_image_begin_read_from_memory", f.beginReadFromMemory) &&
           bind("png_image_finish_read", f.finishRead) && bind("png_image_free", f.free);
}

}  // namespace

const PngLibrary* LoadPng(std::string& error) {
    static const Library<PngLibrary> png(ZEPH_PNG_SONAME, BindPng);
    return png.Get(error);
}

}  // namespace zeph::imaging::detail
