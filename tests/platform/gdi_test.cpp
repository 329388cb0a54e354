#include "platform/gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace {

struct BitmapDeleter {
    void operator()(GdiBitmap* bitmap) const { DeleteObject(bitmap); }
};
struct DcDeleter {
    void operator()(GdiDeviceContext* dc) const { DeleteDC(dc); }
};
struct IconDeleter {
    void operator()(GdiIcon* icon) const { DestroyIcon(icon); }
};
using BitmapPtr = std::unique_ptr<GdiBitmap, BitmapDeleter>;
using DcPtr = std::unique_ptr<GdiDeviceContext, DcDeleter>;
using IconPtr = std::unique_ptr<GdiIcon, IconDeleter>;

constexpr uint32_t kInvalid = 0xFFFFFFFFu;
constexpr uint32_t kWhite = 0x00FFFFFFu;
constexpr uint32_t kBlack = 0x00000000u;
constexpr uint8_t kSentinel = 0xEE;

// Rows whose every pixel byte differs from its neighbours; bytes past the
// pixels of a row hold a sentinel that must never show up as a pixel.
std::vector<uint8_t> MakeRows(int32_t width, int32_t height, size_t stride) {
    std::vector<uint8_t> rows(stride * static_cast<size_t>(height), kSentinel);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width * 3; ++x) {
            rows[static_cast<size_t>(y) * stride + static_cast<size_t>(x)] =
                static_cast<uint8_t>(1 + y * 37 + x * 11);
        }
    }
    return rows;
}

