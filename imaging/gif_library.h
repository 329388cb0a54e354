// giflib, loaded when the first GIF file is read (see shared_library.h).
#pragma once

#include <gif_lib.h>

#include <string>

namespace zeph::imaging::detail {

struct GifLibrary {
    decltype(&DGifOpen) open;
    decltype(&DGifCloseFile) close;
    decltype(&DGifGetRecordType) recordType;
    decltype(&DGifGetImageDesc) imageDesc;
    decltype(&DGifGetLine) line;
    decltype(&DGifGetExtension) extension;
    decltype(&DGifGetExtensionNext) extensionNext;
    decltype(&DGifExtensionToGCB) extensionToGcb;
    decltype(&GifErrorString) errorText;
};

// Null, with `error` naming the reason, when the library cannot be loaded.
const GifLibrary* LoadGif(std::string& error);

}  // namespace zeph::imaging::detail
