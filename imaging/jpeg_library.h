// libjpeg-turbo's TurboJPEG interface, loaded when the first JPEG file is read
// (see shared_library.h).
#pragma once

#include <turbojpeg.h>

#include <string>

namespace zeph::imaging::detail {

struct JpegLibrary {
    decltype(&tjInitDecompress) initDecompress;
    decltype(&tjDecompressHeader3) decompressHeader;
    decltype(&tjDecompress2) decompress;
    decltype(&tjDestroy) destroy;
    decltype(&tjGetErrorStr2) errorText;
};

// Null, with `error` naming the reason, when the library cannot be loaded.
const JpegLibrary* LoadJpeg(std::string& error);

}  // namespace zeph::imaging::detail
