// GIF through giflib: every frame in turn, composed on the screen as a viewer
// shows it (transparent pixels keep what lies beneath, each frame disposed of
// as it asks), the screen black where nothing was drawn.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/animation_screen.h"
#include "imaging/format_table.h"
#include "imaging/gif_library.h"
#include "imaging/raster.h"

namespace zeph::imaging::detail {
namespace {

bool Sniff(std::span<const uint8_t> bytes) {
    return bytes.size() >= 6 && bytes[0] == 'G' && bytes[1] == 'I' && bytes[2] == 'F' &&
           bytes[3] == '8' && (bytes[4] == '7' || bytes[4] == '9') && bytes[5] == 'a';
}

// The most pixels `bytes` of LZW data can give: each code of at least 3 bits
// gives at most 4096 pixels.
uint64_t MostPixels(uint64_t bytes) {
    return SaturatingProduct(bytes * 8 / 3 + 1, 4096);
}

struct MemoryReader {
    std::span<const uint8_t> bytes;
    size_t position = 0;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int count) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    if (count <= 0) return 0;
    const size_t n = std::min(reader->bytes.size() - reader->position, size_t(count));
    std::memcpy(buffer, reader->bytes.data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

struct GifCloser {
    const GifLibrary* gif = nullptr;
    void operator()(GifFileType* file) const {
        int code = 0;
        gif->close(file, &code);
    }
};

std::string ErrorText(const GifLibrary& gif, int code) {
    const char* text = gif.errorText(code);
    return std::string("GIF: ") + (text ? text : "cannot decode");
}

// What the graphic control extension before a frame says of it.
struct FrameControl {
    int transparent = NO_TRANSPARENT_COLOR;
    int disposal = DISPOSAL_UNSPECIFIED;
};

// The part of a frame that lies on the picture it is drawn into.
struct Area {
    int64_t left = 0, top = 0, width = 0, height = 0;
};

class GifPages final : public PageDecoder {
  public:
    GifPages(std::span<const uint8_t> bytes, bool allPages) : reader_{bytes}, allPages_(allPages) {}

    bool Open(std::string& error) {
        lib_ = LoadGif(error);
        if (!lib_) {
            error = "GIF: " + error;
            return false;
        }
        int code = 0;
        gif_ = {lib_->open(&reader_, ReadMemory, &code), GifCloser{lib_}};
        if (!gif_) error = ErrorText(*lib_, code);
        return gif_ != nullptr;
    }

    std::optional<Raster> Next(std::string& error) override {
        FrameControl control;
        bool found = false;
        if (!SkipToFrame(control, found, error)) return std::nullopt;
        if (!found) {
            if (frames_ == 0) error = "GIF: no frame";
            return std::nullopt;
        }
        if (lib_->imageDesc(gif_.get()) == GIF_ERROR) return Failed(error);
        const GifImageDesc frame = gif_->Image;
        if (!CheckImageSize(frame.Width, frame.Height, error)) return std::nullopt;
        const uint64_t framePixels = uint64_t(frame.Width) * uint64_t(frame.Height);
        if (framePixels > MostPixels(reader_.bytes.size() - reader_.position)) {
            error = "GIF: too little data for the frame's size";
            return std::nullopt;
        }
        const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif_->SColorMap;
        if (!colours || !colours->Colors) {
            error = "GIF: no colour table";
            return std::nullopt;
        }
        if (frames_++ == 0 && !ChooseScreen(frame, framePixels, error)) return std::nullopt;
        try {
            line_.resize(size_t(frame.Width));
        } catch (const std::bad_alloc&) {
            error = kOutOfMemory;
            return std::nullopt;
        }

        if (!keepScreen_) {
            auto raster = NewBlackRaster(frame.Width, frame.Height, error);
            if (!raster || !Draw(*raster, frame, 0, 0, *colours, control, error)) {
                return std::nullopt;
            }
            return raster;
        }
        if (!allPages_) {
            auto raster = NewBlackRaster(screen_.width, screen_.height, error);
            if (!raster || !Draw(*raster, frame, frame.Left, frame.Top, *colours, control, error)) {
                return std::nullopt;
            }
            return raster;
        }
        return NextOnScreen(frame, *colours, control, error);
    }

  private:
    std::nullopt_t Failed(std::string& error) const {
        error = ErrorText(*lib_, gif_->Error);
        return std::nullopt;
    }

    // Skips extensions up to the next frame; the graphic control extension
    // before it names its transparent colour and its disposal. `found` stays
    // false at the end of the file.
    bool SkipToFrame(FrameControl& control, bool& found, std::string& error) {
        for (;;) {
            GifRecordType type = UNDEFINED_RECORD_TYPE;
            if (lib_->recordType(gif_.get(), &type) == GIF_ERROR) {
                // Some encoders leave the trailer out: the end after a frame.
                if (frames_ > 0 && reader_.position >= reader_.bytes.size()) return true;
                Failed(error);
                return false;
            }
            if (type == IMAGE_DESC_RECORD_TYPE) {
                found = true;
                return true;
            }
            if (type == TERMINATE_RECORD_TYPE) return true;
            if (type != EXTENSION_RECORD_TYPE) continue;
            int code = 0;
            GifByteType* block = nullptr;
            if (lib_->extension(gif_.get(), &code, &block) == GIF_ERROR) {
                Failed(error);
                return false;
            }
            GraphicsControlBlock gcb{};
            if (code == GRAPHICS_EXT_FUNC_CODE && block &&
                lib_->extensionToGcb(block[0], block + 1, &gcb) == GIF_OK) {
                control.transparent = gcb.TransparentColor;
                control.disposal = gcb.DisposalMode;
            }
            while (block) {
                if (lib_->extensionNext(gif_.get(), &block) == GIF_ERROR) {
                    Failed(error);
                    return false;
                }
            }
        }
    }

    // The first frame decides whether the screen is kept, before the screen's
    // size is checked.
    bool ChooseScreen(const GifImageDesc& frame, uint64_t framePixels, std::string& error) {
        // A screen of size 0 (written by some encoders) is taken to be the
        // first frame's extent.
        const int64_t width = gif_->SWidth > 0 ? gif_->SWidth : int64_t(frame.Left) + frame.Width;
        const int64_t height =
            gif_->SHeight > 0 ? gif_->SHeight : int64_t(frame.Top) + frame.Height;
        keepScreen_ = ScreenWorthKeeping(uint64_t(width) * uint64_t(height), framePixels);
        if (keepScreen_ && !CheckImageSize(width, height, error)) return false;
        screen_.width = static_cast<int32_t>(keepScreen_ ? width : frame.Width);
        screen_.height = static_cast<int32_t>(keepScreen_ ? height : frame.Height);
        return true;
    }

    // The visible part of a frame placed at (left, top) on a picture.
    static Area Visible(const Raster& picture, const GifImageDesc& frame, int64_t left,
                        int64_t top) {
        Area area{left, top, std::min<int64_t>(frame.Width, picture.width - left),
                  std::min<int64_t>(frame.Height, picture.height - top)};
        area.width = std::max<int64_t>(area.width, 0);
        area.height = std::max<int64_t>(area.height, 0);
        return area;
    }

    // Decodes the frame's rows onto `picture` at (left, top): transparent
    // pixels and those off the picture are left as they are.
    bool Draw(Raster& picture, const GifImageDesc& frame, int64_t left, int64_t top,
              const ColorMapObject& colours, const FrameControl& control, std::string& error) {
        const Area area = Visible(picture, frame, left, top);
        // Rows arrive in the order stored; interlaced frames store every 8th
        // row from 0, every 8th from 4, every 4th from 2, then every 2nd from 1.
        static constexpr int kPassStart[] = {0, 4, 2, 1};
        static constexpr int kPassStep[] = {8, 8, 4, 2};
        const int passes = frame.Interlace ? 4 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            const int start = frame.Interlace ? kPassStart[pass] : 0;
            const int step = frame.Interlace ? kPassStep[pass] : 1;
            for (int row = start; row < frame.Height; row += step) {
                if (lib_->line(gif_.get(), line_.data(), frame.Width) == GIF_ERROR) {
                    Failed(error);
                    return false;
                }
                if (row >= area.height) continue;
                uint8_t* target =
                    picture.RowFromTop(static_cast<int32_t>(top + row)) + size_t(left) * 3;
                for (int64_t x = 0; x < area.width; ++x, target += 3) {
                    const int index = line_[size_t(x)];
                    if (index == control.transparent || index >= colours.ColorCount) continue;
                    const GifColorType& colour = colours.Colors[index];
                    target[0] = colour.Blue;
                    target[1] = colour.Green;
                    target[2] = colour.Red;
                }
            }
        }
        return true;
    }

    // Every frame on the kept screen: the last frame disposed of as it asked,
    // this one drawn, and the screen handed out as a copy.
    std::optional<Raster> NextOnScreen(const GifImageDesc& frame, const ColorMapObject& colours,
                                       const FrameControl& control, std::string& error) {
        if (!screen_.pixels) {
            screen_.stride = PaddedRowBytes(screen_.width, 3);
            screen_.pixels.reset(new (std::nothrow) uint8_t[screen_.Size()]);
            if (!screen_.pixels) {
                error = kOutOfMemory;
                return std::nullopt;
            }
            std::memset(screen_.pixels.get(), 0, screen_.Size());
        }
        Dispose();
        const Area area = Visible(screen_, frame, frame.Left, frame.Top);
        disposal_ = control.disposal;
        last_ = area;
        if (disposal_ == DISPOSE_PREVIOUS) {
            try {
                saved_.resize(size_t(area.width) * 3 * size_t(area.height));
            } catch (const std::bad_alloc&) {
                error = kOutOfMemory;
                return std::nullopt;
            }
            ForEachRow(area, [&](uint8_t* row, size_t y) {
                std::memcpy(saved_.data() + y * size_t(area.width) * 3, row,
                            size_t(area.width) * 3);
            });
        }
        if (!Draw(screen_, frame, frame.Left, frame.Top, colours, control, error)) {
            return std::nullopt;
        }
        auto raster = NewRaster(screen_.width, screen_.height, error);
        if (!raster) return std::nullopt;
        std::memcpy(raster->pixels.get(), screen_.pixels.get(), screen_.Size());
        return raster;
    }

    template <typename Visit>
    void ForEachRow(const Area& area, Visit visit) {
        for (int64_t y = 0; y < area.height; ++y) {
            visit(screen_.RowFromTop(static_cast<int32_t>(area.top + y)) + size_t(area.left) * 3,
                  size_t(y));
        }
    }

    // The last frame's area back to the black background, or to what lay
    // there before it.
    void Dispose() {
        const size_t rowBytes = size_t(last_.width) * 3;
        if (disposal_ == DISPOSE_BACKGROUND) {
            ForEachRow(last_, [&](uint8_t* row, size_t) { std::memset(row, 0, rowBytes); });
        } else if (disposal_ == DISPOSE_PREVIOUS &&
                   saved_.size() == rowBytes * size_t(last_.height)) {
            ForEachRow(last_, [&](uint8_t* row, size_t y) {
                std::memcpy(row, saved_.data() + y * rowBytes, rowBytes);
            });
        }
    }

    MemoryReader reader_;
    const bool allPages_;
    const GifLibrary* lib_ = nullptr;
    std::unique_ptr<GifFileType, GifCloser> gif_;
    std::vector<GifPixelType> line_;  // one frame row, reused
    int frames_ = 0;
    bool keepScreen_ = true;
    Raster screen_;  // the composed screen, only when every frame is wanted
    int disposal_ = DISPOSAL_UNSPECIFIED;
    Area last_;                   // where the last frame lay on the screen
    std::vector<uint8_t> saved_;  // what it covered, when it is to be restored
};

}  // namespace

const ImageFormat kGifFormat = {"GIF", Sniff,
                                [](std::span<const uint8_t> bytes, const DecodeSettings& settings,
                                   std::string& error) -> std::unique_ptr<PageDecoder> {
                                    auto pages =
                                        std::make_unique<GifPages>(bytes, settings.allPages);
                                    if (!pages->Open(error)) return nullptr;
                                    return pages;
                                }};

}  // namespace zeph::imaging::detail
