// The 24-bit raster every decoder fills, and the pixel conversions into it.
#include "imaging/raster.h"

#include <cstring>
#include <memory>
#include <new>

#include "engine/core/avx2_clones.h"
#include "engine/core/huge_pages.h"
#include "imaging/image_loading.h"

namespace zeph::imaging::detail {

bool CheckImageSize(int64_t width, int64_t height, std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "image has no pixels";
        return false;
    }
    // Each side is checked first so that the product cannot overflow.
    if (uint64_t(width) > kMaxImagePixels || uint64_t(height) > kMaxImagePixels ||
        uint64_t(width) * uint64_t(height) > kMaxImagePixels) {
        error = std::string(kTooLarge) + " (" + std::to_string(width) + " x " +
                std::to_string(height) + " pixels)";
        return false;
    }
    return true;
}

std::optional<Raster> NewRaster(int64_t width, int64_t height, std::string& error) {
    return NewRaster(width, height, 3, error);
}

std::optional<Raster> NewRaster(int64_t width, int64_t height, int32_t channels,
                                std::string& error) {
    if (!CheckImageSize(width, height, error)) return std::nullopt;
    Raster raster;
    raster.reserved = DecodedPixelBudget().Reserve(uint64_t(width) * uint64_t(height));
    raster.width = static_cast<int32_t>(width);
    raster.height = static_cast<int32_t>(height);
    raster.channels = channels == 1 ? 1 : 3;
    raster.stride = PaddedRowBytes(width, raster.channels);
    // Left uninitialised: the decoders write every pixel, and untouched pages
    // of a large buffer cost nothing. The row padding is cleared on the way
    // into the bitmap.
    raster.pixels.reset(new (std::nothrow) uint8_t[raster.Size()]);
    if (!raster.pixels) {
        error = kOutOfMemory;
        return std::nullopt;
    }
    AdviseHugePages(raster.pixels.get(), raster.Size());
    return raster;
}

std::optional<Raster> NewBlackRaster(int64_t width, int64_t height, std::string& error) {
    std::optional<Raster> raster = NewRaster(width, height, error);
    if (raster) std::memset(raster->pixels.get(), 0, raster->Size());
    return raster;
}

namespace {

using Bytes = uint8_t __attribute__((vector_size(16)));

// Red and blue of `count` three-byte pixels swapped, five pixels a step: each
// step loads and stores sixteen bytes, the last of them the next pixel's
// first, which the next step writes again; no step reaches past the row.
ZEPH_AVX2_CLONES void SwapRedAndBlue(const uint8_t* source, size_t count, uint8_t* target) {
    size_t x = 0;
    for (; x + 6 <= count; x += 5) {
        Bytes v;
        std::memcpy(&v, source + 3 * x, sizeof v);
        const Bytes swapped =
            __builtin_shufflevector(v, v, 2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
        std::memcpy(target + 3 * x, &swapped, sizeof swapped);
    }
    for (; x < count; ++x) {
        target[3 * x] = source[3 * x + 2];
        target[3 * x + 1] = source[3 * x + 1];
        target[3 * x + 2] = source[3 * x];
    }
}

// Each grey of `count` written three times, five greys a step as above.
ZEPH_AVX2_CLONES void TripleGreys(const uint8_t* source, size_t count, uint8_t* target) {
    size_t x = 0;
    for (; x + 16 <= count; x += 5) {
        Bytes v;
        std::memcpy(&v, source + x, sizeof v);
        const Bytes tripled =
            __builtin_shufflevector(v, v, 0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
        std::memcpy(target + 3 * x, &tripled, sizeof tripled);
    }
    for (; x < count; ++x)
        target[3 * x] = target[3 * x + 1] = target[3 * x + 2] = source[x];
}

}  // namespace

void ConvertRow(Layout layout, const uint8_t* source, int32_t width, uint8_t* target) {
    // An empty row may come without its buffers.
    if (width <= 0) return;
    const auto count = static_cast<size_t>(width);
    switch (layout) {
        case Layout::Grey:
            TripleGreys(source, count, target);
            break;
        case Layout::GreyAlpha:
            for (size_t x = 0; x < count; ++x) {
                const uint8_t grey = OnBlack(source[2 * x], source[2 * x + 1]);
                target[3 * x] = target[3 * x + 1] = target[3 * x + 2] = grey;
            }
            break;
        case Layout::Rgb:
            SwapRedAndBlue(source, count, target);
            break;
        case Layout::Rgba:
            for (size_t x = 0; x < count; ++x) {
                const uint8_t* p = source + 4 * x;
                target[3 * x] = OnBlack(p[2], p[3]);
                target[3 * x + 1] = OnBlack(p[1], p[3]);
                target[3 * x + 2] = OnBlack(p[0], p[3]);
            }
            break;
        case Layout::Bgr:
            std::memcpy(target, source, 3 * count);
            break;
        case Layout::Bgra:
            for (size_t x = 0; x < count; ++x) {
                const uint8_t* p = source + 4 * x;
                target[3 * x] = OnBlack(p[0], p[3]);
                target[3 * x + 1] = OnBlack(p[1], p[3]);
                target[3 * x + 2] = OnBlack(p[2], p[3]);
            }
            break;
    }
}

}  // namespace zeph::imaging::detail

namespace zeph::imaging::detail {

bool RasterSink::Begin(int32_t width, int32_t height, std::string& error) {
    raster_.reset();
    raster_ = NewRaster(width, height, error);
    return raster_.has_value();
}

void RasterSink::Rows(Layout layout, const uint8_t* first, std::ptrdiff_t stride, int32_t top,
                      int32_t count) {
    if (!raster_ || top < 0 || count < 0 || top > raster_->height - count) return;
    for (int32_t k = 0; k < count; ++k)
        ConvertRow(layout, first + std::ptrdiff_t(k) * stride, raster_->width,
                   raster_->RowFromTop(top + k));
}

bool IntoSink(Raster&& raster, RowSink& sink, std::string& error) {
    if (sink.Adopt(raster)) return true;
    // The sink takes the picture's place in the budget: holding both
    // reservations could wait for ever on a picture of half the cap.
    raster.reserved = {};
    if (!sink.Begin(raster.width, raster.height, error)) return false;
    sink.Rows(raster.channels == 1 ? Layout::Grey : Layout::Bgr, raster.RowFromTop(0),
              -static_cast<std::ptrdiff_t>(raster.stride), 0, raster.height);
    return true;
}

}  // namespace zeph::imaging::detail
