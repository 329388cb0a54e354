// WebP through libwebp: a still picture, or every frame of an animation in
// turn, composed on its canvas as a viewer shows it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/animation_screen.h"
#include "imaging/format_table.h"
#include "imaging/raster.h"
#include "imaging/shared_library.h"
#include "imaging/webp_library.h"

namespace zeph::imaging::detail {
namespace {

bool Sniff(std::span<const uint8_t> bytes) {
    return bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
           std::memcmp(bytes.data() + 8, "WEBP", 4) == 0;
}

const char* WebpStatusText(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_OUT_OF_MEMORY:
            return "out of memory";
        case VP8_STATUS_INVALID_PARAM:
            return "invalid parameter";
        case VP8_STATUS_BITSTREAM_ERROR:
            return "damaged data";
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            return "unsupported feature";
        case VP8_STATUS_NOT_ENOUGH_DATA:
            return "truncated data";
        default:
            return "cannot decode";
    }
}

// A still picture: one page.
std::optional<Raster> DecodeStill(std::span<const uint8_t> bytes, std::string& error) {
    const WebpLibrary* webp = LoadWebp(error);
    if (!webp) {
        error = "WebP: " + error;
        return std::nullopt;
    }
    WebPBitstreamFeatures features{};
    if (const VP8StatusCode status = webp->GetFeatures(bytes.data(), bytes.size(), &features);
        status != VP8_STATUS_OK) {
        error = std::string("WebP: ") + WebpStatusText(status);
        return std::nullopt;
    }
    if (!CheckImageSize(features.width, features.height, error)) return std::nullopt;
    auto raster = NewRaster(features.width, features.height, error);
    if (!raster) return std::nullopt;

    WebPDecoderConfig config;
    if (!webp->InitDecoderConfig(&config)) {
        error = "WebP: library version mismatch";
        return std::nullopt;
    }
    const std::unique_ptr<WebPDecBuffer, ReleaseWith<WebPDecBuffer>> output(&config.output,
                                                                            {webp->freeDecBuffer});
    config.options.flip = 1;  // bottom row first
    config.output.is_external_memory = 1;
    std::unique_ptr<uint8_t[]> bgra;
    const size_t alphaRowBytes = size_t(raster->width) * 4;
    if (!features.has_alpha) {
        // Straight into the raster.
        config.output.colorspace = MODE_BGR;
        config.output.u.RGBA = {raster->pixels.get(), static_cast<int>(raster->stride),
                                raster->Size()};
    } else {
        bgra.reset(new (std::nothrow) uint8_t[alphaRowBytes * size_t(raster->height)]);
        if (!bgra) {
            error = kOutOfMemory;
            return std::nullopt;
        }
        config.output.colorspace = MODE_BGRA;
        config.output.u.RGBA = {bgra.get(), static_cast<int>(alphaRowBytes),
                                alphaRowBytes * size_t(raster->height)};
    }
    if (const VP8StatusCode status = webp->decode(bytes.data(), bytes.size(), &config);
        status != VP8_STATUS_OK) {
        error = std::string("WebP: ") + WebpStatusText(status);
        return std::nullopt;
    }
    if (bgra) {
        for (int32_t y = 0; y < raster->height; ++y) {
            ConvertRow(Layout::Bgra, bgra.get() + size_t(y) * alphaRowBytes, raster->width,
                       raster->pixels.get() + size_t(y) * raster->stride);
        }
    }
    return raster;
}

// Non-premultiplied colour `source` over `target`, both blue-green-red-alpha.
void BlendOver(const uint8_t* source, uint8_t* target) {
    const uint32_t sourceAlpha = source[3];
    if (sourceAlpha == 255) {
        std::memcpy(target, source, 4);
        return;
    }
    if (sourceAlpha == 0) return;
    const uint32_t beneath = target[3] * (255 - sourceAlpha) / 255;
    const uint32_t alpha = sourceAlpha + beneath;
    for (int c = 0; c < 3; ++c)
        target[c] = uint8_t((source[c] * sourceAlpha + target[c] * beneath) / alpha);
    target[3] = uint8_t(alpha);
}

class WebpAnimation final : public PageDecoder {
  public:
    WebpAnimation(std::span<const uint8_t> bytes, bool allPages, const WebpLibrary& webp)
        : data_{bytes.data(), bytes.size()}, allPages_(allPages), webp_(webp) {}

    bool Open(std::string& error) {
        demux_ = LoadWebpDemux(error);
        if (!demux_) {
            error = "WebP: " + error;
            return false;
        }
        demuxer_ = {demux_->Demux(&data_), {demux_->demuxDelete}};
        if (!demuxer_) {
            error = "WebP: damaged animation";
            return false;
        }
        canvasWidth_ = demux_->getInfo(demuxer_.get(), WEBP_FF_CANVAS_WIDTH);
        canvasHeight_ = demux_->getInfo(demuxer_.get(), WEBP_FF_CANVAS_HEIGHT);
        frameCount_ = static_cast<int>(demux_->getInfo(demuxer_.get(), WEBP_FF_FRAME_COUNT));
        return true;
    }

