#include "api/raster_from_view.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/image_loading.h"

namespace zeph::api {
namespace {

// 0 for a value outside the enumeration.
size_t KnownPixelBytes(PixelFormat format) {
    switch (format) {
        case PixelFormat::Grey:
            return 1;
        case PixelFormat::Bgr:
        case PixelFormat::Rgb:
            return 3;
        case PixelFormat::Bgra:
        case PixelFormat::Rgba:
            return 4;
    }
    return 0;
}

// Transparency onto black, rounded as the image decoders round it.
uint8_t OnBlack(uint8_t colour, uint8_t alpha) {
    return static_cast<uint8_t>((colour * alpha + 127) / 255);
}

// One row of the view as blue-green-red.
void ToBgr(PixelFormat format, const uint8_t* source, int32_t width, uint8_t* target) {
    const auto count = static_cast<size_t>(width);
    switch (format) {
        case PixelFormat::Grey:
            for (size_t x = 0; x < count; ++x)
                target[3 * x] = target[3 * x + 1] = target[3 * x + 2] = source[x];
            break;
        case PixelFormat::Bgr:
            break;  // read in place
        case PixelFormat::Rgb:
            for (size_t x = 0; x < count; ++x) {
                target[3 * x] = source[3 * x + 2];
                target[3 * x + 1] = source[3 * x + 1];
                target[3 * x + 2] = source[3 * x];
            }
            break;
        case PixelFormat::Bgra:
        case PixelFormat::Rgba: {
            const bool rgba = format == PixelFormat::Rgba;
            for (size_t x = 0; x < count; ++x) {
                const uint8_t* p = source + 4 * x;
                target[3 * x] = OnBlack(p[rgba ? 2 : 0], p[3]);
                target[3 * x + 1] = OnBlack(p[1], p[3]);
                target[3 * x + 2] = OnBlack(p[rgba ? 0 : 2], p[3]);
            }
            break;
        }
    }
}

[[noreturn]] void Invalid(const std::string& why) {
    throw ReadError(ReadError::Kind::InvalidArgument, "invalid image view: " + why);
}

[[noreturn]] void OutOfMemory() {
    throw ReadError(ReadError::Kind::OutOfMemory, "out of memory");
}

}  // namespace

void RasterFromView(const ImageView& view, GreyRaster& raster) {
    const size_t pixelBytes = KnownPixelBytes(view.format);
    if (pixelBytes == 0) Invalid("unknown pixel format");
    if (view.width <= 0 || view.height <= 0) Invalid("width and height must be positive");
    if (!view.data) Invalid("no pixels");
    if (uint64_t(view.width) * uint64_t(view.height) > imaging::kMaxImagePixels) {
        throw ReadError(ReadError::Kind::TooLarge, "image too large (" +
                                                       std::to_string(view.width) + " x " +
                                                       std::to_string(view.height) + " pixels)");
    }
    const size_t rowBytes = size_t(view.width) * pixelBytes;
    if (size_t(std::llabs(view.stride)) < rowBytes) Invalid("stride shorter than a row");

    if (XR_RasterResize(view.width, view.height, raster) != 1) OutOfMemory();
    const size_t bgrBytes = size_t(view.width) * 3;
    if (view.format == PixelFormat::Bgr && view.stride < 0) {
        // Rows stored bottom first, as decoders and bitmaps keep them: one band
        // in memory order, the engine's own conversion.
        const size_t stride = size_t(-view.stride);
        const uint8_t* bottom = view.data + std::ptrdiff_t(view.height - 1) * view.stride;
        XR_RasterBandFromBgrRows({bottom, stride * size_t(view.height - 1) + bgrBytes}, stride, 0,
                                 view.height, raster);
        return;
    }
    std::vector<uint8_t> bgr;
    if (view.format != PixelFormat::Bgr) bgr.resize(bgrBytes);
    // The raster's rows are counted from the bottom; the view's from the top.
    for (int32_t y = 0; y < view.height; ++y) {
        const uint8_t* row = view.data + std::ptrdiff_t(y) * view.stride;
        const uint8_t* source = row;
        if (view.format != PixelFormat::Bgr) {
            ToBgr(view.format, row, view.width, bgr.data());
            source = bgr.data();
        }
        XR_RasterBandFromBgrRows({source, bgrBytes}, bgrBytes, view.height - 1 - y, 1, raster);
    }
}

void RasterFromBgrRows(std::span<const uint8_t> rows, int32_t width, int32_t height, size_t stride,
                       GreyRaster& raster) {
    const int status = XR_RasterFromBgrRows(rows, width, height, stride, raster);
    if (status < 0) OutOfMemory();
    if (status == 0) Invalid("rows do not fit the size");
}

}  // namespace zeph::api
