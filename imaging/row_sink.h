// Where a decoder puts a page's rows as it makes them, instead of into a
// 24-bit picture of its own: a reader's grey raster takes them straight, so
// each row is converted once, while it is still in cache, and no second copy
// of the picture is made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/decoded_image.h"
#include "imaging/pixel_layout.h"

namespace zeph::imaging {

class RowSink {
  public:
    virtual ~RowSink() = default;
    // Called once, before any row, with the page's size (within the pixel
    // cap); false with the reason when the sink cannot take a page that size.
    virtual bool Begin(int32_t width, int32_t height, std::string& error) = 0;
    // Rows `top` to top + count - 1, counted from the top, the first at
    // `first` and each `stride` bytes after the one above it (negative for
    // rows stored bottom first). Every row of the page comes once.
    virtual void Rows(detail::Layout layout, const uint8_t* first, std::ptrdiff_t stride,
                      int32_t top, int32_t count) = 0;
    // Offered a whole decoded picture instead of Begin and Rows: true when the
    // sink took it over as it is (its pixels and its place in the budget).
    virtual bool Adopt(DecodedImage& /*image*/) { return false; }
    // Whether the sink would rather be offered whole pictures, in its own
    // layout, than rows: a decoder that can write the layout directly then
    // saves a copy of the page.
    virtual bool TakesWholePictures() const { return false; }
};

}  // namespace zeph::imaging
