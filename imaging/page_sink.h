// A page as a picture of its own, grey pages kept grey: the rows of a grey
// page (and of grey with alpha, flattened) stay one byte a pixel, every other
// page becomes the 24-bit picture ImagePages::Next gives. A grey picture is a
// third of the 24-bit one, and nothing converts its greys twice.
#pragma once

#include <optional>
#include <string>

#include "imaging/decoded_image.h"
#include "imaging/row_sink.h"

namespace zeph::imaging {

class PageSink final : public RowSink {
  public:
    bool Begin(int32_t width, int32_t height, std::string& error) override;
    void Rows(detail::Layout layout, const uint8_t* first, std::ptrdiff_t stride, int32_t top,
              int32_t count) override;
    bool Adopt(DecodedImage& image) override;
    bool TakesWholePictures() const override { return true; }
    // The page, once its rows are in; nullopt before.
    std::optional<DecodedImage> Take();

  private:
    // Widens the grey rows written so far to 24-bit rows, in place.
    void WidenToColour();

    std::optional<DecodedImage> image_;
    bool decided_ = false;  // whether a first row fixed the channels
};

}  // namespace zeph::imaging
