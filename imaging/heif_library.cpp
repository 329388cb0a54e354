#include "imaging/heif_library.h"

#include "imaging/shared_library.h"

namespace zeph::imaging::detail {

namespace {

bool BindHeif(SymbolBinder& bind, HeifLibrary& f) {
    return bind("heif_context_alloc", f.contextAlloc) && bind("heif_context_free", f.contextFree) &&
           bind("heif_context_read_from_memory_without_copy", f.readFromMemoryWithoutCopy) &&
           bind("heif_context_get_primary_image_handle", f.primaryImageHandle) &&
           bind("heif_context_set_maximum_image_size_limit", f.setMaximumImageSizeLimit) &&
           bind("heif_image_handle_release", f.handleRelease) &&
           bind("heif_image_handle_get_width", f.handleWidth) &&
           bind("heif_image_handle_get_height", f.handleHeight) &&
           bind("heif_image_handle_get_ispe_width", f.handleStoredWidth) &&
           bind("heif_image_handle_get_ispe_height", f.handleStoredHeight) &&
           bind("heif_image_handle_has_alpha_channel", f.handleHasAlpha) &&
           bind("heif_decoding_options_alloc", f.decodingOptionsAlloc) &&
           bind("heif_decoding_options_free", f.decodingOptionsFree) &&
           bind("heif_decode_image", f.decodeImage) && bind("heif_image_release", f.imageRelease) &&
           bind("heif_image_get_width", f.imageWidth) &&
           bind("heif_image_get_height", f.imageHeight) &&
           bind("heif_image_get_plane_readonly", f.planeReadonly);
}

}  // namespace

const HeifLibrary* LoadHeif(std::string& error) {
    // Loaded once, by whichever thread reads the first HEIF file.
    static const Library<HeifLibrary> heif(ZEPH_HEIF_SONAME, BindHeif);
    return heif.Get(error);
}

}  // namespace zeph::imaging::detail
