#include "imaging/heif_reading.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "imaging/heif_library.h"
#include "imaging/image_loading.h"

namespace zeph::imaging::detail {
namespace {

struct HeifRelease {
    const HeifLibrary* heif;
    void operator()(heif_context* context) const { heif->contextFree(context); }
    void operator()(heif_image_handle* handle) const { heif->handleRelease(handle); }
    void operator()(heif_image* image) const { heif->imageRelease(image); }
    void operator()(heif_decoding_options* options) const { heif->decodingOptionsFree(options); }
};
template <typename T>
using Heif = std::unique_ptr<T, HeifRelease>;

// The side of the largest square picture the pixel limit allows.
constexpr int kMostHeifSide = 1 << 14;
static_assert(uint64_t(kMostHeifSide) * kMostHeifSide == kMaxImagePixels);

HeifCoding CodingOfBrand(const uint8_t* brand) {
    static constexpr const char* kHevc[] = {"heic", "heix", "heim", "heis",
                                            "hevc", "hevx", "hevm", "hevs"};
    for (const char* b : kHevc) {
        if (std::memcmp(brand, b, 4) == 0) return HeifCoding::Hevc;
    }
    if (std::memcmp(brand, "avif", 4) == 0 || std::memcmp(brand, "avis", 4) == 0) {
        return HeifCoding::Av1;
    }
    return HeifCoding::None;
}

bool Failed(const heif_error& status, const char* format, std::string& error) {
    if (status.code == heif_error_Ok) return false;
    error = std::string(format) + ": " + (status.message ? status.message : "cannot decode");
    return true;
}

}  // namespace

HeifCoding HeifCodingOf(std::span<const uint8_t> bytes) {
    if (bytes.size() < 16 || std::memcmp(bytes.data() + 4, "ftyp", 4) != 0) {
        return HeifCoding::None;
    }
    const size_t box =
        size_t(bytes[0]) << 24 | size_t(bytes[1]) << 16 | size_t(bytes[2]) << 8 | bytes[3];
    if (const HeifCoding major = CodingOfBrand(bytes.data() + 8); major != HeifCoding::None) {
        return major;
    }
    // The compatible brands follow the minor version, as far as the box and
    // the file reach.
    const size_t end = std::min(box, bytes.size());
    for (size_t at = 16; at + 4 <= end; at += 4) {
        if (const HeifCoding coding = CodingOfBrand(bytes.data() + at); coding != HeifCoding::None)
            return coding;
    }
    return HeifCoding::None;
}

std::optional<Raster> DecodeHeif(std::span<const uint8_t> bytes, const char* format,
                                 std::string& error) {
    if (bytes.size() > size_t(INT_MAX)) {
        error = std::string(format) + ": file too large";
        return std::nullopt;
    }
    const HeifLibrary* heif = LoadHeif(error);
    if (!heif) {
        error = std::string(format) + ": " + error;
        return std::nullopt;
    }
    const HeifRelease release{heif};
    Heif<heif_context> context(heif->contextAlloc(), release);
    if (!context) {
        error = kOutOfMemory;
        return std::nullopt;
    }
    // The bytes outlive the context: they are read in place.
    if (Failed(heif->readFromMemoryWithoutCopy(context.get(), bytes.data(), bytes.size(), nullptr),
               format, error)) {
        return std::nullopt;
    }
    heif_image_handle* primary = nullptr;
    if (Failed(heif->primaryImageHandle(context.get(), &primary), format, error)) {
        return std::nullopt;
    }
    const Heif<heif_image_handle> handle(primary, release);
    // The size after the file's own transformations, and the stored size
    // where the file gives one: both within the limit before any decoding.
    const int storedWidth = heif->handleStoredWidth(primary);
    const int storedHeight = heif->handleStoredHeight(primary);
    if (!CheckImageSize(heif->handleWidth(primary), heif->handleHeight(primary), error) ||
        ((storedWidth > 0 || storedHeight > 0) &&
         !CheckImageSize(storedWidth, storedHeight, error))) {
        return std::nullopt;
    }
    // A grid's tiles are laid out to a size of the grid's own, which need not
    // be the size the file states: libheif's limit on each side bounds what it
    // may allocate for them to the checked size, or to a square of at most
    // kMaxImagePixels for smaller pictures.
    const int side = std::max({kMostHeifSide, heif->handleWidth(primary),
                               heif->handleHeight(primary), storedWidth, storedHeight});
    heif->setMaximumImageSizeLimit(context.get(), side + 1);
    const Heif<heif_decoding_options> options(heif->decodingOptionsAlloc(), release);
    if (!options) {
        error = kOutOfMemory;
        return std::nullopt;
    }
    options->ignore_transformations = 1;
    const bool alpha = heif->handleHasAlpha(primary) != 0;
    heif_image* decoded = nullptr;
    if (Failed(heif->decodeImage(primary, &decoded, heif_colorspace_RGB,
                                 alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                                 options.get()),
               format, error)) {
        return std::nullopt;
    }
    const Heif<heif_image> image(decoded, release);
    const int width = heif->imageWidth(decoded, heif_channel_interleaved);
    const int height = heif->imageHeight(decoded, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif->planeReadonly(decoded, heif_channel_interleaved, &stride);
    if (!plane || width <= 0 || height <= 0 || stride < width * (alpha ? 4 : 3)) {
        error = std::string(format) + ": damaged picture";
        return std::nullopt;
    }
    auto raster = NewRaster(width, height, error);
    if (!raster) return std::nullopt;
    for (int32_t y = 0; y < height; ++y) {
        ConvertRow(alpha ? Layout::Rgba : Layout::Rgb, plane + size_t(y) * size_t(stride), width,
                   raster->RowFromTop(y));
    }
    return raster;
}

}  // namespace zeph::imaging::detail
