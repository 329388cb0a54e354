#include "cli/picture_loading.h"

#include "imaging/image_loading.h"
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

ComPtr<IDispatch> LoadPicturePlus(const std::string& path) {
    HBITMAP bitmap = imaging::LoadImageFile(path);
    if (!bitmap) return {};
    return BitmapToPicture(bitmap, PICTYPE_BITMAP, nullptr);
}

}  // namespace zeph::cli
