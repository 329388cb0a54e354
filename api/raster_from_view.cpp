#include "api/raster_from_view.h"

#include <cstdint>
#include <limits>
#include <string>

#include "imaging/grey_rows.h"
#include "imaging/image_loading.h"
#include "imaging/raster.h"

namespace zeph::api {
namespace {

// The decoders' conversions, so that a view gives the values a decoded file
// of the same picture gives.
imaging::detail::Layout LayoutOf(PixelFormat format) {
    switch (format) {
        case PixelFormat::Grey:
            return imaging::detail::Layout::Grey;
        case PixelFormat::Rgb:
            return imaging::detail::Layout::Rgb;
        case PixelFormat::Rgba:
            return imaging::detail::Layout::Rgba;
        case PixelFormat::Bgr:
            return imaging::detail::Layout::Bgr;
        default:
            return imaging::detail::Layout::Bgra;
    }
}

[[noreturn]] void Invalid(const std::string& why) {
    throw ReadError(ReadError::Kind::InvalidArgument, "invalid image view: " + why);
}

[[noreturn]] void OutOfMemory() {
    throw ReadError(ReadError::Kind::OutOfMemory, "out of memory");
}

// Every row's address, data + y * stride, must be computable: the distance
// from the first row to the far end of the last within ptrdiff_t, and the rows
// not wrapping around the address space.
void CheckRowAddresses(const ImageView& view, size_t rowBytes) {
    if (view.stride == std::numeric_limits<std::ptrdiff_t>::min()) Invalid("stride out of range");
    const auto step = static_cast<uint64_t>(view.stride < 0 ? -view.stride : view.stride);
    if (step < rowBytes) Invalid("stride shorter than a row");
    const uint64_t rowsAfterFirst = uint64_t(view.height) - 1;
    constexpr auto kMostBytes = static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max());
    if (rowsAfterFirst > (kMostBytes - rowBytes) / step) {
        Invalid("stride times height overflows");
    }
    const uint64_t reach = rowsAfterFirst * step;
    const auto first = reinterpret_cast<uintptr_t>(view.data);
    const bool wraps = view.stride < 0
                           ? first < reach
                           : first > std::numeric_limits<uintptr_t>::max() - reach - rowBytes;
    if (wraps) Invalid("rows beyond the address space");
}

}  // namespace

void RasterFromView(const ImageView& view, GreyRaster& raster) {
    if (view.format < PixelFormat::Grey || view.format > PixelFormat::Rgba) {
        Invalid("unknown pixel format");
    }
    const auto pixelBytes = static_cast<size_t>(BytesPerPixel(view.format));
    if (view.width <= 0 || view.height <= 0) Invalid("width and height must be positive");
    if (!view.data) Invalid("no pixels");
    if (uint64_t(view.width) * uint64_t(view.height) > imaging::kMaxImagePixels) {
        throw ReadError(ReadError::Kind::TooLarge, std::string(imaging::detail::kTooLarge) + " (" +
                                                       std::to_string(view.width) + " x " +
                                                       std::to_string(view.height) + " pixels)");
    }
    const size_t rowBytes = size_t(view.width) * pixelBytes;
    CheckRowAddresses(view, rowBytes);

    if (XR_RasterResize(view.width, view.height, raster) != 1) OutOfMemory();
    // Each row straight to grey values: no 24-bit copy in between.
    const imaging::detail::Layout layout = LayoutOf(view.format);
    const auto width = static_cast<size_t>(view.width);
    for (int32_t y = 0; y < view.height; ++y) {
        imaging::GreyRow(layout, view.data + std::ptrdiff_t(y) * view.stride, view.width,
                         raster.values.get() + size_t(y) * width);
    }
}

}  // namespace zeph::api