BITMAPINFO Format24(int32_t width, int32_t height) {
    BITMAPINFO info;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// ---------------------------------------------------------------------------
// Bitmap creation and description

TEST(BitmapCreation, AcceptsAnyStrideHoldingThePixels) {
    for (size_t stride : {size_t{15}, size_t{16}, size_t{23}}) {
        const auto rows = MakeRows(5, 3, stride);
        BitmapPtr bitmap(CreateBitmap24(5, 3, rows, stride));
        EXPECT_NE(bitmap, nullptr) << "stride " << stride;
    }
}

TEST(BitmapCreation, RefusesSizesThatDoNotFitTheRows) {
    const auto rows = MakeRows(5, 3, 16);
    EXPECT_EQ(CreateBitmap24(0, 3, rows, 16), nullptr);
    EXPECT_EQ(CreateBitmap24(-1, 3, rows, 16), nullptr);
    EXPECT_EQ(CreateBitmap24(5, 0, rows, 16), nullptr);
    EXPECT_EQ(CreateBitmap24(5, -3, rows, 16), nullptr);
    EXPECT_EQ(CreateBitmap24(5, 3, rows, 14), nullptr) << "stride below 3 bytes per pixel";
    EXPECT_EQ(CreateBitmap24(5, 4, rows, 16), nullptr) << "one row too many";
    EXPECT_EQ(CreateBitmap24(5, 3, std::span(rows).first(rows.size() - 1), 16), nullptr);
    EXPECT_EQ(CreateBitmap24(5, 3, {}, 16), nullptr);
}

TEST(BitmapCreation, RefusesStrideTimesHeightThatWrapsAround) {
    // 2^63 * 2 wraps to 0 in 64 bits, which a naive check would find "small enough".
    const auto rows = MakeRows(1, 2, 8);
    const size_t huge = std::numeric_limits<size_t>::max() / 2 + 1;
    EXPECT_EQ(CreateBitmap24(1, 2, rows, huge), nullptr);
    EXPECT_EQ(CreateBitmap24(1, 1, rows, std::numeric_limits<size_t>::max()), nullptr);
}

TEST(BitmapCreation, AdoptedRowsAreReadBackAsTheyWereAndWrongSizesAreRefused) {
    constexpr int32_t kWidth = 5, kHeight = 3;
    constexpr size_t kStride = 16;
    const auto rows = MakeRows(kWidth, kHeight, kStride);
    const auto adopt = [&](size_t size) {
        auto owned = std::make_unique<uint8_t[]>(size);
        std::copy_n(rows.begin(), std::min(size, rows.size()), owned.get());
        return BitmapPtr(AdoptBitmap24(kWidth, kHeight, std::move(owned), size));
    };
    EXPECT_EQ(adopt(rows.size() - 1), nullptr);
    EXPECT_EQ(adopt(rows.size() + kStride), nullptr) << "a row too many";
    EXPECT_EQ(AdoptBitmap24(kWidth, kHeight, nullptr, rows.size()), nullptr);
    EXPECT_EQ(AdoptBitmap24(0, kHeight, std::make_unique<uint8_t[]>(4), 4), nullptr);

    BitmapPtr bitmap = adopt(rows.size());
    ASSERT_NE(bitmap, nullptr);
    std::unique_ptr<GdiDeviceContext, decltype(&DeleteDC)> dc(CreateCompatibleDC(nullptr),
                                                              &DeleteDC);
    BITMAPINFO info;
    ASSERT_NE(GetDIBits(dc.get(), bitmap.get(), 0, 0, {}, &info, DIB_RGB_COLORS), 0);
    std::vector<uint8_t> bits(rows.size());
    ASSERT_EQ(GetDIBits(dc.get(), bitmap.get(), 0, kHeight, bits, &info, DIB_RGB_COLORS), kHeight);
    EXPECT_EQ(bits, rows);
}

TEST(BitmapDescription, GetObjectReportsSizeAndPaddedRowBytes) {
    // Rows of 24-bit pixels padded to a multiple of 4 bytes.
    const std::array<std::pair<int32_t, int32_t>, 6> widthBytes = {
        {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {7, 24}}};
    for (const auto& [width, bytes] : widthBytes) {
        const auto rows = MakeRows(width, 2, static_cast<size_t>(width) * 3);
        BitmapPtr bitmap(CreateBitmap24(width, 2, rows, static_cast<size_t>(width) * 3));
        ASSERT_NE(bitmap, nullptr);
        BITMAP description;
        description.bmBits = &description;  // must be cleared
        ASSERT_EQ(GetObject(bitmap.get(), sizeof(description), &description),
                  static_cast<int>(sizeof(BITMAP)));
        EXPECT_EQ(description.bmType, 0);
        EXPECT_EQ(description.bmWidth, width);
        EXPECT_EQ(description.bmHeight, 2);
        EXPECT_EQ(description.bmWidthBytes, bytes) << "width " << width;
        EXPECT_EQ(description.bmPlanes, 1);
        EXPECT_EQ(description.bmBitsPixel, 24);
        EXPECT_EQ(description.bmBits, nullptr);
    }
}

TEST(BitmapDescription, GetObjectRefusesNullsAndShortBuffers) {
    const auto rows = MakeRows(2, 2, 6);
    BitmapPtr bitmap(CreateBitmap24(2, 2, rows, 6));
    ASSERT_NE(bitmap, nullptr);
    std::array<uint8_t, sizeof(BITMAP) + 1> buffer;
    buffer.fill(0x5A);
    EXPECT_EQ(GetObject(bitmap.get(), sizeof(BITMAP) - 1, buffer.data()), 0);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0x5A; }))
        << "a refused call writes nothing";
    EXPECT_EQ(GetObject(nullptr, sizeof(BITMAP), buffer.data()), 0);
    EXPECT_EQ(GetObject(bitmap.get(), sizeof(BITMAP), nullptr), 0);
    // Any buffer will do, aligned or not.
    ASSERT_EQ(GetObject(bitmap.get(), sizeof(BITMAP), buffer.data() + 1),
              static_cast<int>(sizeof(BITMAP)));
    BITMAP description;
    std::memcpy(&description, buffer.data() + 1, sizeof(description));
    EXPECT_EQ(description.bmWidth, 2);
}

// ---------------------------------------------------------------------------
// Reference counts

TEST(BitmapReferences, RetainedBitmapKeepsItsPixelsAfterTheCreatorDeletes) {
    constexpr int32_t kWidth = 3, kHeight = 2;
    const auto rows = MakeRows(kWidth, kHeight, 9);
    HBITMAP bitmap = CreateBitmap24(kWidth, kHeight, rows, 9);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(RetainBitmap(bitmap), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));

    BITMAP description;
    ASSERT_NE(GetObject(bitmap, sizeof(description), &description), 0);
    EXPECT_EQ(description.bmWidth, kWidth);
    DcPtr dc(CreateCompatibleDC(nullptr));
    std::vector<uint8_t> bits(12 * kHeight);
    BITMAPINFO info = Format24(kWidth, kHeight);
    ASSERT_EQ(GetDIBits(dc.get(), bitmap, 0, kHeight, bits, &info, DIB_RGB_COLORS), kHeight);
    for (size_t y = 0; y < kHeight; ++y) {
        EXPECT_EQ(std::memcmp(&bits[y * 12], &rows[y * 9], 9), 0) << "row " << y;
    }
    // The last reference goes; ASan reports a leak if it did not free the bitmap.
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(BitmapReferences, NullHandles) {
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_EQ(RetainBitmap(nullptr), nullptr);
}

// ---------------------------------------------------------------------------
// Reading pixels