    std::optional<Raster> Next(std::string& error) override {
        if (index_ >= frameCount_) {
            if (index_ == 0) error = "WebP: animation without frames";
            return std::nullopt;
        }
        WebPIterator frame{};
        if (!demux_->getFrame(demuxer_.get(), ++index_, &frame)) {
            error = "WebP: damaged animation";
            return std::nullopt;
        }
        const std::unique_ptr<WebPIterator, ReleaseWith<WebPIterator>> release(
            &frame, {demux_->releaseIterator});
        // The demuxer has checked that the frame lies on the canvas.
        if (frame.width <= 0 || frame.height <= 0 || frame.x_offset + frame.width > canvasWidth_ ||
            frame.y_offset + frame.height > canvasHeight_) {
            error = "WebP: frame outside the canvas";
            return std::nullopt;
        }
        if (!CheckImageSize(frame.width, frame.height, error)) return std::nullopt;
        if (index_ == 1) {
            keepCanvas_ = ScreenWorthKeeping(uint64_t(canvasWidth_) * uint64_t(canvasHeight_),
                                             uint64_t(frame.width) * uint64_t(frame.height));
            if (keepCanvas_ && !CheckImageSize(canvasWidth_, canvasHeight_, error)) {
                return std::nullopt;
            }
        }
        const size_t rowBytes = size_t(frame.width) * 4;
        try {
            bgra_.resize(rowBytes * size_t(frame.height));
        } catch (const std::bad_alloc&) {
            error = kOutOfMemory;
            return std::nullopt;
        }
        if (!webp_.decodeBgraInto(frame.fragment.bytes, frame.fragment.size, bgra_.data(),
                                  bgra_.size(), static_cast<int>(rowBytes))) {
            error = "WebP: damaged frame";
            return std::nullopt;
        }
        if (!keepCanvas_) return Alone(frame, 0, 0, frame.width, frame.height, error);
        if (!allPages_)
            return Alone(frame, frame.x_offset, frame.y_offset, canvasWidth_, canvasHeight_, error);
        return OnCanvas(frame, error);
    }

  private:
    // The frame by itself at (left, top) on a black picture of that size.
    std::optional<Raster> Alone(const WebPIterator& frame, int left, int top, int64_t width,
                                int64_t height, std::string& error) {
        auto raster = NewBlackRaster(width, height, error);
        if (!raster) return std::nullopt;
        const size_t rowBytes = size_t(frame.width) * 4;
        for (int y = 0; y < frame.height; ++y) {
            ConvertRow(Layout::Bgra, bgra_.data() + size_t(y) * rowBytes, frame.width,
                       raster->RowFromTop(top + y) + size_t(left) * 3);
        }
        return raster;
    }

    // The last frame disposed of as it asked, this one blended or copied onto
    // the canvas, and the canvas flattened onto black.
    std::optional<Raster> OnCanvas(const WebPIterator& frame, std::string& error) {
        const size_t canvasRow = size_t(canvasWidth_) * 4;
        if (canvas_.empty()) {
            try {
                canvas_.assign(canvasRow * size_t(canvasHeight_), 0);  // transparent
            } catch (const std::bad_alloc&) {
                error = kOutOfMemory;
                return std::nullopt;
            }
        }
        if (disposeLast_) {
            for (int y = 0; y < lastHeight_; ++y) {
                std::memset(
                    canvas_.data() + size_t(lastTop_ + y) * canvasRow + size_t(lastLeft_) * 4, 0,
                    size_t(lastWidth_) * 4);
            }
        }
        const bool blend = frame.blend_method == WEBP_MUX_BLEND;
        const size_t rowBytes = size_t(frame.width) * 4;
        for (int y = 0; y < frame.height; ++y) {
            const uint8_t* source = bgra_.data() + size_t(y) * rowBytes;
            uint8_t* target = canvas_.data() + size_t(frame.y_offset + y) * canvasRow +
                              size_t(frame.x_offset) * 4;
            if (!blend) {
                std::memcpy(target, source, rowBytes);
                continue;
            }
            for (int x = 0; x < frame.width; ++x)
                BlendOver(source + 4 * x, target + 4 * x);
        }
        disposeLast_ = frame.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND;
        lastLeft_ = frame.x_offset, lastTop_ = frame.y_offset;
        lastWidth_ = frame.width, lastHeight_ = frame.height;
        auto raster = NewRaster(canvasWidth_, canvasHeight_, error);
        if (!raster) return std::nullopt;
        for (int32_t y = 0; y < raster->height; ++y) {
            ConvertRow(Layout::Bgra, canvas_.data() + size_t(y) * canvasRow, raster->width,
                       raster->RowFromTop(y));
        }
        return raster;
    }

    const WebPData data_;
    const bool allPages_;
    const WebpLibrary& webp_;
    const WebpDemuxLibrary* demux_ = nullptr;
    std::unique_ptr<WebPDemuxer, ReleaseWith<WebPDemuxer>> demuxer_;
    int64_t canvasWidth_ = 0, canvasHeight_ = 0;
    int frameCount_ = 0;
    int index_ = 0;  // frames handed out
    bool keepCanvas_ = true;
    std::vector<uint8_t> bgra_;    // the current frame, reused
    std::vector<uint8_t> canvas_;  // only when every frame is wanted
    bool disposeLast_ = false;
    int lastLeft_ = 0, lastTop_ = 0, lastWidth_ = 0, lastHeight_ = 0;
};

std::unique_ptr<PageDecoder> Open(std::span<const uint8_t> bytes, const DecodeSettings& settings,
                                  std::string& error) {
    const WebpLibrary* webp = LoadWebp(error);
    if (!webp) {
        error = "WebP: " + error;
        return nullptr;
    }
    WebPBitstreamFeatures features{};
    if (const VP8StatusCode status = webp->GetFeatures(bytes.data(), bytes.size(), &features);
        status != VP8_STATUS_OK) {
        error = std::string("WebP: ") + WebpStatusText(status);
        return nullptr;
    }
    if (!features.has_animation) return OnePage(bytes, DecodeStill);
    auto animation = std::make_unique<WebpAnimation>(bytes, settings.allPages, *webp);
    if (!animation->Open(error)) return nullptr;
    return animation;
}

}  // namespace

const ImageFormat kWebpFormat = {"WebP", Sniff, Open};

}  // namespace zeph::imaging::detail
