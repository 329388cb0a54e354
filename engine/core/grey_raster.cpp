#include <limits>
#include <new>

#include "engine/core/avx2_clones.h"
#include "engine/core/huge_pages.h"
#include "engine/reader.h"

int XR_RasterResize(int32_t width, int32_t height, GreyRaster& raster) {
    if (width < 0 || height < 0) return 0;
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    if (w != 0 && h > std::numeric_limits<size_t>::max() / sizeof(int32_t) / w) return -1;
    const size_t size = w * h;
    if (!raster.values || size != raster.size) {
        // The previous raster stays whole when the new one cannot be had.
        std::unique_ptr<int32_t[]> values(new (std::nothrow) int32_t[size == 0 ? 1 : size]);
        if (!values) return -1;
        zeph::AdviseHugePages(values.get(), size * sizeof(int32_t));
        raster.values = std::move(values);
        raster.size = size;
    }
    raster.width = width;
    raster.height = height;
    return 1;
}

namespace {

// B + 6 G + 3 R of `count` pixels.
ZEPH_AVX2_CLONES void GreyRow(const uint8_t* src, size_t count, int32_t* dst) {
    for (size_t x = 0; x < count; ++x)
        dst[x] = src[3 * x] + 6 * src[3 * x + 1] + 3 * src[3 * x + 2];
}

}  // namespace

namespace {

// Whether `count` rows of pixels of `bytesPerPixel` bytes, `stride` apart,
// lie in `rows` and
// are the raster's rows `bottom` .. bottom + count - 1 from its bottom row.
bool BandFits(std::span<const uint8_t> rows, size_t stride, int32_t bottom, int32_t count,
              size_t bytesPerPixel, const GreyRaster& raster) {
    const size_t w = static_cast<size_t>(raster.width);
    const size_t h = static_cast<size_t>(raster.height);
    if (bottom < 0 || count < 0 || static_cast<size_t>(bottom) + static_cast<size_t>(count) > h)
        return false;
    if (w > std::numeric_limits<size_t>::max() / bytesPerPixel || stride < bytesPerPixel * w)
        return false;
    const size_t n = static_cast<size_t>(count);
    return n == 0 || (stride <= rows.size() / n && rows.size() >= stride * n);
}

// scale * index of `count` pixels.
ZEPH_AVX2_CLONES void ScaleRow(const uint8_t* src, size_t count, int32_t scale, int32_t* dst) {
    for (size_t x = 0; x < count; ++x)
        dst[x] = scale * src[x];
}

// Raster row of band row k: rows arrive bottom row first.
int32_t* RasterRow(GreyRaster& raster, int32_t bottom, size_t k) {
    const size_t w = static_cast<size_t>(raster.width);
    const size_t h = static_cast<size_t>(raster.height);
    return raster.values.get() + (h - 1 - (static_cast<size_t>(bottom) + k)) * w;
}

}  // namespace

int XR_RasterBandFromBgrRows(std::span<const uint8_t> rows, size_t stride, int32_t bottom,
                             int32_t count, GreyRaster& raster) {
    if (!BandFits(rows, stride, bottom, count, 3, raster)) return 0;
    const size_t w = static_cast<size_t>(raster.width);
    for (size_t k = 0; k < static_cast<size_t>(count); ++k)
        GreyRow(rows.data() + k * stride, w, RasterRow(raster, bottom, k));
    return 1;
}

int XR_RasterBandFromIndexedRows(std::span<const uint8_t> rows, size_t stride, int32_t bottom,
                                 int32_t count, std::span<const int32_t, 256> greys,
                                 GreyRaster& raster) {
    if (!BandFits(rows, stride, bottom, count, 1, raster)) return 0;
    const size_t w = static_cast<size_t>(raster.width);
    // A grey ramp's table is a multiple of the index: multiplied, not looked up.
    bool ramp = greys[0] == 0;
    for (size_t i = 1; ramp && i < greys.size(); ++i)
        ramp = int64_t{greys[i]} == int64_t{greys[1]} * static_cast<int64_t>(i);
    for (size_t k = 0; k < static_cast<size_t>(count); ++k) {
        const uint8_t* from = rows.data() + k * stride;
        int32_t* to = RasterRow(raster, bottom, k);
        if (ramp) {
            ScaleRow(from, w, greys[1], to);
        } else {
            for (size_t x = 0; x < w; ++x)
                to[x] = greys[from[x]];
        }
    }
    return 1;
}

int XR_RasterFromBgrRows(std::span<const uint8_t> rows, int32_t width, int32_t height,
                         size_t stride, GreyRaster& raster) {
    if (width < 0 || height < 0) return 0;
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    if (w > std::numeric_limits<size_t>::max() / 3 || stride < 3 * w) return 0;
    if (h > 0 && (stride > rows.size() / h || rows.size() < stride * h)) return 0;
    const int sized = XR_RasterResize(width, height, raster);
    if (sized != 1) return sized;
    return XR_RasterBandFromBgrRows(rows, stride, 0, height, raster);
}