class DibBits : public ::testing::Test {
  protected:
    // A 5-pixel row is 15 bytes; the bitmap pads it to 16, the input uses 17.
    static constexpr int32_t kWidth = 5;
    static constexpr int32_t kHeight = 4;
    static constexpr size_t kInputStride = 17;
    static constexpr size_t kStride = 16;

    void SetUp() override {
        rows = MakeRows(kWidth, kHeight, kInputStride);
        bitmap.reset(CreateBitmap24(kWidth, kHeight, rows, kInputStride));
        dc.reset(CreateCompatibleDC(nullptr));
        ASSERT_NE(bitmap, nullptr);
        ASSERT_NE(dc, nullptr);
    }

    // Output row `row` must hold input row `inputRow` followed by zero padding.
    void ExpectRow(const std::vector<uint8_t>& bits, size_t row, size_t inputRow) const {
        for (size_t i = 0; i < kWidth * 3; ++i) {
            ASSERT_EQ(bits[row * kStride + i], rows[inputRow * kInputStride + i])
                << "row " << row << " byte " << i;
        }
        EXPECT_EQ(bits[row * kStride + 15], 0) << "padding of row " << row;
    }

    std::vector<uint8_t> rows;
    BitmapPtr bitmap;
    DcPtr dc;
};

TEST_F(DibBits, HeaderQueryDescribesTheBitmap) {
    BITMAPINFO info;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = 3;
    info.bmiHeader.biClrUsed = 7;
    EXPECT_NE(GetDIBits(dc.get(), bitmap.get(), 0, 0, {}, &info, DIB_RGB_COLORS), 0);
    const BITMAPINFOHEADER& h = info.bmiHeader;
    EXPECT_EQ(h.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(h.biWidth, kWidth);
    EXPECT_EQ(h.biHeight, kHeight);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, BI_RGB);
    EXPECT_EQ(h.biSizeImage, kStride * kHeight);
    EXPECT_EQ(h.biClrUsed, 0u);
}

TEST_F(DibBits, QueriedHeaderReadsEveryRowBottomUpWithZeroPadding) {
    BITMAPINFO info;
    ASSERT_NE(GetDIBits(dc.get(), bitmap.get(), 0, 0, {}, &info, DIB_RGB_COLORS), 0);
    std::vector<uint8_t> bits(info.bmiHeader.biSizeImage, 0xAB);
    ASSERT_EQ(GetDIBits(dc.get(), bitmap.get(), 0, kHeight, bits, &info, DIB_RGB_COLORS), kHeight);
    for (size_t y = 0; y < kHeight; ++y)
        ExpectRow(bits, y, y);
}

