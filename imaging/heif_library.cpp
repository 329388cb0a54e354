#include "imaging/heif_library.h"

#include <dlfcn.h>

#ifndef ZEPH_HEIF_SONAME
#define ZEPH_HEIF_SONAME "libheif.so.1"
#endif

namespace zeph::imaging::detail {
namespace {

// The library stays loaded until the process ends, never closed: its codecs
// keep allocations of their own in its globals, which must stay mapped for
// as long as anything (a leak checker at exit included) may look at them.
struct Loaded {
    void* handle = nullptr;
    HeifLibrary functions{};
    std::string error;  // empty once every function is found
};

template <typename F>
bool Find(void* handle, const char* name, F& function, std::string& error) {
    function = reinterpret_cast<F>(dlsym(handle, name));
    if (!function) error = std::string(ZEPH_HEIF_SONAME) + " has no " + name;
    return function != nullptr;
}

Loaded Load() {
    Loaded l;
    l.handle = dlopen(ZEPH_HEIF_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!l.handle) {
        const char* why = dlerror();
        l.error =
            std::string("cannot load ") + ZEPH_HEIF_SONAME + (why ? std::string(": ") + why : "");
        return l;
    }
    void* h = l.handle;
    HeifLibrary& f = l.functions;
    const bool all =
        Find(h, "heif_context_alloc", f.contextAlloc, l.error) &&
        Find(h, "heif_context_free", f.contextFree, l.error) &&
        Find(h, "heif_context_read_from_memory_without_copy", f.readFromMemoryWithoutCopy,
             l.error) &&
        Find(h, "heif_context_get_primary_image_handle", f.primaryImageHandle, l.error) &&
        Find(h, "heif_context_set_maximum_image_size_limit", f.setMaximumImageSizeLimit, l.error) &&
        Find(h, "heif_image_handle_release", f.handleRelease, l.error) &&
        Find(h, "heif_image_handle_get_width", f.handleWidth, l.error) &&
        Find(h, "heif_image_handle_get_height", f.handleHeight, l.error) &&
        Find(h, "heif_image_handle_get_ispe_width", f.handleStoredWidth, l.error) &&
        Find(h, "heif_image_handle_get_ispe_height", f.handleStoredHeight, l.error) &&
        Find(h, "heif_image_handle_has_alpha_channel", f.handleHasAlpha, l.error) &&
        Find(h, "heif_decoding_options_alloc", f.decodingOptionsAlloc, l.error) &&
        Find(h, "heif_decoding_options_free", f.decodingOptionsFree, l.error) &&
        Find(h, "heif_decode_image", f.decodeImage, l.error) &&
        Find(h, "heif_image_release", f.imageRelease, l.error) &&
        Find(h, "heif_image_get_width", f.imageWidth, l.error) &&
        Find(h, "heif_image_get_height", f.imageHeight, l.error) &&
        Find(h, "heif_image_get_plane_readonly", f.planeReadonly, l.error);
    if (!all) {
        dlclose(l.handle);
        l.handle = nullptr;
    }
    return l;
}

}  // namespace

const HeifLibrary* LoadHeif(std::string& error) {
    // Loaded once, by whichever thread reads the first HEIF file.
    static const Loaded loaded = Load();
    if (!loaded.handle) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.functions;
}

}  // namespace zeph::imaging::detail
