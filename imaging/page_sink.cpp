#include "imaging/page_sink.h"

#include <cstring>

#include "imaging/raster.h"

namespace zeph::imaging {
namespace {

bool IsGrey(detail::Layout layout) {
    return layout == detail::Layout::Grey || layout == detail::Layout::GreyAlpha;
}

}  // namespace

bool PageSink::Begin(int32_t width, int32_t height, std::string& error) {
    image_.reset();
    decided_ = false;
    // Room for the 24-bit page: a grey page touches only the first third of
    // it, and untouched pages of a large buffer take no memory.
    image_ = detail::NewRaster(width, height, error);
    return image_.has_value();
}

void PageSink::Rows(detail::Layout layout, const uint8_t* first, std::ptrdiff_t stride, int32_t top,
                    int32_t count) {
    if (!image_ || top < 0 || count < 0 || top > image_->height - count) return;
    DecodedImage& image = *image_;
    if (!decided_) {
        decided_ = true;
        if (IsGrey(layout)) {
            image.channels = 1;
            image.stride = PaddedRowBytes(image.width, 1);
        }
    } else if (image.channels == 1 && !IsGrey(layout)) {
        WidenToColour();
    }
    const auto width = static_cast<size_t>(image.width);
    for (int32_t k = 0; k < count; ++k) {
        const uint8_t* source = first + std::ptrdiff_t(k) * stride;
        uint8_t* target = image.RowFromTop(top + k);
        if (image.channels == 3) {
            detail::ConvertRow(layout, source, image.width, target);
        } else if (layout == detail::Layout::Grey) {
            std::memcpy(target, source, width);
        } else {
            for (size_t x = 0; x < width; ++x)
                target[x] = detail::OnBlack(source[2 * x], source[2 * x + 1]);
        }
    }
}

void PageSink::WidenToColour() {
    DecodedImage& image = *image_;
    const size_t greyStride = image.stride;
    const size_t colourStride = PaddedRowBytes(image.width, 3);
    const auto width = static_cast<size_t>(image.width);
    uint8_t* pixels = image.pixels.get();
    // From the last row in memory to the first, each from its last pixel: a
    // row's 24-bit place begins at or after its grey place, and overlaps only
    // grey rows already widened.
    for (size_t row = static_cast<size_t>(image.height); row-- > 0;) {
        const uint8_t* grey = pixels + row * greyStride;
        uint8_t* colour = pixels + row * colourStride;
        for (size_t x = width; x-- > 0;) {
            const uint8_t g = grey[x];
            colour[3 * x] = colour[3 * x + 1] = colour[3 * x + 2] = g;
        }
    }
    image.channels = 3;
    image.stride = colourStride;
}

bool PageSink::Adopt(DecodedImage& image) {
    if (decided_) return false;
    image_ = std::move(image);
    decided_ = true;
    return true;
}

std::optional<DecodedImage> PageSink::Take() {
    if (!decided_) return std::nullopt;
    decided_ = false;
    std::optional<DecodedImage> taken = std::move(image_);
    image_.reset();
    return taken;
}

}  // namespace zeph::imaging