TEST_F(DibBits, StartAndCountSelectRowsClippedToTheBitmap) {
    BITMAPINFO info = Format24(kWidth, kHeight);
    std::vector<uint8_t> bits(kStride * kHeight, 0xAB);
    ASSERT_EQ(GetDIBits(dc.get(), bitmap.get(), 1, 2, bits, &info, DIB_RGB_COLORS), 2);
    ExpectRow(bits, 0, 1);
    ExpectRow(bits, 1, 2);
    EXPECT_EQ(bits[2 * kStride], 0xAB) << "nothing written past the rows asked for";

    std::fill(bits.begin(), bits.end(), 0xAB);
    ASSERT_EQ(GetDIBits(dc.get(), bitmap.get(), 2, 100, bits, &info, DIB_RGB_COLORS), 2);
    ExpectRow(bits, 0, 2);
    ExpectRow(bits, 1, 3);

    EXPECT_EQ(GetDIBits(dc.get(), bitmap.get(), kHeight, 1, bits, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(
        GetDIBits(dc.get(), bitmap.get(), 0xFFFFFFFFu, 0xFFFFFFFFu, bits, &info, DIB_RGB_COLORS),
        0);
    EXPECT_EQ(GetDIBits(dc.get(), bitmap.get(), 0, 0, bits, &info, DIB_RGB_COLORS), 0);
}

TEST_F(DibBits, RefusesABufferTooSmallForTheRows) {
    BITMAPINFO info = Format24(kWidth, kHeight);
    std::vector<uint8_t> bits(kStride * kHeight - 1, 0xAB);
    EXPECT_EQ(GetDIBits(dc.get(), bitmap.get(), 0, kHeight, bits, &info, DIB_RGB_COLORS), 0);
    EXPECT_TRUE(std::all_of(bits.begin(), bits.end(), [](uint8_t b) { return b == 0xAB; }));
    // The same buffer holds the rows that remain after clipping.
    EXPECT_EQ(GetDIBits(dc.get(), bitmap.get(), 1, kHeight, bits, &info, DIB_RGB_COLORS),
              kHeight - 1);
    // Unpadded rows are not enough.
    std::vector<uint8_t> unpadded(kWidth * 3 * kHeight);
    EXPECT_EQ(GetDIBits(dc.get(), bitmap.get(), 0, kHeight, unpadded, &info, DIB_RGB_COLORS), 0);
}

TEST_F(DibBits, RefusesOtherFormats) {
    std::vector<uint8_t> bits(kStride * kHeight * 2, 0xAB);
    const auto refused = [&](BITMAPINFO info, uint32_t usage = DIB_RGB_COLORS) {
        return GetDIBits(dc.get(), bitmap.get(), 0, kHeight, bits, &info, usage) == 0;
    };
    for (uint16_t bitCount : {0, 1, 8, 16, 32}) {
        BITMAPINFO info = Format24(kWidth, kHeight);
        info.bmiHeader.biBitCount = bitCount;
        EXPECT_TRUE(refused(info)) << bitCount << " bits";
    }
    BITMAPINFO compressed = Format24(kWidth, kHeight);
    compressed.bmiHeader.biCompression = 1;
    EXPECT_TRUE(refused(compressed));
    EXPECT_TRUE(refused(Format24(kWidth + 1, kHeight))) << "rows of another width";
    EXPECT_TRUE(refused(Format24(kWidth, -kHeight))) << "top row first";
    EXPECT_TRUE(refused(Format24(kWidth, 0)));
    EXPECT_TRUE(refused(Format24(kWidth, kHeight), 1)) << "palette indices";
    EXPECT_TRUE(std::all_of(bits.begin(), bits.end(), [](uint8_t b) { return b == 0xAB; }));
}

TEST_F(DibBits, RefusesNullArguments) {
    BITMAPINFO info = Format24(kWidth, kHeight);
    std::vector<uint8_t> bits(kStride * kHeight);
    for (std::span<uint8_t> span : {std::span<uint8_t>(), std::span<uint8_t>(bits)}) {
        EXPECT_EQ(GetDIBits(nullptr, bitmap.get(), 0, kHeight, span, &info, DIB_RGB_COLORS), 0);
        EXPECT_EQ(GetDIBits(dc.get(), nullptr, 0, kHeight, span, &info, DIB_RGB_COLORS), 0);
        EXPECT_EQ(GetDIBits(dc.get(), bitmap.get(), 0, kHeight, span, nullptr, DIB_RGB_COLORS), 0);
    }
}

// Grey bitmaps: 8-bit rows with the grey ramp as their colour table. Rows of
// 5 greys are padded to 8 bytes as grey rows, to 16 as 24-bit rows.
constexpr int32_t kGreyWidth = 5;
constexpr int32_t kGreyHeight = 3;
constexpr size_t kGreyStride = 8;
using GreyRows = std::array<uint8_t, kGreyStride * kGreyHeight>;

GreyRows MakeGreyRows() {
    GreyRows greys{};
    for (size_t i = 0; i < greys.size(); ++i)
        greys[i] = i % kGreyStride < kGreyWidth ? static_cast<uint8_t>(3 + 41 * i) : 0;
    return greys;
}

BitmapPtr GreyBitmap(const GreyRows& greys) {
    auto rows = std::make_unique<uint8_t[]>(greys.size());
    std::copy(greys.begin(), greys.end(), rows.get());
    return BitmapPtr(AdoptBitmapGrey8(kGreyWidth, kGreyHeight, std::move(rows), greys.size()));
}

TEST(GreyDibBits, DescribedAsEightBitsWithAGreyTable) {
    const BitmapPtr bitmap = GreyBitmap(MakeGreyRows());
    const DcPtr dc(CreateCompatibleDC(nullptr));
    ASSERT_NE(bitmap, nullptr);
    BITMAP description;
    ASSERT_EQ(GetObject(bitmap.get(), sizeof(description), &description), int(sizeof(BITMAP)));
    EXPECT_EQ(description.bmBitsPixel, 8);
    EXPECT_EQ(description.bmWidthBytes, int32_t(kGreyStride));
    BITMAPINFO info;
    ASSERT_NE(GetDIBits(dc.get(), bitmap.get(), 0, 0, {}, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.bmiHeader.biBitCount, 8);
    EXPECT_EQ(info.bmiHeader.biClrUsed, kGreyLevels);
    EXPECT_EQ(info.bmiHeader.biSizeImage, kGreyStride * kGreyHeight);
}

TEST(GreyDibBits, EightBitRowsComeWithTheRampAndTwentyFourBitRowsRepeatEachGrey) {
    const GreyRows greys = MakeGreyRows();
    const BitmapPtr bitmap = GreyBitmap(greys);
    const DcPtr dc(CreateCompatibleDC(nullptr));
    ASSERT_NE(bitmap, nullptr);
    constexpr size_t kStride = 16;
    BITMAPINFO info;
    ASSERT_NE(GetDIBits(dc.get(), bitmap.get(), 0, 0, {}, &info, DIB_RGB_COLORS), 0);
    std::vector<uint8_t> bits(kGreyStride * kGreyHeight, 0xAB);
    ASSERT_EQ(GetDIBits(dc.get(), bitmap.get(), 1, 2, bits, &info, DIB_RGB_COLORS), 2);
    EXPECT_TRUE(
        std::equal(bits.begin(), bits.begin() + 2 * kGreyStride, greys.begin() + kGreyStride));
    for (uint32_t g = 0; g < kGreyLevels; ++g)
        ASSERT_EQ(info.bmiColors[g], g << 16 | g << 8 | g) << "entry " << g;

    BITMAPINFO wide = Format24(kGreyWidth, kGreyHeight);
    std::vector<uint8_t> rows(kStride * kGreyHeight, 0xAB);
    ASSERT_EQ(GetDIBits(dc.get(), bitmap.get(), 0, kGreyHeight, rows, &wide, DIB_RGB_COLORS),
              kGreyHeight);
    for (size_t y = 0; y < kGreyHeight; ++y) {
        for (size_t x = 0; x < kGreyWidth; ++x) {
            for (size_t c = 0; c < 3; ++c)
                ASSERT_EQ(rows[y * kStride + 3 * x + c], greys[y * kGreyStride + x])
                    << x << ", " << y;
        }
        EXPECT_EQ(rows[y * kStride + 15], 0) << "padding of row " << y;
    }
    // Rows too few for the buffer are refused as 24-bit ones are.
    std::vector<uint8_t> short8(kGreyStride * kGreyHeight - 1);
    EXPECT_EQ(GetDIBits(dc.get(), bitmap.get(), 0, kGreyHeight, short8, &info, DIB_RGB_COLORS), 0);
}

TEST(GreyBitmap, EightBitRowsOnlyFromGreyBitmapsAndWholeRowsOnly) {
    const std::vector<uint8_t> rows = MakeRows(4, 2, 12);
    BitmapPtr colour(CreateBitmap24(4, 2, rows, 12));
    DcPtr dc(CreateCompatibleDC(nullptr));
    ASSERT_NE(colour, nullptr);
    BITMAPINFO info = Format24(4, 2);
    info.bmiHeader.biBitCount = 8;
    std::vector<uint8_t> bits(64, 0xAB);
    EXPECT_EQ(GetDIBits(dc.get(), colour.get(), 0, 2, bits, &info, DIB_RGB_COLORS), 0);
    // Rows of 5 greys padded to 8 bytes: 15 bytes are not two rows.
    EXPECT_EQ(AdoptBitmapGrey8(5, 2, std::make_unique<uint8_t[]>(15), 15), nullptr);
    EXPECT_EQ(AdoptBitmapGrey8(0, 2, std::make_unique<uint8_t[]>(16), 16), nullptr);
    EXPECT_EQ(AdoptBitmapGrey8(5, 2, nullptr, 16), nullptr);
    // A grey bitmap whose 24-bit rows would not fit the 32-bit image size
    // gives none (never read: the pixels stand in for 65536 x 30000 greys).
    constexpr int32_t kWide = 65536, kTall = 30000;
    BitmapPtr huge(
        AdoptBitmapGrey8(kWide, kTall, std::make_unique<uint8_t[]>(16), size_t{kWide} * kTall));
    ASSERT_NE(huge, nullptr);
    BITMAPINFO wide = Format24(kWide, kTall);
    EXPECT_EQ(GetDIBits(dc.get(), huge.get(), 0, 1, bits, &wide, DIB_RGB_COLORS), 0);
}

// ---------------------------------------------------------------------------
// Device contexts and the drawing surface

TEST(DeviceContext, MemoryContextHasNoSurfaceToPaint) {
    DcPtr like(CreateCompatibleDC(nullptr));
    ASSERT_NE(like, nullptr);
    DcPtr dc(CreateCompatibleDC(like.get()));
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetPixel(dc.get(), 0, 0), kInvalid);
    RECT all{0, 0, 10, 10};
    EXPECT_NE(FillRect(dc.get(), &all, GetStockObject(BLACK_BRUSH)), 0);
    const std::array<uint32_t, 1> pixel = {0xFF000000u};
    IconPtr icon(CreateIconFromPixels(1, 1, pixel));
    EXPECT_NE(DrawIcon(dc.get(), 0, 0, icon.get()), 0);
    EXPECT_FALSE(DeleteDC(nullptr));
}

TEST(DrawingSurface, StartsWhiteAndHasNoPixelsOutside) {
    DcPtr dc(CreateDrawingSurface(4, 3));
    ASSERT_NE(dc, nullptr);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(GetPixel(dc.get(), x, y), kWhite);
    }
    EXPECT_EQ(GetPixel(dc.get(), -1, 0), kInvalid);
    EXPECT_EQ(GetPixel(dc.get(), 0, -1), kInvalid);
    EXPECT_EQ(GetPixel(dc.get(), 4, 0), kInvalid);
    EXPECT_EQ(GetPixel(dc.get(), 0, 3), kInvalid);
    EXPECT_EQ(GetPixel(nullptr, 0, 0), kInvalid);
    EXPECT_EQ(CreateDrawingSurface(0, 3), nullptr);
    EXPECT_EQ(CreateDrawingSurface(4, -1), nullptr);
}

TEST(DrawingSurface, StockBrushesAreBlackAndWhiteOnly) {
    const HBRUSH black = GetStockObject(BLACK_BRUSH);
    const HBRUSH white = GetStockObject(WHITE_BRUSH);
    ASSERT_NE(black, nullptr);
    ASSERT_NE(white, nullptr);
    EXPECT_NE(black, white);
    EXPECT_EQ(GetStockObject(BLACK_BRUSH), black) << "the same brush every time";
    for (int other : {1, 2, 3, 5, 6, -1})
        EXPECT_EQ(GetStockObject(other), nullptr) << other;
}

class Painting : public ::testing::Test {
  protected:
    static constexpr int32_t kWidth = 6;
    static constexpr int32_t kHeight = 5;

    void SetUp() override {
        dc.reset(CreateDrawingSurface(kWidth, kHeight));
        ASSERT_NE(dc, nullptr);
    }
    template <typename Expected>
    void ExpectSurface(Expected expected) const {
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                ASSERT_EQ(GetPixel(dc.get(), x, y), expected(x, y)) << "(" << x << ", " << y << ")";
            }
        }
    }

    DcPtr dc;
};

