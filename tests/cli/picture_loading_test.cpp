// Decoded files and bitmaps as the standard pictures the reader control takes.
#include "cli/picture_loading.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/image_loading.h"
#include "platform/picture.h"

namespace {

namespace fs = std::filesystem;
using zeph::cli::BitmapToPicture;
using zeph::cli::LoadPicturePlus;

// A 5 x 3 grey picture.
const std::string kPnm = "P5 5 3 255\n" + std::string(15, '\x60');

HBITMAP Decoded() {
    return zeph::imaging::LoadImageBytes(
        {reinterpret_cast<const uint8_t*>(kPnm.data()), kPnm.size()});
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

TEST(PictureLoading, BitmapsAndFilesBecomeStandardPictures) {
    ExpectBitmapPicture(BitmapToPicture(Decoded(), PICTYPE_BITMAP, nullptr), 5, 3);

    const fs::path folder =
        fs::temp_directory_path() / ("zeph-pictures-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "grey.pgm", std::ios::binary) << kPnm;
    ExpectBitmapPicture(LoadPicturePlus((folder / "grey.pgm").string()), 5, 3);
    // Files that give no bitmap give no picture.
    EXPECT_FALSE(LoadPicturePlus((folder / "missing.pgm").string()));
    EXPECT_FALSE(LoadPicturePlus(folder.string()));
    fs::remove_all(folder);
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
