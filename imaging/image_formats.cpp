// JPEG, PNG, TIFF and WebP decoders over their reference libraries.
#include <png.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "imaging/image_formats.h"
#include "imaging/least_data.h"

namespace zeph::imaging::detail {
namespace {

template <auto Release>
struct Deleter {
    template <typename T>
    void operator()(T* p) const {
        Release(p);
    }
};

// Pixel buffers for decoders that cannot write the raster's layout directly.
std::unique_ptr<uint8_t[]> NewBuffer(size_t bytes, std::string& error) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bytes]);
    if (!buffer) error = "out of memory";
    return buffer;
}

}  // namespace

// ---------------------------------------------------------------------------
// JPEG

std::optional<Raster> DecodeJpeg(std::span<const uint8_t> bytes, std::string& error) {
    std::unique_ptr<void, Deleter<tjDestroy>> decoder(tjInitDecompress());
    if (!decoder) {
        error = "JPEG: cannot start the decoder";
        return std::nullopt;
    }
    // The 2.1 interface takes non-const input it never writes.
    auto* data = const_cast<unsigned char*>(bytes.data());
    const auto size = static_cast<unsigned long>(bytes.size());
    const auto failed = [&] {
        error = std::string("JPEG: ") + tjGetErrorStr2(decoder.get());
        return std::nullopt;
    };
    int width = 0, height = 0, subsampling = 0, colourSpace = 0;
    if (tjDecompressHeader3(decoder.get(), data, size, &width, &height, &subsampling,
                            &colourSpace) != 0) {
        return failed();
    }
    if (!CheckImageSize(width, height, error)) return std::nullopt;
    if (!JpegDataCanFill(bytes, uint64_t(width), uint64_t(height))) {
        error = "JPEG: too little data for the picture's size";
        return std::nullopt;
    }
    auto raster = NewRaster(width, height, error);
    if (!raster) return std::nullopt;
    // Damaged data stops the decoder rather than yielding a partly grey picture;
    // the scan limit keeps crafted progressive files from taking minutes.
    constexpr int kFlags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
    if (colourSpace != TJCS_CMYK && colourSpace != TJCS_YCCK) {
        // Straight into the bitmap's layout: no conversion pass.
        if (tjDecompress2(decoder.get(), data, size, raster->pixels.get(), width,
                          static_cast<int>(raster->stride), height, TJPF_BGR,
                          kFlags | TJFLAG_BOTTOMUP) != 0) {
            return failed();
        }
        return raster;
    }
    // The library gives CMYK as stored: inverted, as CMYK JPEG files keep it, so
    // each colour is its inverted ink times the inverted black.
    const size_t rowBytes = size_t(width) * 4;
    auto cmyk = NewBuffer(rowBytes * size_t(height), error);
    if (!cmyk) return std::nullopt;
    if (tjDecompress2(decoder.get(), data, size, cmyk.get(), width, 0, height, TJPF_CMYK, kFlags) !=
        0) {
        return failed();
    }
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* source = cmyk.get() + size_t(y) * rowBytes;
        uint8_t* target = raster->RowFromTop(y);
        for (int32_t x = 0; x < width; ++x, source += 4, target += 3) {
            target[0] = OnBlack(source[2], source[3]);
            target[1] = OnBlack(source[1], source[3]);
            target[2] = OnBlack(source[0], source[3]);
        }
    }
    return raster;
}

// ---------------------------------------------------------------------------
// PNG

