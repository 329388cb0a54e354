// libwebp, and libwebpdemux for animations, each loaded when the first file
// that needs it is read (see shared_library.h).
#pragma once

#include <webp/decode.h>
#include <webp/demux.h>

#include <string>

namespace zeph::imaging::detail {

struct WebpLibrary {
    decltype(&WebPGetFeaturesInternal) getFeaturesInternal;
    decltype(&WebPInitDecoderConfigInternal) initDecoderConfigInternal;
    decltype(&WebPDecode) decode;
    decltype(&WebPFreeDecBuffer) freeDecBuffer;
    decltype(&WebPDecodeBGRAInto) decodeBgraInto;

    // The header's inline entry points, with the version it was built for.
    VP8StatusCode GetFeatures(const uint8_t* data, size_t size,
                              WebPBitstreamFeatures* features) const {
        return getFeaturesInternal(data, size, features, WEBP_DECODER_ABI_VERSION);
    }
    int InitDecoderConfig(WebPDecoderConfig* config) const {
        return initDecoderConfigInternal(config, WEBP_DECODER_ABI_VERSION);
    }
};

struct WebpDemuxLibrary {
    decltype(&WebPDemuxInternal) demuxInternal;
    decltype(&WebPDemuxDelete) demuxDelete;
    decltype(&WebPDemuxGetI) getInfo;
    decltype(&WebPDemuxGetFrame) getFrame;
    decltype(&WebPDemuxReleaseIterator) releaseIterator;

    WebPDemuxer* Demux(const WebPData* data) const {
        return demuxInternal(data, 0, nullptr, WEBP_DEMUX_ABI_VERSION);
    }
};

// Null, with `error` naming the reason, when the library cannot be loaded.
const WebpLibrary* LoadWebp(std::string& error);
const WebpDemuxLibrary* LoadWebpDemux(std::string& error);

}  // namespace zeph::imaging::detail
