// Decoded pictures and bitmaps as the standard pictures the reader control takes.
#include "cli/picture_loading.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/image_loading.h"
#include "imaging/pixel_budget.h"
#include "platform/picture.h"

namespace {

namespace fs = std::filesystem;
using zeph::cli::BitmapOfImage;
using zeph::cli::BitmapToPicture;
using zeph::cli::PictureOfImage;

// A 5 x 3 grey picture.
const std::string kPnm = "P5 5 3 255\n" + std::string(15, '\x60');

zeph::imaging::DecodedImage DecodedPnm() {
    zeph::imaging::DecodeResult result = zeph::imaging::DecodeImageBytes(
        {reinterpret_cast<const uint8_t*>(kPnm.data()), kPnm.size()});
    EXPECT_TRUE(result.image) << result.error;
    return std::move(*result.image);
}

HBITMAP Decoded() {
    return BitmapOfImage(DecodedPnm());
}

void ExpectBitmapPicture(const ComPtr<IDispatch>& picture, int32_t width, int32_t height) {
    ASSERT_TRUE(picture);
    ComPtr<IPicture> view;
    ASSERT_EQ(picture->QueryInterface(IID_IPicture, view.PutVoid()), S_OK);
    int16_t type = 0;
    int32_t w = 0, h = 0;
    ASSERT_EQ(view->get_Type(&type), S_OK);
    ASSERT_EQ(view->get_Width(&w), S_OK);
    ASSERT_EQ(view->get_Height(&h), S_OK);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    OLE_HANDLE handle = 0;
    ASSERT_EQ(view->get_Handle(&handle), S_OK);
    EXPECT_NE(handle, 0u);
}

TEST(PictureLoading, DecodedPicturesBecomeStandardPictures) {
    ExpectBitmapPicture(BitmapToPicture(Decoded(), PICTYPE_BITMAP, nullptr), 5, 3);
    ExpectBitmapPicture(PictureOfImage(DecodedPnm()), 5, 3);
}

// The bitmap takes the decoded rows over, and their place in the process's
// budget with them: the place is free only when the last reference goes.
TEST(PictureLoading, BitmapsHoldTheirPixelsInTheBudgetUntilDeleted) {
    zeph::imaging::PixelBudget& budget = zeph::imaging::DecodedPixelBudget();
    const uint64_t before = budget.Held();
    HBITMAP bitmap = Decoded();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(budget.Held(), before + 15);
    HBITMAP shared = RetainBitmap(bitmap);
    DeleteObject(bitmap);
    EXPECT_EQ(budget.Held(), before + 15) << "a reference is left";
    // The rows came over whole: padding cleared, pixels as decoded.
    BITMAP description;
    ASSERT_EQ(GetObject(shared, sizeof description, &description), int(sizeof description));
    EXPECT_EQ(description.bmWidth, 5);
    DeleteObject(shared);
    EXPECT_EQ(budget.Held(), before);
}

TEST(PictureLoading, RefusedDescriptionsDeleteTheBitmap) {
    // The extra reference keeps the bitmap readable after the call; the leak
    // checker reports it if the call kept its own.
    HBITMAP bitmap = Decoded();
    ASSERT_NE(bitmap, nullptr);
    RetainBitmap(bitmap);
    EXPECT_FALSE(BitmapToPicture(bitmap, PICTYPE_ICON, nullptr));
    BITMAP description;
    EXPECT_EQ(GetObject(bitmap, sizeof description, &description), int(sizeof description));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(BitmapToPicture(nullptr, PICTYPE_BITMAP, nullptr));
}

}  // namespace
