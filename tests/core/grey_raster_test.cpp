#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/reader.h"

namespace {

// Rows of 3 * width bytes padded to a multiple of 4, bottom row first.
size_t Stride(int width) {
    return (3 * static_cast<size_t>(width) + 3) / 4 * 4;
}

TEST(RasterFromBgrRows, WeightsBlueGreenRed) {
    GreyRaster raster;
    const std::vector<uint8_t> white{255, 255, 255, 0};
    ASSERT_EQ(XR_RasterFromBgrRows(white, 1, 1, 4, raster), 1);
    EXPECT_EQ(raster.values[0], 2550);
    const std::vector<uint8_t> black{0, 0, 0, 0};
    ASSERT_EQ(XR_RasterFromBgrRows(black, 1, 1, 4, raster), 1);
    EXPECT_EQ(raster.values[0], 0);
    const std::vector<uint8_t> green{0, 255, 0, 0};
    ASSERT_EQ(XR_RasterFromBgrRows(green, 1, 1, 4, raster), 1);
    EXPECT_EQ(raster.values[0], 1530);
    const std::vector<uint8_t> mixed{10, 20, 30, 0};
    ASSERT_EQ(XR_RasterFromBgrRows(mixed, 1, 1, 4, raster), 1);
    EXPECT_EQ(raster.values[0], 10 + 6 * 20 + 3 * 30);
}

TEST(RasterFromBgrRows, BottomRowFirstInTopRowFirstOut) {
    // 2 x 3 picture: bottom row red-ish, then green, top row blue.
    const int width = 2, height = 3;
    const size_t stride = Stride(width);
    std::vector<uint8_t> rows(stride * height, 0xEE);  // padding holds junk
    auto set = [&](int bufferRow, int x, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* p = rows.data() + bufferRow * stride + 3 * x;
        p[0] = b;
        p[1] = g;
        p[2] = r;
    };
    for (int x = 0; x < width; ++x) {
        set(0, x, 0, 0, 100);
        set(1, x, 0, 100, 0);
        set(2, x, 100, 0, 0);
    }
    GreyRaster raster;
    ASSERT_EQ(XR_RasterFromBgrRows(rows, width, height, stride, raster), 1);
    EXPECT_EQ(raster.width, 2);
    EXPECT_EQ(raster.height, 3);
    EXPECT_EQ(raster.size, 6u);
    const std::vector<int32_t> expected{100, 100, 600, 600, 300, 300};
    EXPECT_EQ(std::vector<int32_t>(raster.Values().begin(), raster.Values().end()), expected);
}

TEST(RasterFromBgrRows, ReusesItsBufferWhileTheSizeStays) {
    GreyRaster raster;
    std::vector<uint8_t> rows(Stride(4) * 2, 7);
    ASSERT_EQ(XR_RasterFromBgrRows(rows, 4, 2, Stride(4), raster), 1);
    const int32_t* first = raster.values.get();
    // 2 x 4 has as many pixels as 4 x 2.
    std::vector<uint8_t> other(Stride(2) * 4, 9);
    ASSERT_EQ(XR_RasterFromBgrRows(other, 2, 4, Stride(2), raster), 1);
    EXPECT_EQ(raster.values.get(), first);
    EXPECT_EQ(raster.values[7], 9 * 10);
}

TEST(RasterFromBgrRows, RowsThatDoNotFitLeaveTheRasterAlone) {
    GreyRaster raster;
    std::vector<uint8_t> rows(Stride(3) * 3, 50);
    ASSERT_EQ(XR_RasterFromBgrRows(rows, 3, 3, Stride(3), raster), 1);
    EXPECT_EQ(XR_RasterFromBgrRows(rows, 3, 4, Stride(3), raster), 0);  // one row short
    EXPECT_EQ(XR_RasterFromBgrRows(rows, 5, 3, Stride(3), raster), 0);  // stride too small
    EXPECT_EQ(XR_RasterFromBgrRows(rows, -1, 3, Stride(3), raster), 0);
    EXPECT_EQ(raster.width, 3);
    EXPECT_EQ(raster.height, 3);
    EXPECT_EQ(raster.values[8], 500);
    ASSERT_EQ(XR_RasterFromBgrRows({}, 0, 0, 0, raster), 1);
    EXPECT_EQ(raster.size, 0u);
}

TEST(RasterFromIndexedRows, EachIndexTakesItsTablesGreyInBandsAsTheBgrRowsWould) {
    // A grey ramp's rows give the raster of the same greys as 24-bit rows,
    // and any other table its own values; bands fit as 24-bit bands do.
    const int width = 6, height = 9;
    const size_t stride = (width + 3) & ~3;  // 8: two bytes of padding a row
    std::vector<uint8_t> indices(stride * height);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<uint8_t>(i * 53 + 7);
    std::vector<uint8_t> bgr(Stride(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t g = indices[y * stride + x];
            for (int c = 0; c < 3; ++c)
                bgr[y * Stride(width) + 3 * x + c] = g;
        }
    }
    GreyRaster expected;
    ASSERT_EQ(XR_RasterFromBgrRows(bgr, width, height, Stride(width), expected), 1);
    std::array<int32_t, 256> ramp{};
    std::array<int32_t, 256> other{};
    for (int g = 0; g < 256; ++g) {
        ramp[g] = 10 * g;
        other[g] = 2550 - 3 * g;
    }
    for (const int band : {1, 4, 9}) {
        GreyRaster banded;
        ASSERT_EQ(XR_RasterResize(width, height, banded), 1);
        for (int bottom = 0; bottom < height; bottom += band) {
            const int count = std::min(band, height - bottom);
            const std::span<const uint8_t> rows(indices.data() + bottom * stride, count * stride);
            ASSERT_EQ(XR_RasterBandFromIndexedRows(rows, stride, bottom, count, ramp, banded), 1);
        }
        EXPECT_EQ(std::vector<int32_t>(banded.Values().begin(), banded.Values().end()),
                  std::vector<int32_t>(expected.Values().begin(), expected.Values().end()))
            << "bands of " << band;
    }
    GreyRaster mapped;
    ASSERT_EQ(XR_RasterResize(width, height, mapped), 1);
    ASSERT_EQ(XR_RasterBandFromIndexedRows(indices, stride, 0, height, other, mapped), 1);
    // Rows arrive bottom row first.
    EXPECT_EQ(mapped.Values()[0], other[indices[(height - 1) * stride]]);
    EXPECT_EQ(mapped.Values()[width * height - 1], other[indices[width - 1]]);

    EXPECT_EQ(XR_RasterBandFromIndexedRows(indices, stride, 8, 2, ramp, mapped), 0)
        << "beyond the top";
    EXPECT_EQ(XR_RasterBandFromIndexedRows(indices, stride, -1, 1, ramp, mapped), 0);
    EXPECT_EQ(
        XR_RasterBandFromIndexedRows(std::span(indices).first(stride), stride, 0, 2, ramp, mapped),
        0)
        << "fewer rows than the band";
    EXPECT_EQ(XR_RasterBandFromIndexedRows(indices, width - 1, 0, 1, ramp, mapped), 0)
        << "stride too small";
}

}  // namespace

