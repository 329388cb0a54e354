#include "platform/picture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kWidth = 7;
constexpr int32_t kHeight = 3;

std::vector<uint8_t> Rows() {
    std::vector<uint8_t> rows(kWidth * 3 * kHeight);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<uint8_t>(i * 13 + 5);
    return rows;
}
HBITMAP MakeBitmap() {
    return CreateBitmap24(kWidth, kHeight, Rows(), kWidth * 3);
}

PICTDESC BitmapPicture(HBITMAP bitmap) {
    PICTDESC description;
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = bitmap;
    return description;
}
PICTDESC IconPicture(HICON icon) {
    PICTDESC description;
    description.picType = PICTYPE_ICON;
    description.icon.hicon = icon;
    return description;
}
PICTDESC MetafilePicture(uintptr_t handle, int32_t xExt, int32_t yExt) {
    PICTDESC description;
    description.picType = PICTYPE_METAFILE;
    description.wmf.hmeta = reinterpret_cast<void*>(handle);
    description.wmf.xExt = xExt;
    description.wmf.yExt = yExt;
    return description;
}

ComPtr<IPicture> Create(const PICTDESC& description, bool own) {
    ComPtr<IPicture> picture;
    EXPECT_EQ(OleCreatePictureIndirect(&description, IID_IPicture, own, picture.PutVoid()), S_OK);
    return picture;
}

