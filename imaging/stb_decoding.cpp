// BMP and TGA through stb_image, restricted to those formats and to memory
// input. The reader pads short files with zeros, so uncompressed files are
// checked for their full length first.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
// The single-header library is not warning-clean under this project's flags.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <stb_image.h>
#pragma GCC diagnostic pop

#include <climits>

#include "imaging/image_formats.h"

namespace zeph::imaging::detail {
namespace {

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

uint32_t Le16(std::span<const uint8_t> bytes, size_t at) {
    return bytes[at] | uint32_t(bytes[at + 1]) << 8;
}
uint32_t Le32(std::span<const uint8_t> bytes, size_t at) {
    return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

// The fewest bytes a complete file of that size can have, 0 when it cannot be
// told (unusual headers: the reader decides). Sizes are within the
// pixel limit, so nothing overflows.
uint64_t NeededBytes(std::span<const uint8_t> bytes, bool bmp, uint64_t width, uint64_t height) {
    if (bmp) {
        // The reader pads the header too: the file must hold all of it.
        if (bytes.size() < 18) return 18;
        const uint64_t header = 14 + uint64_t(Le32(bytes, 14));
        if (bytes.size() < header) return header;
        const bool core = header == 26;  // the oldest header: 16-bit sizes
        if (!core && header < 30) return 0;
        const uint64_t bits = core ? Le16(bytes, 24) : Le16(bytes, 28);
        // The reader refuses run-length compression and reads every other
        // kind as plain rows, so those rows must be there.
        if (bits == 0 || bits > 32) return 0;
        // The last row's padding is often left out.
        const uint64_t row = (width * bits + 31) / 32 * 4;
        return Le32(bytes, 10) + row * (height - 1) + (width * bits + 7) / 8;
    }
    const uint64_t map = bytes[1] == 1 ? Le16(bytes, 5) * ((bytes[7] + 7) / 8) : 0;
    const uint64_t pixelBytes = (bytes[16] + 7) / 8;
    // A run-length packet holds at most 128 pixels in a header byte and one
    // pixel: a file shorter than that would be mostly padding.
    const uint64_t data = bytes[2] >= 9 ? (width * height + 127) / 128 * (1 + pixelBytes)
                                        : width * height * pixelBytes;
    return 18 + bytes[0] + map + data;
}

}  // namespace

std::optional<Raster> DecodeWithStb(std::span<const uint8_t> bytes, const char* format,
                                    std::string& error) {
    const auto failed = [&] {
        error = std::string(format) + ": " + stbi_failure_reason();
        return std::nullopt;
    };
    if (bytes.size() > size_t(INT_MAX)) {
        error = std::string(format) + ": file too large";
        return std::nullopt;
    }
    const int size = static_cast<int>(bytes.size());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), size, &width, &height, &channels)) return failed();
    // BMP files stored top row first give a negative height.
    const int64_t rows = height < 0 ? -int64_t(height) : height;
    if (!CheckImageSize(width, rows, error)) return std::nullopt;
    if (bytes.size() < NeededBytes(bytes, format[0] == 'B', uint64_t(width), uint64_t(rows))) {
        error = std::string(format) + ": truncated file";
        return std::nullopt;
    }
    auto raster = NewRaster(width, rows, error);
    if (!raster) return std::nullopt;
    int loadedWidth = 0, loadedHeight = 0;
    std::unique_ptr<stbi_uc, StbFree> pixels(
        stbi_load_from_memory(bytes.data(), size, &loadedWidth, &loadedHeight, &channels, 0));
    if (!pixels) return failed();
    if (loadedWidth != width || loadedHeight != rows || channels < 1 || channels > 4) {
        error = std::string(format) + ": inconsistent header";
        return std::nullopt;
    }
    static constexpr Layout kLayouts[] = {Layout::Grey, Layout::GreyAlpha, Layout::Rgb,
                                          Layout::Rgba};
    const size_t rowBytes = size_t(width) * size_t(channels);
    for (int32_t y = 0; y < raster->height; ++y) {
        ConvertRow(kLayouts[channels - 1], pixels.get() + size_t(y) * rowBytes, width,
                   raster->RowFromTop(y));
    }
    return raster;
}

}  // namespace zeph::imaging::detail