TEST_F(Painting, FillRectExcludesRightAndBottom) {
    const RECT rect{1, 1, 4, 3};
    EXPECT_NE(FillRect(dc.get(), &rect, GetStockObject(BLACK_BRUSH)), 0);
    ExpectSurface(
        [](int32_t x, int32_t y) { return x >= 1 && x < 4 && y >= 1 && y < 3 ? kBlack : kWhite; });
}

TEST_F(Painting, FillRectClipsToTheSurface) {
    const RECT left{-3, -2, 2, 100};
    EXPECT_NE(FillRect(dc.get(), &left, GetStockObject(BLACK_BRUSH)), 0);
    ExpectSurface([](int32_t x, int32_t) { return x < 2 ? kBlack : kWhite; });

    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const RECT everything{kMin, kMin, kMax, kMax};
    EXPECT_NE(FillRect(dc.get(), &everything, GetStockObject(BLACK_BRUSH)), 0);
    const RECT corner{4, 3, kMax, kMax};
    EXPECT_NE(FillRect(dc.get(), &corner, GetStockObject(WHITE_BRUSH)), 0);
    ExpectSurface([](int32_t x, int32_t y) { return x >= 4 && y >= 3 ? kWhite : kBlack; });
}

TEST_F(Painting, EmptyOrInvertedRectPaintsNothing) {
    for (const RECT& rect : {RECT{3, 3, 3, 5}, RECT{1, 2, 4, 2}, RECT{4, 1, 2, 3}, RECT{1, 4, 4, 1},
                             RECT{6, 0, 9, 5}, RECT{-5, 0, 0, 5}}) {
        EXPECT_NE(FillRect(dc.get(), &rect, GetStockObject(BLACK_BRUSH)), 0);
    }
    ExpectSurface([](int32_t, int32_t) { return kWhite; });
}

