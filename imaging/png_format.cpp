// PNG, one page: plain files read directly, every other through libpng's
// simplified interface.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/format_table.h"
#include "imaging/png_library.h"
#include "imaging/png_reading.h"
#include "imaging/raster.h"

namespace zeph::imaging::detail {
namespace {

bool Sniff(std::span<const uint8_t> bytes) {
    static constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() >= sizeof kSignature &&
           std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
}

uint32_t Be32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
           uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

// The compressed data of all IDAT chunks, inflated at deflate's largest
// ratio, must cover the rows the header claims.
bool DataCanFill(std::span<const uint8_t> file, uint64_t width, uint64_t height) {
    // Signature, then IHDR: length, type, width, height, depth, colour type.
    if (file.size() < 33) return true;  // the library reports the damage
    const uint64_t depth = file[24];
    const uint8_t colourType = file[25];
    const uint64_t channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    uint64_t compressed = 0;
    for (size_t at = 8; at + 8 <= file.size();) {
        const uint64_t length = Be32(file, at);
        const bool idat = file[at + 4] == 'I' && file[at + 5] == 'D' && file[at + 6] == 'A' &&
                          file[at + 7] == 'T';
        const uint64_t present = std::min<uint64_t>(length, file.size() - at - 8);
        if (idat) compressed += present;
        if (present < length) break;
        at += 12 + length;
    }
    // Deflate gives at most 258 bytes for a 2-bit length and distance pair;
    // the zlib header, the end code and the check cost a few bytes more.
    const uint64_t most = SaturatingProduct(compressed, 1032) + 1024;
    // Interlaced or not, the rows hold at least the samples themselves.
    const uint64_t least =
        SaturatingProduct(SaturatingProduct(width, height), depth * channels) / 8;
    return least <= most;
}

}  // namespace

std::optional<Raster> ReadPngWithLibpng(std::span<const uint8_t> bytes, std::string& error) {
    const PngLibrary* library = LoadPng(error);
    if (!library) {
        error = "PNG: " + error;
        return std::nullopt;
    }
    struct Image {
        const PngLibrary& library;
        png_image image{};
        explicit Image(const PngLibrary& l) : library(l) { image.version = PNG_IMAGE_VERSION; }
        ~Image() { library.free(&image); }
    } png(*library);
    const auto failed = [&] {
        error = std::string("PNG: ") + png.image.message;
        return std::nullopt;
    };
    if (!library->beginReadFromMemory(&png.image, bytes.data(), bytes.size())) {
        return failed();
    }
    if (!CheckImageSize(png.image.width, png.image.height, error)) return std::nullopt;
    if (!DataCanFill(bytes, png.image.width, png.image.height)) {
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
        if (!library->finishRead(&png.image, nullptr, raster->pixels.get(),
                                 -static_cast<png_int_32>(raster->stride), nullptr)) {
            return failed();
        }
        return raster;
    }
    // Alpha is read as is and flattened here: the library would compose in
    // linear light, which is not colour times alpha.
    png.image.format = PNG_FORMAT_BGRA;
    const size_t rowBytes = size_t(raster->width) * 4;
    std::unique_ptr<uint8_t[]> bgra(new (std::nothrow) uint8_t[rowBytes * size_t(raster->height)]);
    if (!bgra) {
        error = kOutOfMemory;
        return std::nullopt;
    }
    if (!library->finishRead(&png.image, nullptr, bgra.get(), 0, nullptr)) return failed();
    for (int32_t y = 0; y < raster->height; ++y) {
        ConvertRow(Layout::Bgra, bgra.get() + size_t(y) * rowBytes, raster->width,
                   raster->RowFromTop(y));
    }
    return raster;
}

namespace {

std::optional<Raster> Decode(std::span<const uint8_t> bytes, std::string& error) {
    RasterSink sink;
    switch (ReadPlainPng(bytes, sink, error)) {
        case PlainPng::Decoded:
            return sink.Take();
        case PlainPng::SinkRefused:
            return std::nullopt;
        case PlainPng::NotPlain:
            break;
    }
    return ReadPngWithLibpng(bytes, error);
}

bool DecodeInto(std::span<const uint8_t> bytes, RowSink& sink, std::string& error) {
    switch (ReadPlainPng(bytes, sink, error)) {
        case PlainPng::Decoded:
            return true;
        case PlainPng::SinkRefused:
            return false;
        case PlainPng::NotPlain:
            break;
    }
    std::optional<Raster> raster = ReadPngWithLibpng(bytes, error);
    return raster && IntoSink(std::move(*raster), sink, error);
}

}  // namespace

const ImageFormat kPngFormat = {
    "PNG", Sniff, [](std::span<const uint8_t> bytes, const DecodeSettings&, std::string&) {
        return OnePage(bytes, Decode, DecodeInto);
    }};

}  // namespace zeph::imaging::detail
