#include <limits>
#include <new>

#include "engine/reader.h"

int XR_RasterFromBgrRows(std::span<const uint8_t> rows, int32_t width, int32_t height,
                         size_t stride, GreyRaster& raster) {
    if (width < 0 || height < 0) return 0;
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    if (w > std::numeric_limits<size_t>::max() / 3 || stride < 3 * w) return 0;
    if (h > 0 && (stride > rows.size() / h || rows.size() < stride * h)) return 0;
    if (w != 0 && h > std::numeric_limits<size_t>::max() / sizeof(int32_t) / w) return -1;

    const size_t size = w * h;
    if (!raster.values || size != raster.size) {
        // The previous raster stays whole when the new one cannot be had.
        std::unique_ptr<int32_t[]> values(new (std::nothrow) int32_t[size == 0 ? 1 : size]);
        if (!values) return -1;
        raster.values = std::move(values);
        raster.size = size;
    }
    raster.width = width;
    raster.height = height;
    for (size_t y = 0; y < h; ++y) {
        // Rows arrive bottom row first.
        const uint8_t* src = rows.data() + (h - 1 - y) * stride;
        int32_t* dst = raster.values.get() + y * w;
        for (size_t x = 0; x < w; ++x, src += 3)
            dst[x] = src[0] + 6 * src[1] + 3 * src[2];
    }
    return 1;
}
