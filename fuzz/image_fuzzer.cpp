// Any bytes through image loading: every decoder must refuse or decode without
// a memory error, a leak or a huge allocation.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "imaging/image_loading.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    if (HBITMAP bitmap = zeph::imaging::LoadImageBytes(std::span<const uint8_t>(data, size), &error)) {
        DeleteObject(bitmap);
    }
    return 0;
}
