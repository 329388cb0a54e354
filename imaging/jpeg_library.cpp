#include "imaging/jpeg_library.h"

#include "imaging/shared_library.h"

namespace zeph::imaging::detail {

namespace {

bool BindJpeg(SymbolBinder& bind, JpegLibrary& f) {
    return bind("tjInitDecompress", f.initDecompress) &&
           bind("tjDecompressHeader3", f.decompressHeader) && bind("tjDecompress2", f.decompress) &&
           bind("tjDestroy", f.destroy) && bind("tjGetErrorStr2", f.errorText);
}

}  // namespace

const JpegLibrary* LoadJpeg(std::string& error) {
    static const Library<JpegLibrary> jpeg(ZEPH_TURBOJPEG_SONAME, BindJpeg);
    return jpeg.Get(error);
}

}  // namespace zeph::imaging::detail