TEST_F(Painting, FillRectRefusesNullArguments) {
    const RECT rect{0, 0, 2, 2};
    EXPECT_EQ(FillRect(nullptr, &rect, GetStockObject(BLACK_BRUSH)), 0);
    EXPECT_EQ(FillRect(dc.get(), nullptr, GetStockObject(BLACK_BRUSH)), 0);
    EXPECT_EQ(FillRect(dc.get(), &rect, nullptr), 0);
    ExpectSurface([](int32_t, int32_t) { return kWhite; });
}

// ---------------------------------------------------------------------------
// Icons

// An opaque icon whose pixels all differ: 0xFF000000 | (x + 1) << 16 | (y + 1) << 8.
std::vector<uint32_t> Gradient(int32_t width, int32_t height) {
    std::vector<uint32_t> argb;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            argb.push_back(0xFF000000u | uint32_t(x + 1) << 16 | uint32_t(y + 1) << 8 | 0x40);
        }
    }
    return argb;
}
uint32_t GradientAt(int32_t x, int32_t y) {
    return uint32_t(x + 1) << 16 | uint32_t(y + 1) << 8 | 0x40;
}

TEST(Icon, CreationChecksSizeAgainstThePixels) {
    const auto argb = Gradient(3, 2);
    EXPECT_EQ(CreateIconFromPixels(0, 2, argb), nullptr);
    EXPECT_EQ(CreateIconFromPixels(3, -2, argb), nullptr);
    EXPECT_EQ(CreateIconFromPixels(3, 3, argb), nullptr) << "one row too many";
    EXPECT_EQ(CreateIconFromPixels(3, 2, std::span(argb).first(5)), nullptr);
    EXPECT_EQ(CreateIconFromPixels(std::numeric_limits<int32_t>::max(),
                                   std::numeric_limits<int32_t>::max(), argb),
              nullptr);

    IconPtr icon(CreateIconFromPixels(3, 2, argb));
    ASSERT_NE(icon, nullptr);
    int32_t width = 0, height = 0;
    ASSERT_TRUE(GetIconSize(icon.get(), &width, &height));
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_FALSE(GetIconSize(nullptr, &width, &height));
    EXPECT_FALSE(GetIconSize(icon.get(), nullptr, &height));
    EXPECT_FALSE(DestroyIcon(nullptr));
}

