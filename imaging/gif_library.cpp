#include "imaging/gif_library.h"

#include "imaging/shared_library.h"

namespace zeph::imaging::detail {

namespace {

bool BindGif(SymbolBinder& bind, GifLibrary& f) {
    return bind("DGifOpen", f.open) && bind("DGifCloseFile", f.close) &&
           bind("DGifGetRecordType", f.recordType) && bind("DGifGetImageDesc", f.imageDesc) &&
           bind("DGifGetLine", f.line) && bind("DGifGetExtension", f.extension) &&
           bind("DGifGetExtensionNext", f.extensionNext) &&
           bind("DGifExtensionToGCB", f.extensionToGcb) && bind("GifErrorString", f.errorText);
}

}  // namespace

const GifLibrary* LoadGif(std::string& error) {
    static const Library<GifLibrary> gif(ZEPH_GIF_SONAME, BindGif);
    return gif.Get(error);
}

}  // namespace zeph::imaging::detail
