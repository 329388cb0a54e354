// GIF: the first frame only, composited on a black screen.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/image_formats.h"
#include "imaging/least_data.h"

namespace zeph::imaging::detail {
namespace {

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
    void operator()(GifFileType* gif) const {
        int code = 0;
        DGifCloseFile(gif, &code);
    }
};

std::string ErrorText(int code) {
    const char* text = GifErrorString(code);
    return std::string("GIF: ") + (text ? text : "cannot decode");
}

// Skips extensions up to the first frame; the graphic control extension before
// it names its transparent colour.
bool SkipToFirstFrame(GifFileType* gif, int& transparent, std::string& error) {
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            error = ErrorText(gif->Error);
            return false;
        }
        if (type == IMAGE_DESC_RECORD_TYPE) return true;
        if (type == TERMINATE_RECORD_TYPE) {
            error = "GIF: no frame";
            return false;
        }
        if (type != EXTENSION_RECORD_TYPE) continue;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
            error = ErrorText(gif->Error);
            return false;
        }
        GraphicsControlBlock control{};
        if (code == GRAPHICS_EXT_FUNC_CODE && block &&
            DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
            transparent = control.TransparentColor;
        }
        while (block) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                error = ErrorText(gif->Error);
                return false;
            }
        }
    }
}

}  // namespace

std::optional<Raster> DecodeGif(std::span<const uint8_t> bytes, std::string& error) {
    MemoryReader reader{bytes};
    int code = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadMemory, &code));
    if (!gif) {
        error = ErrorText(code);
        return std::nullopt;
    }
    int transparent = NO_TRANSPARENT_COLOR;
    if (!SkipToFirstFrame(gif.get(), transparent, error)) return std::nullopt;
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
        error = ErrorText(gif->Error);
        return std::nullopt;
    }
    const GifImageDesc& frame = gif->Image;
    if (!CheckImageSize(frame.Width, frame.Height, error)) return std::nullopt;
    const uint64_t framePixels = uint64_t(frame.Width) * uint64_t(frame.Height);
    if (framePixels > GifMostPixels(bytes.size() - reader.position)) {
        error = "GIF: too little data for the frame's size";
        return std::nullopt;
    }
    // A screen of size 0 (written by some encoders) is taken to be the frame's extent.
    int64_t screenWidth = gif->SWidth > 0 ? gif->SWidth : int64_t(frame.Left) + frame.Width;
    int64_t screenHeight = gif->SHeight > 0 ? gif->SHeight : int64_t(frame.Top) + frame.Height;
    if (!CheckImageSize(screenWidth, screenHeight, error)) return std::nullopt;
    // The frame's place on a screen far larger than itself is given up: the
    // picture is then the frame alone.
    int64_t left = frame.Left, top = frame.Top;
    if (!ScreenWorthKeeping(uint64_t(screenWidth) * uint64_t(screenHeight), framePixels)) {
        screenWidth = frame.Width;
        screenHeight = frame.Height;
        left = top = 0;
    }
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!colours || !colours->Colors) {
        error = "GIF: no colour table";
        return std::nullopt;
    }
    auto raster = NewRaster(screenWidth, screenHeight, error);
    if (!raster) return std::nullopt;
    std::memset(raster->pixels.get(), 0, raster->Size());  // outside the frame: black
    std::unique_ptr<GifPixelType[]> line(new (std::nothrow) GifPixelType[size_t(frame.Width)]);
    if (!line) {
        error = "out of memory";
        return std::nullopt;
    }

    // Rows arrive in the order stored; interlaced frames store every 8th row
    // from 0, every 8th from 4, every 4th from 2, then every 2nd from 1.
    static constexpr int kPassStart[] = {0, 4, 2, 1};
    static constexpr int kPassStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? kPassStart[pass] : 0;
        const int step = frame.Interlace ? kPassStep[pass] : 1;
        for (int row = start; row < frame.Height; row += step) {
            if (DGifGetLine(gif.get(), line.get(), frame.Width) == GIF_ERROR) {
                error = ErrorText(gif->Error);
                return std::nullopt;
            }
            const int64_t y = top + row;
            const int64_t visible = std::min<int64_t>(frame.Width, raster->width - left);
            if (y >= raster->height || visible <= 0) continue;
            uint8_t* target = raster->RowFromTop(static_cast<int32_t>(y)) + size_t(left) * 3;
            for (int64_t x = 0; x < visible; ++x, target += 3) {
                const int index = line[x];
                if (index == transparent || index >= colours->ColorCount) continue;
                const GifColorType& colour = colours->Colors[index];
                target[0] = colour.Blue;
                target[1] = colour.Green;
                target[2] = colour.Red;
            }
        }
    }
    return raster;
}

}  // namespace zeph::imaging::detail