TEST_F(Painting, DrawIconPlacesItsTopLeftCornerAtThePoint) {
    IconPtr icon(CreateIconFromPixels(3, 2, Gradient(3, 2)));
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(DrawIcon(dc.get(), 2, 1, icon.get()), 0);
    ExpectSurface([](int32_t x, int32_t y) {
        return x >= 2 && x < 5 && y >= 1 && y < 3 ? GradientAt(x - 2, y - 1) : kWhite;
    });
}

TEST_F(Painting, DrawIconClipsAtEveryEdge) {
    IconPtr icon(CreateIconFromPixels(3, 3, Gradient(3, 3)));
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(DrawIcon(dc.get(), -1, -2, icon.get()), 0);
    EXPECT_NE(DrawIcon(dc.get(), kWidth - 1, kHeight - 2, icon.get()), 0);
    ExpectSurface([](int32_t x, int32_t y) {
        if (x < 2 && y < 1) return GradientAt(x + 1, y + 2);
        if (x >= kWidth - 1 && y >= kHeight - 2) {
            return GradientAt(x - (kWidth - 1), y - (kHeight - 2));
        }
        return kWhite;
    });
}

TEST_F(Painting, DrawIconFarOutsideDrawsNothing) {
    IconPtr icon(CreateIconFromPixels(3, 3, Gradient(3, 3)));
    ASSERT_NE(icon, nullptr);
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    for (const auto& [x, y] :
         {std::pair{kMin, kMin}, std::pair{kMax, kMax}, std::pair{kMax - 1, 0},
          std::pair{0, kMax - 1}, std::pair{-3, 0}, std::pair{0, -3}, std::pair{kWidth, 0}}) {
        EXPECT_NE(DrawIcon(dc.get(), x, y, icon.get()), 0);
    }
    ExpectSurface([](int32_t, int32_t) { return kWhite; });
}

TEST_F(Painting, DrawIconLeavesTransparentPixelsAndBlendsTranslucentOnes) {
    // Left: fully transparent black; right: half-transparent black.
    const std::array<uint32_t, 2> argb = {0x00000000u, 0x80000000u};
    IconPtr icon(CreateIconFromPixels(2, 1, argb));
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(DrawIcon(dc.get(), 0, 0, icon.get()), 0);
    EXPECT_EQ(GetPixel(dc.get(), 0, 0), kWhite);
    // 128/255 of black over white leaves 127/255 of white in each channel.
    const uint32_t half = GetPixel(dc.get(), 1, 0);
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t channel = (half >> shift) & 0xFF;
        EXPECT_GE(channel, 126u);
        EXPECT_LE(channel, 128u);
    }

    // Half-transparent red over black: red at half strength, no green or blue.
    const RECT all{0, 0, kWidth, kHeight};
    FillRect(dc.get(), &all, GetStockObject(BLACK_BRUSH));
    const std::array<uint32_t, 1> red = {0x80FF0000u};
    IconPtr redIcon(CreateIconFromPixels(1, 1, red));
    EXPECT_NE(DrawIcon(dc.get(), 3, 3, redIcon.get()), 0);
    const uint32_t blended = GetPixel(dc.get(), 3, 3);
    EXPECT_GE(blended >> 16, 127u);
    EXPECT_LE(blended >> 16, 129u);
    EXPECT_EQ(blended & 0xFFFF, 0u);
}

