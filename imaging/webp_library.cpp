#include "imaging/webp_library.h"

#include "imaging/shared_library.h"

namespace zeph::imaging::detail {

namespace {

bool BindWebp(SymbolBinder& bind, WebpLibrary& f) {
    return bind("WebPGetFeaturesInternal", f.getFeaturesInternal) &&
           bind("WebPInitDecoderConfigInternal", f.initDecoderConfigInternal) &&
           bind("WebPDecode", f.decode) && bind("WebPFreeDecBuffer", f.freeDecBuffer) &&
           bind("WebPDecodeBGRAInto", f.decodeBgraInto);
}

}  // namespace

const WebpLibrary* LoadWebp(std::string& error) {
    static const Library<WebpLibrary> webp(ZEPH_WEBP_SONAME, BindWebp);
    return webp.Get(error);
}

namespace {

bool BindWebpDemux(SymbolBinder& bind, WebpDemuxLibrary& f) {
    return bind("WebPDemuxInternal", f.demuxInternal) && bind("WebPDemuxDelete", f.demuxDelete) &&
           bind("WebPDemuxGetI", f.getInfo) && bind("WebPDemuxGetFrame", f.getFrame) &&
           bind("WebPDemuxReleaseIterator", f.releaseIterator);
}

}  // namespace

const WebpDemuxLibrary* LoadWebpDemux(std::string& error) {
    static const Library<WebpDemuxLibrary> demux(ZEPH_WEBPDEMUX_SONAME, BindWebpDemux);
    return demux.Get(error);
}

}  // namespace zeph::imaging::detail
