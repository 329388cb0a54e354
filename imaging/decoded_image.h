// A decoded picture: blue-green-red rows, bottom row first, each padded to 4
// bytes. The layout of a bitmap, which can take the buffer over, so decoders
// that write it directly need no conversion pass and a picture is held once.
// A grey page asked for as grey (PageSink) has one byte a pixel instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/pixel_budget.h"

namespace zeph::imaging {

// Bytes of a row of `width` pixels of `channels` bytes each, padded to a
// multiple of 4.
inline size_t PaddedRowBytes(int64_t width, int32_t channels) {
    return (static_cast<size_t>(width) * static_cast<size_t>(channels) + 3) & ~size_t{3};
}

struct DecodedImage {
    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;
    int32_t channels = 3;               // 3: blue, green, red; 1: grey
    std::unique_ptr<uint8_t[]> pixels;  // stride * height bytes
    PixelBudget::Reservation reserved;  // width * height of the process's decoded pixels

    size_t Size() const { return stride * static_cast<size_t>(height); }
    // Row y counted from the top.
    uint8_t* RowFromTop(int32_t y) {
        return pixels.get() + static_cast<size_t>(height - 1 - y) * stride;
    }
    const uint8_t* RowFromTop(int32_t y) const {
        return pixels.get() + static_cast<size_t>(height - 1 - y) * stride;
    }
};

}  // namespace zeph::imaging
