// libheif, loaded when the first HEIF file is read rather than when the
// program starts: with the HEVC and AV1 codecs it pulls in, it takes several
// times longer to load than a small picture takes to read, and most runs
// read no HEIF file at all.
#pragma once

#include <libheif/heif.h>

#include <string>

namespace zeph::imaging::detail {

struct HeifLibrary {
    decltype(&heif_context_alloc) contextAlloc;
    decltype(&heif_context_free) contextFree;
    decltype(&heif_context_read_from_memory_without_copy) readFromMemoryWithoutCopy;
    decltype(&heif_context_get_primary_image_handle) primaryImageHandle;
    decltype(&heif_context_set_maximum_image_size_limit) setMaximumImageSizeLimit;
    decltype(&heif_image_handle_release) handleRelease;
    decltype(&heif_image_handle_get_width) handleWidth;
    decltype(&heif_image_handle_get_height) handleHeight;
    decltype(&heif_image_handle_get_ispe_width) handleStoredWidth;
    decltype(&heif_image_handle_get_ispe_height) handleStoredHeight;
    decltype(&heif_image_handle_has_alpha_channel) handleHasAlpha;
    decltype(&heif_decoding_options_alloc) decodingOptionsAlloc;
    decltype(&heif_decoding_options_free) decodingOptionsFree;
    decltype(&heif_decode_image) decodeImage;
    decltype(&heif_image_release) imageRelease;
    decltype(&heif_image_get_width) imageWidth;
    decltype(&heif_image_get_height) imageHeight;
    decltype(&heif_image_get_plane_readonly) planeReadonly;
};

// The library, loaded on the first call and kept for the life of the
// process; nullptr when it cannot be loaded, with `error` naming the reason.
const HeifLibrary* LoadHeif(std::string& error);

}  // namespace zeph::imaging::detail
