// Decoded rows into the grey values a reader searches: B + 6 G + 3 R of the
// blue-green-red pixel the bitmap conversion makes of each pixel, so a page
// decoded straight to grey gives the raster its 24-bit bitmap gives, value
// for value.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/pixel_budget.h"
#include "imaging/pixel_layout.h"
#include "imaging/row_sink.h"

namespace zeph::imaging {

// The grey value of white.
inline constexpr int32_t kWhiteGrey = 2550;

// Converts `width` pixels of `source` into grey values.
void GreyRow(detail::Layout layout, const uint8_t* source, int32_t width, int32_t* target);

// Grey values of a page, top row first, written into the buffer `place` gives.
class GreySink final : public RowSink {
  public:
    // Room for width * height values, or nullptr when memory runs out.
    using Place = std::function<int32_t*(int32_t width, int32_t height)>;
    explicit GreySink(Place place) : place_(std::move(place)) {}

    // Holds the page's place in the process's budget of decoded pixels until
    // Release, as a decoded picture holds it while it is converted.
    bool Begin(int32_t width, int32_t height, std::string& error) override;
    void Rows(detail::Layout layout, const uint8_t* first, std::ptrdiff_t stride, int32_t top,
              int32_t count) override;
    void Release() { reserved_ = {}; }

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

  private:
    Place place_;
    int32_t* values_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    PixelBudget::Reservation reserved_;
};

}  // namespace zeph::imaging
