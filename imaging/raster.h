// The 24-bit raster every format's decoder fills, and the helpers they share:
// the size checks, the pixel conversions into blue-green-red rows. Internal to
// the imaging library; the library API converts pixel views with ConvertRow
// too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/decoded_image.h"
#include "imaging/pixel_layout.h"
#include "imaging/row_sink.h"

namespace zeph::imaging::detail {

// Every decoder fills one of these.
using Raster = DecodedImage;

// How a refusal for size begins.
inline constexpr std::string_view kTooLarge = "image too large";
inline constexpr std::string_view kOutOfMemory = "out of memory";

// Refuses sizes of 0 or below and pictures above kMaxImagePixels (with the
// reason in `error`) before anything is allocated.
bool CheckImageSize(int64_t width, int64_t height, std::string& error);
// A raster of that size, its pixels uninitialised (decoders overwrite them);
// nullopt with the reason when the size is refused or memory runs out. Waits
// until the pixels fit the process's budget for decoded pictures.
std::optional<Raster> NewRaster(int64_t width, int64_t height, std::string& error);
// The same for a grey page (one byte a pixel) when `channels` is 1.
std::optional<Raster> NewRaster(int64_t width, int64_t height, int32_t channels,
                                std::string& error);
// The same, every pixel black: for pictures a frame covers only in part.
std::optional<Raster> NewBlackRaster(int64_t width, int64_t height, std::string& error);

// A sink that makes the 24-bit raster: for decoders that write rows into a
// sink, when the caller wants the picture itself.
class RasterSink final : public RowSink {
  public:
    bool Begin(int32_t width, int32_t height, std::string& error) override;
    void Rows(Layout layout, const uint8_t* first, std::ptrdiff_t stride, int32_t top,
              int32_t count) override;
    std::optional<Raster> Take() { return std::move(raster_); }

  private:
    std::optional<Raster> raster_;
};

// A decoded raster handed to a sink as its rows are (bottom row first), its
// place in the budget handed over too; false with the reason when the sink
// refuses its size.
bool IntoSink(Raster&& raster, RowSink& sink, std::string& error);

// Transparency flattened onto black, rounded to nearest.
inline uint8_t OnBlack(uint8_t colour, uint8_t alpha) {
    return static_cast<uint8_t>((colour * alpha + 127) / 255);
}

// Converts `width` pixels of `source` into the blue-green-red row `target`.
void ConvertRow(Layout layout, const uint8_t* source, int32_t width, uint8_t* target);

// a * b, saturating: the least-data checks multiply claims that may lie near
// the top of the range.
inline uint64_t SaturatingProduct(uint64_t a, uint64_t b) {
    constexpr uint64_t kMost = std::numeric_limits<uint64_t>::max();
    return a != 0 && b > kMost / a ? kMost : a * b;
}

}  // namespace zeph::imaging::detail