std::optional<Raster> DecodePng(std::span<const uint8_t> bytes, std::string& error) {
    struct Image {
        png_image image{};
        Image() { image.version = PNG_IMAGE_VERSION; }
        ~Image() { png_image_free(&image); }
    } png;
    const auto failed = [&] {
        error = std::string("PNG: ") + png.image.message;
        return std::nullopt;
    };
    if (!png_image_begin_read_from_memory(&png.image, bytes.data(), bytes.size())) {
        return failed();
    }
    if (!CheckImageSize(png.image.width, png.image.height, error)) return std::nullopt;
    if (!PngDataCanFill(bytes, png.image.width, png.image.height)) {
        error = "PNG: too little data for the picture's size";
        return std::nullopt;
    }
    auto raster = NewRaster(png.image.width, png.image.height, error);
    if (!raster) return std::nullopt;
    // 16-bit files without gamma information are taken as sRGB, as viewers show
    // them, rather than as linear light.
    png.image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    if (!(png.image.format & PNG_FORMAT_FLAG_ALPHA)) {
        // A negative stride writes the rows bottom first, straight into the raster.
        png.image.format = PNG_FORMAT_BGR;
        if (!png_image_finish_read(&png.image, nullptr, raster->pixels.get(),
                                   -static_cast<png_int_32>(raster->stride), nullptr)) {
            return failed();
        }
        return raster;
    }
    // Alpha is read as is and flattened here: the library would compose in
    // linear light, which is not colour times alpha.
    png.image.format = PNG_FORMAT_BGRA;
    const size_t rowBytes = size_t(raster->width) * 4;
    auto bgra = NewBuffer(rowBytes * size_t(raster->height), error);
    if (!bgra) return std::nullopt;
    if (!png_image_finish_read(&png.image, nullptr, bgra.get(), 0, nullptr)) return failed();
    for (int32_t y = 0; y < raster->height; ++y) {
        ConvertRow(Layout::Bgra, bgra.get() + size_t(y) * rowBytes, raster->width,
                   raster->RowFromTop(y));
    }
    return raster;
}

// ---------------------------------------------------------------------------
// TIFF

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
void SilenceTiffOnce() {
    [[maybe_unused]] static const bool silenced = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        return true;
    }();
}

// Whether the first page's strips or tiles, as far as they lie in the file,
// hold enough data for its size. Sizes are within the pixel limit.
bool StripsCanFill(TIFF* tiff, uint64_t fileSize, uint32_t width, uint32_t height) {
    uint16_t compression = 1, bits = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    const bool tiled = TIFFIsTiled(tiff);
    const uint32_t count = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    uint64_t* offsets = nullptr;
    uint64_t* sizes = nullptr;
    if (!TIFFGetField(tiff, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(tiff, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &sizes) ||
        !offsets || !sizes) {
        return true;  // the library reports what is missing
    }
    uint64_t stored = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (offsets[i] < fileSize) stored += std::min(sizes[i], fileSize - offsets[i]);
    }
    // Whatever the samples, a row holds at least one sample of each pixel.
    const uint64_t rowBytes = (uint64_t(width) * std::max<uint16_t>(bits, 1) + 7) / 8;
    return rowBytes * height <= TiffMostDecodedBytes(compression, stored, rowBytes, height);
}

}  // namespace

std::optional<Raster> DecodeTiff(std::span<const uint8_t> bytes, std::string& error) {
    SilenceTiffOnce();
    std::string message;
    const auto failed = [&](const char* fallback) {
        error = "TIFF: " + (message.empty() ? std::string(fallback) : message);
        return std::nullopt;
    };
    std::unique_ptr<TIFFOpenOptions, Deleter<TIFFOpenOptionsFree>> options(TIFFOpenOptionsAlloc());
    if (!options) {
        error = "out of memory";
        return std::nullopt;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), KeepFirstError, &message);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreWarning, nullptr);
    // Bounds what the library allocates for a strip or tile of a crafted file;
    // the largest picture accepted needs less.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t{1} << 30);

    MemoryFile file{bytes};
    // "m": no mapping, the bytes are read through the callbacks.
    std::unique_ptr<TIFF, Deleter<TIFFClose>> tiff(
        TIFFClientOpenExt("image", "rm", &file, ReadMemory, WriteNothing, SeekMemory, CloseMemory,
                          MemorySize, MapNothing, UnmapNothing, options.get()));
    if (!tiff) return failed("cannot open the file");
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height)) {
        return failed("no image size");
    }
    if (!CheckImageSize(width, height, error)) return std::nullopt;
    if (!StripsCanFill(tiff.get(), bytes.size(), width, height)) {
        error = "TIFF: too little data for the picture's size";
        return std::nullopt;
    }
    char reason[1024] = {};
    if (!TIFFRGBAImageOK(tiff.get(), reason)) {
        message = reason;
        return failed("unsupported picture");
    }
    auto raster = NewRaster(width, height, error);
    if (!raster) return std::nullopt;
    const size_t count = size_t(width) * height;
    std::unique_ptr<uint32_t[]> rgba(new (std::nothrow) uint32_t[count]);
    if (!rgba) {
        error = "out of memory";
        return std::nullopt;
    }
    if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, rgba.get(), ORIENTATION_BOTLEFT, 1)) {
        return failed("damaged picture");
    }
    // The rows come bottom first, like the bitmap's, and the library gives
    // colours premultiplied by alpha: the picture already flattened onto black.
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* source = rgba.get() + size_t(y) * width;
        uint8_t* target = raster->pixels.get() + size_t(y) * raster->stride;
        for (uint32_t x = 0; x < width; ++x, target += 3) {
            target[0] = static_cast<uint8_t>(TIFFGetB(source[x]));
            target[1] = static_cast<uint8_t>(TIFFGetG(source[x]));
            target[2] = static_cast<uint8_t>(TIFFGetR(source[x]));
        }
    }
    return raster;
}

