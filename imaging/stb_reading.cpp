// The stb_image reader, restricted to BMP and TGA and to memory input, for
// those two formats' files.
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

#include "imaging/stb_reading.h"

namespace zeph::imaging::detail {
namespace {

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

std::optional<Raster> DecodeWithStb(std::span<const uint8_t> bytes, const char* format,
                                    NeededBytes needed, std::string& error) {
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
    if (bytes.size() < needed(bytes, uint64_t(width), uint64_t(rows))) {
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
