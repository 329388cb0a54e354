// TIFF through libtiff: every page (directory) in turn, each read whole as
// RGBA, which covers every photometric interpretation the library knows.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "imaging/format_table.h"
#include "imaging/raster.h"
#include "imaging/shared_library.h"
#include "imaging/tiff_library.h"

namespace zeph::imaging::detail {
namespace {

struct MemoryFile {
    std::span<const uint8_t> bytes;
    uint64_t position = 0;
};

tmsize_t ReadMemory(thandle_t handle, void* buffer, tmsize_t count) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (count < 0) return -1;
    const uint64_t left =
        file->position < file->bytes.size() ? file->bytes.size() - file->position : 0;
    const auto n = static_cast<size_t>(std::min<uint64_t>(left, uint64_t(count)));
    if (n) std::memcpy(buffer, file->bytes.data() + file->position, n);
    file->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteNothing(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t SeekMemory(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    // Offsets wrap as unsigned numbers; a position past the end reads nothing.
    switch (whence) {
        case SEEK_SET:
            file->position = offset;
            break;
        case SEEK_CUR:
            file->position += offset;
            break;
        case SEEK_END:
            file->position = file->bytes.size() + offset;
            break;
        default:
            return static_cast<toff_t>(-1);
    }
    return file->position;
}

int CloseMemory(thandle_t) {
    return 0;
}

toff_t MemorySize(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->bytes.size();
}

int MapNothing(thandle_t, void**, toff_t*) {
    return 0;
}

void UnmapNothing(thandle_t, void*, toff_t) {}

// Keeps the first error of one file as its reason.
int KeepFirstError(TIFF*, void* user, const char*, const char* format, va_list arguments) {
    auto* message = static_cast<std::string*>(user);
    if (message->empty()) {
        char text[256];
        std::vsnprintf(text, sizeof text, format, arguments);
        *message = text;
    }
    return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// The library's process-wide handlers print to the standard error stream; the
// loader reports through its error text instead. Set once, before first use.
void SilenceTiffOnce(const TiffLibrary& t) {
    [[maybe_unused]] static const bool silenced = [&t] {
        t.setErrorHandler(nullptr);
        t.setWarningHandler(nullptr);
        return true;
    }();
}

// The most decoded bytes `stored` bytes of strips or tiles can give with that
// compression, for `rows` rows; no limit for codings without a known floor.
uint64_t MostDecodedBytes(uint16_t compression, uint64_t stored, uint64_t rowBytes, uint64_t rows) {
    switch (compression) {
        case 1:  // none
            return stored;
        case 32773:  // PackBits: two bytes repeat one up to 128 times
            return SaturatingProduct(stored, 64) + 128;
        case 5:  // LZW: codes of 9 bits or more, strings of at most 4096 bytes
            return SaturatingProduct(stored * 8 / 9 + 1, 4096);
        case 8:
        case 32946:  // deflate
            return SaturatingProduct(stored, 1032) + 1024;
        case 2:
        case 3:
        case 4:  // fax codings spend at least a bit on a row
            return SaturatingProduct(std::min(SaturatingProduct(stored, 8), rows), rowBytes);
        default:
            return std::numeric_limits<uint64_t>::max();
    }
}

// Whether the page's strips or tiles, as far as they lie in the file,
// hold enough data for its size. Sizes are within the pixel limit.
bool StripsCanFill(const TiffLibrary& t, TIFF* tiff, uint64_t fileSize, uint32_t width,
                   uint32_t height) {
    uint16_t compression = 1, bits = 1;
    t.getFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    t.getFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    const bool tiled = t.isTiled(tiff);
    const uint32_t count = tiled ? t.numberOfTiles(tiff) : t.numberOfStrips(tiff);
    uint64_t* offsets = nullptr;
    uint64_t* sizes = nullptr;
    if (!t.getField(tiff, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) ||
        !t.getField(tiff, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &sizes) ||
        !offsets || !sizes) {
        return true;  // the library reports what is missing
    }
    uint64_t stored = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (offsets[i] < fileSize) stored += std::min(sizes[i], fileSize - offsets[i]);
    }
    // Whatever the samples, a row holds at least one sample of each pixel.
    const uint64_t rowBytes = (uint64_t(width) * std::max<uint16_t>(bits, 1) + 7) / 8;
    return rowBytes * height <= MostDecodedBytes(compression, stored, rowBytes, height);
}

bool Sniff(std::span<const uint8_t> bytes) {
    // Classic TIFF, and BigTIFF which the same library reads.
    static constexpr uint8_t kSignatures[4][4] = {
        {'I', 'I', 42, 0}, {'M', 'M', 0, 42}, {'I', 'I', 43, 0}, {'M', 'M', 0, 43}};
    for (const auto& signature : kSignatures) {
        if (bytes.size() >= 4 && std::equal(signature, signature + 4, bytes.begin())) return true;
    }
    return false;
}

class TiffPages final : public PageDecoder {
  public:
    explicit TiffPages(std::span<const uint8_t> bytes) : file_{bytes} {}

    bool Open(std::string& error) {
        lib_ = LoadTiff(error);
        if (!lib_) {
            error = "TIFF: " + error;
            return false;
        }
        const TiffLibrary& t = *lib_;
        SilenceTiffOnce(t);
        const std::unique_ptr<TIFFOpenOptions, ReleaseWith<TIFFOpenOptions>> options(
            t.optionsAlloc(), {t.optionsFree});
        if (!options) {
            error = kOutOfMemory;
            return false;
        }
        t.optionsSetErrorHandler(options.get(), KeepFirstError, &message_);
        t.optionsSetWarningHandler(options.get(), IgnoreWarning, nullptr);
        // Bounds what the library allocates for a strip or tile of a crafted
        // file; the largest picture accepted needs less.
        t.optionsSetMaxSingleAllocation(options.get(), tmsize_t{1} << 30);
        // "m": no mapping, the bytes are read through the callbacks.
        tiff_ = {t.clientOpen("image", "rm", &file_, ReadMemory, WriteNothing, SeekMemory,
                              CloseMemory, MemorySize, MapNothing, UnmapNothing, options.get()),
                 {t.close}};
        if (tiff_) return true;
        Failed("cannot open the file", error);
        return false;
    }

    std::optional<Raster> Next(std::string& error) override {
        if (!NextDirectory(error)) return std::nullopt;
        return Page(3, error);
    }

    // A sink that takes whole pictures gets a page of greys as one.
    bool NextInto(RowSink& sink, std::string& error) override {
        if (!NextDirectory(error)) return false;
        std::optional<Raster> raster = Page(sink.TakesWholePictures() && GreyPage() ? 1 : 3, error);
        return raster && IntoSink(std::move(*raster), sink, error);
    }

  private:
    // Moves to the next page's directory (the first page's is open): false at
    // the end, `error` empty, or with the reason.
    bool NextDirectory(std::string& error) {
        if (pages_ > 0) {
            if (lib_->lastDirectory(tiff_.get())) return false;
            message_.clear();
            if (!lib_->readDirectory(tiff_.get())) {
                Failed("damaged page directory", error);
                return false;
            }
        }
        ++pages_;
        return true;
    }

    // Whether the page holds one sample a pixel of grey, which the library
    // gives as equal red, green and blue.
    bool GreyPage() {
        uint16_t photometric = 0;
        uint16_t samples = 1;
        if (!lib_->getField(tiff_.get(), TIFFTAG_PHOTOMETRIC, &photometric)) return false;
        lib_->getFieldDefaulted(tiff_.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
        return samples == 1 &&
               (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
    }

    std::nullopt_t Failed(const char* fallback, std::string& error) {
        error = "TIFF: " + (message_.empty() ? std::string(fallback) : message_);
        return std::nullopt;
    }

    // The page as a raster of 3 channels, or of 1 for a grey page.
    std::optional<Raster> Page(int32_t channels, std::string& error) {
        const TiffLibrary& t = *lib_;
        TIFF* tiff = tiff_.get();
        uint32_t width = 0, height = 0;
        if (!t.getField(tiff, TIFFTAG_IMAGEWIDTH, &width) ||
            !t.getField(tiff, TIFFTAG_IMAGELENGTH, &height)) {
            return Failed("no image size", error);
        }
        if (!CheckImageSize(width, height, error)) return std::nullopt;
        if (!StripsCanFill(t, tiff, file_.bytes.size(), width, height)) {
            error = "TIFF: too little data for the picture's size";
            return std::nullopt;
        }
        char reason[1024] = {};
        if (!t.rgbaImageOk(tiff, reason)) {
            message_ = reason;
            return Failed("unsupported picture", error);
        }
        auto raster = NewRaster(width, height, channels, error);
        if (!raster) return std::nullopt;
        const size_t count = size_t(width) * height;
        std::unique_ptr<uint32_t[]> rgba(new (std::nothrow) uint32_t[count]);
        if (!rgba) {
            error = kOutOfMemory;
            return std::nullopt;
        }
        if (!t.readRgbaImage(tiff, width, height, rgba.get(), ORIENTATION_BOTLEFT, 1)) {
            return Failed("damaged picture", error);
        }
        // The rows come bottom first, like the raster's, and the library gives
        // colours premultiplied by alpha: the picture already flattened onto
        // black.
        for (uint32_t y = 0; y < height; ++y) {
            const uint32_t* source = rgba.get() + size_t(y) * width;
            uint8_t* target = raster->pixels.get() + size_t(y) * raster->stride;
            if (raster->channels == 1) {
                for (uint32_t x = 0; x < width; ++x)
                    target[x] = static_cast<uint8_t>(TIFFGetR(source[x]));
                continue;
            }
            for (uint32_t x = 0; x < width; ++x, target += 3) {
                target[0] = static_cast<uint8_t>(TIFFGetB(source[x]));
                target[1] = static_cast<uint8_t>(TIFFGetG(source[x]));
                target[2] = static_cast<uint8_t>(TIFFGetR(source[x]));
            }
        }
        return raster;
    }

    MemoryFile file_;
    std::string message_;  // the first error of the current page
    const TiffLibrary* lib_ = nullptr;
    std::unique_ptr<TIFF, ReleaseWith<TIFF>> tiff_;
    int pages_ = 0;
};

}  // namespace

const ImageFormat kTiffFormat = {"TIFF", Sniff,
                                 [](std::span<const uint8_t> bytes, const DecodeSettings&,
                                    std::string& error) -> std::unique_ptr<PageDecoder> {
                                     auto pages = std::make_unique<TiffPages>(bytes);
                                     if (!pages->Open(error)) return nullptr;
                                     return pages;
                                 }};

}  // namespace zeph::imaging::detail