// ---------------------------------------------------------------------------
// WebP

namespace {

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

// An animation's first frame, on a black canvas.
std::optional<Raster> DecodeWebpAnimation(std::span<const uint8_t> bytes, std::string& error) {
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPDemuxer, Deleter<WebPDemuxDelete>> demuxer(WebPDemux(&data));
    if (!demuxer) {
        error = "WebP: damaged animation";
        return std::nullopt;
    }
    WebPIterator frame{};
    if (!WebPDemuxGetFrame(demuxer.get(), 1, &frame)) {
        error = "WebP: animation without frames";
        return std::nullopt;
    }
    std::unique_ptr<WebPIterator, Deleter<WebPDemuxReleaseIterator>> release(&frame);
    int64_t width = WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH);
    int64_t height = WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT);
    // The demuxer has checked that the frame lies on the canvas.
    if (frame.width <= 0 || frame.height <= 0 || frame.x_offset + frame.width > width ||
        frame.y_offset + frame.height > height) {
        error = "WebP: frame outside the canvas";
        return std::nullopt;
    }
    // The frame's place on a canvas far larger than itself is given up: the
    // picture is then the frame alone.
    int left = frame.x_offset, top = frame.y_offset;
    if (!ScreenWorthKeeping(uint64_t(width) * uint64_t(height),
                            uint64_t(frame.width) * uint64_t(frame.height))) {
        width = frame.width;
        height = frame.height;
        left = top = 0;
    }
    auto raster = NewRaster(width, height, error);
    if (!raster) return std::nullopt;
    std::memset(raster->pixels.get(), 0, raster->Size());
    const size_t rowBytes = size_t(frame.width) * 4;
    auto bgra = NewBuffer(rowBytes * size_t(frame.height), error);
    if (!bgra) return std::nullopt;
    if (!WebPDecodeBGRAInto(frame.fragment.bytes, frame.fragment.size, bgra.get(),
                            rowBytes * size_t(frame.height), static_cast<int>(rowBytes))) {
        error = "WebP: damaged frame";
        return std::nullopt;
    }
    for (int y = 0; y < frame.height; ++y) {
        ConvertRow(Layout::Bgra, bgra.get() + size_t(y) * rowBytes, frame.width,
                   raster->RowFromTop(top + y) + size_t(left) * 3);
    }
    return raster;
}

}  // namespace

std::optional<Raster> DecodeWebp(std::span<const uint8_t> bytes, std::string& error) {
    WebPBitstreamFeatures features{};
    if (const VP8StatusCode status = WebPGetFeatures(bytes.data(), bytes.size(), &features);
        status != VP8_STATUS_OK) {
        error = std::string("WebP: ") + WebpStatusText(status);
        return std::nullopt;
    }
    if (!CheckImageSize(features.width, features.height, error)) return std::nullopt;
    if (features.has_animation) return DecodeWebpAnimation(bytes, error);
    auto raster = NewRaster(features.width, features.height, error);
    if (!raster) return std::nullopt;

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        error = "WebP: library version mismatch";
        return std::nullopt;
    }
    std::unique_ptr<WebPDecBuffer, Deleter<WebPFreeDecBuffer>> output(&config.output);
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
        bgra = NewBuffer(alphaRowBytes * size_t(raster->height), error);
        if (!bgra) return std::nullopt;
        config.output.colorspace = MODE_BGRA;
        config.output.u.RGBA = {bgra.get(), static_cast<int>(alphaRowBytes),
                                alphaRowBytes * size_t(raster->height)};
    }
    if (const VP8StatusCode status = WebPDecode(bytes.data(), bytes.size(), &config);
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

}  // namespace zeph::imaging::detail