TEST_F(Painting, DrawIconRefusesNullArguments) {
    IconPtr icon(CreateIconFromPixels(1, 1, Gradient(1, 1)));
    EXPECT_EQ(DrawIcon(nullptr, 0, 0, icon.get()), 0);
    EXPECT_EQ(DrawIcon(dc.get(), 0, 0, nullptr), 0);
    ExpectSurface([](int32_t, int32_t) { return kWhite; });
}

// ---------------------------------------------------------------------------
// Icon resources

// Distinct module identities for each test: the table is process-wide.
struct Modules {
    char a = 0;
    char b = 0;
    ~Modules() {
        UnregisterIconResources(&a);
        UnregisterIconResources(&b);
    }
};

TEST(IconResources, LoadIconFindsIconsByModuleAndId) {
    Modules modules;
    HICON a1 = CreateIconFromPixels(1, 1, Gradient(1, 1));
    HICON a2 = CreateIconFromPixels(2, 2, Gradient(2, 2));
    HICON b1 = CreateIconFromPixels(3, 3, Gradient(3, 3));
    RegisterIconResource(&modules.a, 1, a1);
    RegisterIconResource(&modules.a, 2, a2);
    RegisterIconResource(&modules.b, 1, b1);
    EXPECT_EQ(LoadIcon(&modules.a, 1), a1);
    EXPECT_EQ(LoadIcon(&modules.a, 2), a2);
    EXPECT_EQ(LoadIcon(&modules.b, 1), b1);
    EXPECT_EQ(LoadIcon(&modules.a, 3), nullptr);
    EXPECT_EQ(LoadIcon(nullptr, 1), nullptr);

    UnregisterIconResources(&modules.a);
    EXPECT_EQ(LoadIcon(&modules.a, 1), nullptr);
    EXPECT_EQ(LoadIcon(&modules.a, 2), nullptr);
    EXPECT_EQ(LoadIcon(&modules.b, 1), b1) << "other modules keep their icons";
}

TEST(IconResources, TheTableOwnsItsIcons) {
    Modules modules;
    HICON icon = CreateIconFromPixels(2, 2, Gradient(2, 2));
    RegisterIconResource(&modules.a, 7, icon);
    EXPECT_FALSE(DestroyIcon(LoadIcon(&modules.a, 7))) << "a shared icon is not destroyed";

    // Still alive and drawable (ASan reports a use after free otherwise).
    DcPtr dc(CreateDrawingSurface(2, 2));
    EXPECT_NE(DrawIcon(dc.get(), 0, 0, LoadIcon(&modules.a, 7)), 0);
    EXPECT_EQ(GetPixel(dc.get(), 1, 1), GradientAt(1, 1));
    // Unregistering frees it; ASan reports a leak otherwise.
}

TEST(IconResources, RegisteringAnIdAgainReplacesTheIcon) {
    Modules modules;
    HICON first = CreateIconFromPixels(1, 1, Gradient(1, 1));
    HICON second = CreateIconFromPixels(2, 1, Gradient(2, 1));
    RegisterIconResource(&modules.a, 1, first);
    RegisterIconResource(&modules.a, 1, second);
    ASSERT_EQ(LoadIcon(&modules.a, 1), second);
    int32_t width = 0, height = 0;
    EXPECT_TRUE(GetIconSize(LoadIcon(&modules.a, 1), &width, &height));
    EXPECT_EQ(width, 2);
}

TEST(IconResources, AnIconHasOneOwner) {
    Modules modules;
    HICON icon = CreateIconFromPixels(1, 1, Gradient(1, 1));
    RegisterIconResource(&modules.a, 1, icon);
    RegisterIconResource(&modules.a, 1, icon);  // the same again: no change
    RegisterIconResource(&modules.b, 2, icon);  // already held: ignored
    EXPECT_EQ(LoadIcon(&modules.a, 1), icon);
    EXPECT_EQ(LoadIcon(&modules.b, 2), nullptr);
    RegisterIconResource(&modules.b, 3, nullptr);
    EXPECT_EQ(LoadIcon(&modules.b, 3), nullptr);
    // Unregistering both modules frees the icon once; ASan reports a double free otherwise.
}

}  // namespace