TEST(RasterFromBgrRows, BandsGiveTheWholeConversionAndOutsideBandsAreRefused) {
    const int width = 7, height = 11;
    const size_t stride = Stride(width);
    std::vector<uint8_t> rows(stride * height);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<uint8_t>(i * 37 + 11);
    GreyRaster whole;
    ASSERT_EQ(XR_RasterFromBgrRows(rows, width, height, stride, whole), 1);
    const std::vector<int32_t> expected(whole.Values().begin(), whole.Values().end());

    for (const int band : {1, 3, 4, 11}) {
        GreyRaster banded;
        ASSERT_EQ(XR_RasterResize(width, height, banded), 1);
        for (int bottom = 0; bottom < height; bottom += band) {
            const int count = std::min(band, height - bottom);
            const std::span<const uint8_t> bandRows(rows.data() + bottom * stride, count * stride);
            ASSERT_EQ(XR_RasterBandFromBgrRows(bandRows, stride, bottom, count, banded), 1);
        }
        EXPECT_EQ(std::vector<int32_t>(banded.Values().begin(), banded.Values().end()), expected)
            << "bands of " << band;
    }

    GreyRaster raster;
    ASSERT_EQ(XR_RasterResize(width, height, raster), 1);
    EXPECT_EQ(XR_RasterBandFromBgrRows(rows, stride, 10, 2, raster), 0) << "beyond the top";
    EXPECT_EQ(XR_RasterBandFromBgrRows(rows, stride, -1, 1, raster), 0);
    EXPECT_EQ(XR_RasterBandFromBgrRows(std::span(rows).first(stride), stride, 0, 2, raster), 0)
        << "fewer rows than the band";
    EXPECT_EQ(XR_RasterBandFromBgrRows(rows, stride - 4, 0, 1, raster), 0) << "stride too small";
    EXPECT_EQ(XR_RasterResize(-1, 2, raster), 0);
}
