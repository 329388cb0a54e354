#include "cli/picture_loading.h"

#include <cstring>
#include <memory>

#include "platform/picture.h"

namespace zeph::cli {

ComPtr<IDispatch> BitmapToPicture(HBITMAP bitmap, int16_t type, HPALETTE palette) {
    // Only a bitmap description can carry a bitmap: another type would make the
    // picture read the bitmap as an icon or a metafile.
    ComPtr<IDispatch> picture;
    if (type == PICTYPE_BITMAP && bitmap) {
        PICTDESC description;
        description.picType = static_cast<uint32_t>(type);
        description.bmp.hbitmap = bitmap;
        description.bmp.hpal = palette;
        if (SUCCEEDED(
                OleCreatePictureIndirect(&description, IID_IDispatch, true, picture.PutVoid()))) {
            return picture;
        }
    }
    DeleteObject(bitmap);
    return {};
}

HBITMAP BitmapOfImage(imaging::DecodedImage&& image) {
    // Decoders leave the row padding as it was allocated; the bitmap's rows
    // are whole.
    const bool grey = image.channels == 1;
    const size_t rowBytes = (grey ? 1 : 3) * static_cast<size_t>(image.width);
    for (int32_t y = 0; y < image.height; ++y)
        std::memset(image.RowFromTop(y) + rowBytes, 0, image.stride - rowBytes);
    const size_t size = image.Size();
    auto reserved = std::make_shared<imaging::PixelBudget::Reservation>(std::move(image.reserved));
    return grey ? AdoptBitmapGrey8(image.width, image.height, std::move(image.pixels), size,
                                   std::move(reserved))
                : AdoptBitmap24(image.width, image.height, std::move(image.pixels), size,
                                std::move(reserved));
}

ComPtr<IDispatch> PictureOfImage(imaging::DecodedImage&& image) {
    HBITMAP bitmap = BitmapOfImage(std::move(image));
    if (!bitmap) return {};
    return BitmapToPicture(bitmap, PICTYPE_BITMAP, nullptr);
}

}  // namespace zeph::cli
