// Rows of every decoder's layout into blue-green-red bitmap rows: each pixel
// as its definition gives it, and nothing written past the row.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/raster.h"

namespace {

using zeph::imaging::detail::ConvertRow;
using zeph::imaging::detail::Layout;
using zeph::imaging::detail::OnBlack;

size_t BytesPerPixel(Layout layout) {
    switch (layout) {
        case Layout::Grey:
            return 1;
        case Layout::GreyAlpha:
            return 2;
        case Layout::Rgb:
        case Layout::Bgr:
            return 3;
        case Layout::Rgba:
        case Layout::Bgra:
            return 4;
    }
    return 0;
}

// Blue, green and red of pixel p of a row in `layout`, one pixel at a time.
std::array<uint8_t, 3> Expected(Layout layout, const uint8_t* p) {
    switch (layout) {
        case Layout::Grey:
            return {p[0], p[0], p[0]};
        case Layout::GreyAlpha: {
            const uint8_t g = OnBlack(p[0], p[1]);
            return {g, g, g};
        }
        case Layout::Rgb:
            return {p[2], p[1], p[0]};
        case Layout::Bgr:
            return {p[0], p[1], p[2]};
        case Layout::Rgba:
            return {OnBlack(p[2], p[3]), OnBlack(p[1], p[3]), OnBlack(p[0], p[3])};
        case Layout::Bgra:
            return {OnBlack(p[0], p[3]), OnBlack(p[1], p[3]), OnBlack(p[2], p[3])};
    }
    return {};
}

TEST(ConvertRow, EveryLayoutAndWidthGivesEachPixelAndStopsAtTheRowsEnd) {
    std::mt19937 random(3);
    constexpr uint8_t kGuard = 0xA5;
    for (const Layout layout :
         {Layout::Grey, Layout::GreyAlpha, Layout::Rgb, Layout::Bgr, Layout::Rgba, Layout::Bgra}) {
        // Widths around the five-pixel steps and the sixteen-byte loads.
        for (int32_t width = 0; width <= 41; ++width) {
            const size_t n = static_cast<size_t>(width);
            std::vector<uint8_t> source(n * BytesPerPixel(layout));
            for (uint8_t& b : source)
                b = static_cast<uint8_t>(random());
            // The source alone, so that a read past its end shows under the sanitizers.
            std::vector<uint8_t> target(3 * n + 16, kGuard);
            ConvertRow(layout, source.data(), width, target.data());
            for (size_t x = 0; x < n; ++x) {
                const auto bgr = Expected(layout, source.data() + x * BytesPerPixel(layout));
                for (size_t c = 0; c < 3; ++c) {
                    ASSERT_EQ(target[3 * x + c], bgr[c])
                        << "layout " << static_cast<int>(layout) << " width " << width << " pixel "
                        << x << " byte " << c;
                }
            }
            for (size_t i = 3 * n; i < target.size(); ++i)
                ASSERT_EQ(target[i], kGuard) << "width " << width << " wrote byte " << i;
        }
    }
}

}  // namespace