// Whether the bitmap can still be read, and reads as made by MakeBitmap.
bool ReadsAsMade(HBITMAP bitmap) {
    BITMAP size;
    if (GetObject(bitmap, sizeof(size), &size) == 0) return false;
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info;
    std::vector<uint8_t> bits(static_cast<size_t>(size.bmWidthBytes) * kHeight);
    GetDIBits(dc, bitmap, 0, 0, {}, &info, DIB_RGB_COLORS);
    const int lines = GetDIBits(dc, bitmap, 0, kHeight, bits, &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    const auto rows = Rows();
    for (size_t y = 0; y < kHeight; ++y) {
        if (std::memcmp(&bits[y * static_cast<size_t>(size.bmWidthBytes)], &rows[y * kWidth * 3],
                        kWidth * 3) != 0) {
            return false;
        }
    }
    return lines == kHeight;
}

// ---------------------------------------------------------------------------
// Interfaces and identity

class PictureObject : public ::testing::Test {
  protected:
    void SetUp() override {
        bitmap = MakeBitmap();
        ASSERT_NE(bitmap, nullptr);
        picture = Create(BitmapPicture(bitmap), true);
        ASSERT_TRUE(picture);
    }

    HBITMAP bitmap = nullptr;
    ComPtr<IPicture> picture;
};

TEST_F(PictureObject, OffersItsFourInterfaces) {
    ComPtr<IUnknown> unknown;
    ComPtr<IPicture> asPicture;
    ComPtr<IDispatch> dispatch;
    ComPtr<IDispatch> pictureDisp;
    ASSERT_EQ(picture.As(IID_IUnknown, unknown), S_OK);
    ASSERT_EQ(picture.As(IID_IPicture, asPicture), S_OK);
    ASSERT_EQ(picture.As(IID_IDispatch, dispatch), S_OK);
    ASSERT_EQ(picture.As(IID_IPictureDisp, pictureDisp), S_OK);
    EXPECT_EQ(asPicture.Get(), picture.Get());
    EXPECT_EQ(pictureDisp.Get(), dispatch.Get()) << "the picture's dispatch interface is IDispatch";

    // Every interface leads back to the same identity and to the same interfaces.
    ComPtr<IUnknown> fromDispatch;
    ComPtr<IPicture> pictureFromDispatch;
    ASSERT_EQ(dispatch.As(IID_IUnknown, fromDispatch), S_OK);
    ASSERT_EQ(dispatch.As(IID_IPicture, pictureFromDispatch), S_OK);
    EXPECT_EQ(fromDispatch.Get(), unknown.Get());
    EXPECT_EQ(pictureFromDispatch.Get(), picture.Get());
    ComPtr<IUnknown> fromUnknown;
    ASSERT_EQ(unknown.As(IID_IUnknown, fromUnknown), S_OK);
    EXPECT_EQ(fromUnknown.Get(), unknown.Get());
}

TEST_F(PictureObject, RefusesOtherInterfaces) {
    void* object = &object;
    EXPECT_EQ(picture->QueryInterface(IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(picture->QueryInterface(IID_NULL, &object), E_NOINTERFACE);
    EXPECT_EQ(picture->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(PictureObject, CountsReferencesExactly) {
    IPicture* raw = picture.Detach();
    EXPECT_EQ(raw->AddRef(), 2u);
    EXPECT_EQ(raw->Release(), 1u);

    IDispatch* dispatch = nullptr;
    ASSERT_EQ(raw->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(dispatch->AddRef(), 3u) << "QueryInterface added one";
    EXPECT_EQ(dispatch->Release(), 2u);
    EXPECT_EQ(dispatch->Release(), 1u);
    void* refused = nullptr;
    EXPECT_EQ(raw->QueryInterface(IID_IClassFactory, &refused), E_NOINTERFACE);
    EXPECT_EQ(raw->AddRef(), 2u) << "a refused QueryInterface adds none";
    EXPECT_EQ(raw->Release(), 1u);
    EXPECT_EQ(raw->Release(), 0u);
}

TEST(PictureCreation, ReturnsTheInterfaceAskedFor) {
    for (const IID* iid : {&IID_IUnknown, &IID_IPicture, &IID_IDispatch, &IID_IPictureDisp}) {
        HBITMAP bitmap = MakeBitmap();
        const PICTDESC description = BitmapPicture(bitmap);
        ComPtr<IUnknown> object;
        ASSERT_EQ(OleCreatePictureIndirect(&description, *iid, true, object.PutVoid()), S_OK);
        ComPtr<IUnknown> same;
        ASSERT_EQ(object.As(*iid, same), S_OK);
        EXPECT_EQ(same.Get(), object.Get()) << GuidToString(*iid);
        // The creation reference is the only one.
        IUnknown* raw = object.Detach();
        same.Reset();
        EXPECT_EQ(raw->Release(), 0u) << GuidToString(*iid);
    }
}

// ---------------------------------------------------------------------------
// Ownership of the bitmap or icon

TEST(PictureOwnership, OwnedBitmapGoesWithTheLastRelease) {
    HBITMAP bitmap = MakeBitmap();
    RetainBitmap(bitmap);  // the test's own reference, to look after the picture
    IPicture* picture = Create(BitmapPicture(bitmap), true).Detach();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Release(), 0u);
    // The picture dropped exactly the creator's reference: the test's remains
    // (ASan: use after free if it dropped two) and is the last (leak if none).
    EXPECT_TRUE(ReadsAsMade(bitmap));
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(PictureOwnership, BitmapNotOwnedOutlivesThePicture) {
    HBITMAP bitmap = MakeBitmap();
    Create(BitmapPicture(bitmap), false).Reset();
    EXPECT_TRUE(ReadsAsMade(bitmap));
    EXPECT_TRUE(DeleteObject(bitmap));  // the last reference; ASan checks it frees
}

TEST(PictureOwnership, PictureKeepsABitmapNotOwnedAfterItsCreatorDeletesIt) {
    HBITMAP bitmap = MakeBitmap();
    ComPtr<IPicture> picture = Create(BitmapPicture(bitmap), false);
    EXPECT_TRUE(DeleteObject(bitmap));
    int32_t width = 0;
    EXPECT_EQ(picture->get_Width(&width), S_OK);
    EXPECT_EQ(width, kWidth);
    OLE_HANDLE handle = 0;
    EXPECT_EQ(picture->get_Handle(&handle), S_OK);
    EXPECT_TRUE(ReadsAsMade(reinterpret_cast<HBITMAP>(handle)));
}

TEST(PictureOwnership, FailedCreationLeavesTheBitmapWithTheCaller) {
    HBITMAP bitmap = MakeBitmap();
    const PICTDESC description = BitmapPicture(bitmap);
    void* object = &object;
    EXPECT_EQ(OleCreatePictureIndirect(&description, IID_IClassFactory, true, &object),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_TRUE(ReadsAsMade(bitmap));
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(PictureOwnership, IconNotOwnedOutlivesThePicture) {
    const std::vector<uint32_t> argb(5 * 9, 0xFF123456u);
    HICON icon = CreateIconFromPixels(5, 9, argb);
    Create(IconPicture(icon), false).Reset();
    int32_t width = 0, height = 0;
    EXPECT_TRUE(GetIconSize(icon, &width, &height));
    EXPECT_TRUE(DestroyIcon(icon));  // ASan: double free if the picture destroyed it
}

TEST(PictureOwnership, OwnedIconGoesWithThePicture) {
    const std::vector<uint32_t> argb(4, 0xFF123456u);
    // ASan reports a leak if the picture keeps it.
    Create(IconPicture(CreateIconFromPixels(2, 2, argb)), true).Reset();
}

TEST(PictureOwnership, OwnedPictureOfASharedIconLeavesTheIconToItsTable) {
    static const char module = 0;
    const std::vector<uint32_t> argb(4, 0xFF123456u);
    RegisterIconResource(&module, 1, CreateIconFromPixels(2, 2, argb));
    HICON shared = LoadIcon(&module, 1);
    ASSERT_NE(shared, nullptr);
    Create(IconPicture(shared), true).Reset();
    EXPECT_EQ(LoadIcon(&module, 1), shared);
    int32_t width = 0, height = 0;
    EXPECT_TRUE(GetIconSize(shared, &width, &height));  // ASan: use after free otherwise
    UnregisterIconResources(&module);
}

// ---------------------------------------------------------------------------
// Properties

TEST(PictureProperties, BitmapPicture) {
    HBITMAP bitmap = MakeBitmap();
    ComPtr<IPicture> picture = Create(BitmapPicture(bitmap), true);
    OLE_HANDLE handle = 0;
    int16_t type = PICTYPE_UNINITIALIZED;
    int32_t width = 0, height = 0;
    ASSERT_EQ(picture->get_Handle(&handle), S_OK);
    ASSERT_EQ(picture->get_Type(&type), S_OK);
    ASSERT_EQ(picture->get_Width(&width), S_OK);
    ASSERT_EQ(picture->get_Height(&height), S_OK);
    EXPECT_EQ(reinterpret_cast<HBITMAP>(handle), bitmap);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);

    EXPECT_EQ(picture->get_Handle(nullptr), E_POINTER);
    EXPECT_EQ(picture->get_Type(nullptr), E_POINTER);
    EXPECT_EQ(picture->get_Width(nullptr), E_POINTER);
    EXPECT_EQ(picture->get_Height(nullptr), E_POINTER);
}

TEST(PictureProperties, IconPicture) {
    const std::vector<uint32_t> argb(5 * 9, 0xFF123456u);
    HICON icon = CreateIconFromPixels(5, 9, argb);
    ComPtr<IPicture> picture = Create(IconPicture(icon), true);
    OLE_HANDLE handle = 0;
    int16_t type = PICTYPE_UNINITIALIZED;
    int32_t width = 0, height = 0;
    ASSERT_EQ(picture->get_Handle(&handle), S_OK);
    ASSERT_EQ(picture->get_Type(&type), S_OK);
    ASSERT_EQ(picture->get_Width(&width), S_OK);
    ASSERT_EQ(picture->get_Height(&height), S_OK);
    EXPECT_EQ(reinterpret_cast<HICON>(handle), icon);
    EXPECT_EQ(type, PICTYPE_ICON);
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 9);
}

TEST(PictureProperties, MetafilePicture) {
    ComPtr<IPicture> picture = Create(MetafilePicture(0x1234, 640, 480), true);
    OLE_HANDLE handle = 0;
    int16_t type = PICTYPE_UNINITIALIZED;
    int32_t width = 0, height = 0;
    ASSERT_EQ(picture->get_Handle(&handle), S_OK);
    ASSERT_EQ(picture->get_Type(&type), S_OK);
    ASSERT_EQ(picture->get_Width(&width), S_OK);
    ASSERT_EQ(picture->get_Height(&height), S_OK);
    EXPECT_EQ(handle, 0x1234u);
    EXPECT_EQ(type, PICTYPE_METAFILE);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
}

// ---------------------------------------------------------------------------
// Invalid descriptions

HRESULT CreateFrom(const PICTDESC* description, void** object) {
    return OleCreatePictureIndirect(description, IID_IPicture, true, object);
}

TEST(PictureCreation, RefusesDescriptionsOfTheWrongSize) {
    HBITMAP bitmap = MakeBitmap();
    for (uint32_t size : {0u, uint32_t{sizeof(PICTDESC)} - 1, uint32_t{sizeof(PICTDESC)} + 1}) {
        PICTDESC description = BitmapPicture(bitmap);
        description.cbSizeofstruct = size;
        void* object = &object;
        EXPECT_EQ(CreateFrom(&description, &object), E_INVALIDARG) << size;
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_TRUE(ReadsAsMade(bitmap)) << "a refused description leaves the bitmap alone";
    DeleteObject(bitmap);
}

TEST(PictureCreation, RefusesUnknownTypesAndMissingHandles) {
    for (uint32_t type :
         {uint32_t(PICTYPE_NONE), uint32_t(int32_t{PICTYPE_UNINITIALIZED}), 4u, 0x10001u}) {
        PICTDESC description = MetafilePicture(0x1234, 1, 1);
        description.picType = type;
        void* object = &object;
        EXPECT_EQ(CreateFrom(&description, &object), E_INVALIDARG) << type;
        EXPECT_EQ(object, nullptr);
    }
    void* object = nullptr;
    const PICTDESC noBitmap = BitmapPicture(nullptr);
    EXPECT_EQ(CreateFrom(&noBitmap, &object), E_INVALIDARG);
    const PICTDESC noIcon = IconPicture(nullptr);
    EXPECT_EQ(CreateFrom(&noIcon, &object), E_INVALIDARG);
    const PICTDESC noMetafile = MetafilePicture(0, 1, 1);
    EXPECT_EQ(CreateFrom(&noMetafile, &object), E_INVALIDARG);
}

TEST(PictureCreation, RefusesNullPointers) {
    void* object = &object;
    EXPECT_EQ(CreateFrom(nullptr, &object), E_POINTER);
    EXPECT_EQ(object, nullptr);
    const PICTDESC description = MetafilePicture(0x1234, 1, 1);
    EXPECT_EQ(CreateFrom(&description, nullptr), E_POINTER);
}

// ---------------------------------------------------------------------------
// The dispatch interface

class PictureDispatch : public ::testing::Test {
  protected:
    void SetUp() override {
        bitmap = MakeBitmap();
        ComPtr<IPicture> picture = Create(BitmapPicture(bitmap), true);
        ASSERT_EQ(picture.As(IID_IDispatch, dispatch), S_OK);
    }

    // The id of one name, or the error.
    HRESULT IdOf(const char16_t* name, DISPID& id) const {
        return dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    }
    HRESULT Get(IDispatch& object, DISPID id, VARIANT& result,
                uint16_t flags = DISPATCH_PROPERTYGET) const {
        DISPPARAMS none;
        return object.Invoke(id, IID_NULL, 0, flags, &none, &result, nullptr, nullptr);
    }

    HBITMAP bitmap = nullptr;
    ComPtr<IDispatch> dispatch;
};

TEST_F(PictureDispatch, HasNoTypeInformation) {
    uint32_t count = 99;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(dispatch->GetTypeInfoCount(nullptr), E_POINTER);
}

TEST_F(PictureDispatch, NamesMapToTheirIdsInAnyCase) {
    const std::array<std::pair<const char16_t*, DISPID>, 8> names = {{
        {u"Handle", DISPID_PICT_HANDLE},
        {u"HANDLE", DISPID_PICT_HANDLE},
        {u"Type", DISPID_PICT_TYPE},
        {u"tYPE", DISPID_PICT_TYPE},
        {u"Width", DISPID_PICT_WIDTH},
        {u"width", DISPID_PICT_WIDTH},
        {u"Height", DISPID_PICT_HEIGHT},
        {u"hEiGhT", DISPID_PICT_HEIGHT},
    }};
    for (const auto& [name, expected] : names) {
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(IdOf(name, id), S_OK);
        EXPECT_EQ(id, expected);
    }
}

TEST_F(PictureDispatch, OtherNamesAreUnknown) {
    // Near misses, a non-ASCII look-alike (i with diaeresis), and nothing.
    for (const char16_t* name : {u"Widt", u"Widths", u"Size", u"", u"W\u00efdth", u"Width "}) {
        DISPID id = 42;
        EXPECT_EQ(IdOf(name, id), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(id, DISPID_UNKNOWN);
    }
    DISPID id = 42;
    EXPECT_EQ(IdOf(nullptr, id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST_F(PictureDispatch, PropertiesTakeNoNamedParameters) {
    // Names after the first name parameters of the first; there are none.
    const char16_t* names[] = {u"Width", u"Height"};
    DISPID ids[2] = {42, 42};
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_PICT_WIDTH);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST_F(PictureDispatch, RefusesAnInterfaceIdOtherThanNull) {
    const char16_t* name = u"Width";
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_IPicture, &name, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
    DISPPARAMS none;
    VARIANT result;
    EXPECT_EQ(dispatch->Invoke(DISPID_PICT_WIDTH, IID_IPicture, 0, DISPATCH_PROPERTYGET, &none,
                               &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST_F(PictureDispatch, GetsAgreeWithThePictureInterface) {
    ComPtr<IPicture> picture;
    ASSERT_EQ(dispatch.As(IID_IPicture, picture), S_OK);
    int16_t type = 0;
    int32_t width = 0, height = 0;
    ASSERT_EQ(picture->get_Type(&type), S_OK);
    ASSERT_EQ(picture->get_Width(&width), S_OK);
    ASSERT_EQ(picture->get_Height(&height), S_OK);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    const std::array<std::pair<const char16_t*, int32_t>, 3> expected = {{
        {u"Type", type},
        {u"Width", width},
        {u"Height", height},
    }};
    for (const auto& [name, value] : expected) {
        DISPID id = DISPID_UNKNOWN;
        ASSERT_EQ(IdOf(name, id), S_OK);
        for (uint16_t flags :
             {DISPATCH_PROPERTYGET, uint16_t(DISPATCH_PROPERTYGET | DISPATCH_METHOD)}) {
            VARIANT result;
            ASSERT_EQ(Get(*dispatch.Get(), id, result, flags), S_OK);
            EXPECT_EQ(result.vt, VT_I4);
            EXPECT_EQ(result.lVal, value);
        }
    }
}

TEST_F(PictureDispatch, HandleIsGivenOnlyWhenItFitsInThirtyTwoBits) {
    struct Case {
        uintptr_t handle;
        bool fits;
    };
    for (const Case& c :
         {Case{0x1234, true}, Case{0x7FFFFFFF, true}, Case{static_cast<uintptr_t>(-8), true},
          Case{uintptr_t{0x80000000}, false}, Case{uintptr_t{1} << 40, false},
          Case{static_cast<uintptr_t>(-(intptr_t{1} << 32)), false}}) {
        ComPtr<IPicture> picture = Create(MetafilePicture(c.handle, 1, 1), false);
        ComPtr<IDispatch> metafile;
        ASSERT_EQ(picture.As(IID_IDispatch, metafile), S_OK);
        VARIANT result;
        const HRESULT hr = Get(*metafile.Get(), DISPID_PICT_HANDLE, result);
        if (c.fits) {
            ASSERT_EQ(hr, S_OK) << c.handle;
            EXPECT_EQ(result.vt, VT_I4);
            EXPECT_EQ(static_cast<uintptr_t>(static_cast<intptr_t>(result.lVal)), c.handle);
        } else {
            EXPECT_EQ(hr, DISP_E_OVERFLOW) << "never truncated: " << c.handle;
        }
    }
}

TEST_F(PictureDispatch, PropertiesAreReadOnly) {
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = 10;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&value, &named, 1, 1};
    for (uint16_t flags : {DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF}) {
        EXPECT_EQ(dispatch->Invoke(DISPID_PICT_WIDTH, IID_NULL, 0, flags, &put, nullptr, nullptr,
                                   nullptr),
                  DISP_E_MEMBERNOTFOUND);
    }
    VARIANT result;
    EXPECT_EQ(Get(*dispatch.Get(), DISPID_PICT_WIDTH, result, DISPATCH_METHOD),
              DISP_E_MEMBERNOTFOUND)
        << "a property is no method";
    ASSERT_EQ(Get(*dispatch.Get(), DISPID_PICT_WIDTH, result), S_OK);
    EXPECT_EQ(result.lVal, kWidth) << "unchanged";
}

TEST_F(PictureDispatch, RefusesUnknownIdsArgumentsAndNullPointers) {
    VARIANT result;
    for (DISPID id : {1, 2, 6, -1, DISPID_PROPERTYPUT}) {
        EXPECT_EQ(Get(*dispatch.Get(), id, result), DISP_E_MEMBERNOTFOUND) << id;
    }
    VARIANT argument;
    argument.vt = VT_I4;
    argument.lVal = 1;
    DISPPARAMS oneArgument{&argument, nullptr, 1, 0};
    EXPECT_EQ(dispatch->Invoke(DISPID_PICT_WIDTH, IID_NULL, 0, DISPATCH_PROPERTYGET, &oneArgument,
                               &result, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    DISPPARAMS none;
    EXPECT_EQ(dispatch->Invoke(DISPID_PICT_WIDTH, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr,
                               &result, nullptr, nullptr),
              E_POINTER);
    EXPECT_EQ(dispatch->Invoke(DISPID_PICT_WIDTH, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr,
                               nullptr, nullptr),
              E_POINTER);
}

}  // namespace
