// The control's own behaviour beyond its dispatch interface: drawing, the about
// box, saved state, pictures read in bands, and a control left without a
// configuration.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "control/dispatch_ids.h"
#include "control/module_state.h"
#include "control/reader_control.h"
#include "engine/reader.h"
#include "platform/picture.h"
#include "platform/ui.h"
#include "tests/support/image_renderer.h"

namespace {

using zeph::control::CZephBarcodeReaderCtrl;
using namespace zeph::reader_dispid;

struct Control {
    explicit Control(std::string_view configuration = "")
        : p(ComPtr<CZephBarcodeReaderCtrl>::Attach(CZephBarcodeReaderCtrl::Create(configuration))) {
    }
    ComPtr<CZephBarcodeReaderCtrl> p;
};

HRESULT Get(CZephBarcodeReaderCtrl& c, DISPID id, Variant& result) {
    DISPPARAMS none{};
    return c.Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.Get(), nullptr, nullptr);
}

HRESULT Put(CZephBarcodeReaderCtrl& c, DISPID id, Variant value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{value.Get(), &named, 1, 1};
    return c.Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

TEST(ReaderControl, DrawsBlackWithTheIconInTheMiddle) {
    // The module registers its icon when it loads; here the test does.
    std::vector<uint32_t> white(32 * 32, 0xFFFFFFFFu);
    RegisterIconResource(zeph::control::ModuleInstance(), 1, CreateIconFromPixels(32, 32, white));
    Control c;
    HDC dc = CreateDrawingSurface(200, 100);
    c.p->Draw(dc, RECT{10, 10, 111, 81});
    EXPECT_EQ(GetPixel(dc, 10, 10), 0x000000u);
    EXPECT_EQ(GetPixel(dc, 110, 80), 0x000000u);
    EXPECT_EQ(GetPixel(dc, 111, 81), 0xFFFFFFu);  // right and bottom are outside
    // Icon corner at ((10 + 111 - 32) / 2, (10 + 81 - 32) / 2) = (44, 29).
    EXPECT_EQ(GetPixel(dc, 43, 29), 0x000000u);
    EXPECT_EQ(GetPixel(dc, 44, 29), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(dc, 75, 60), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(dc, 76, 60), 0x000000u);
    EXPECT_EQ(GetPixel(dc, 75, 61), 0x000000u);
    DeleteDC(dc);
    UnregisterIconResources(zeph::control::ModuleInstance());
}

TEST(ReaderControl, AboutBoxShowsItsDialog) {
    Control c;
    DialogTemplate shown;
    int calls = 0;
    SetDialogPresenter([&](const DialogTemplate& d) {
        shown = d;
        ++calls;
        return IDOK;
    });
    DISPPARAMS none{};
    EXPECT_EQ(c.p->Invoke(DISPID_ABOUTBOX, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                          nullptr),
              S_OK);
    SetDialogPresenter(nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(shown.title, "About ZephBarcodeReader Control");
    EXPECT_EQ(shown.width, 260);
    EXPECT_EQ(shown.height, 55);
    ASSERT_GE(shown.items.size(), 3u);
    EXPECT_EQ(shown.items[1].text, "ZephBarcodeReader Control, Version 1.0");
    EXPECT_EQ(shown.items.back().text, "OK");
    EXPECT_EQ(shown.items.back().id, IDOK);
}

TEST(ReaderControl, SavedStateHoldsTheVersionOnly) {
    Control c;
    ASSERT_EQ(Put(*c.p.Get(), 3, Variant(int32_t{16})), S_OK);
    const auto state = c.p->SaveState();
    EXPECT_EQ(state[0], 1);
    EXPECT_EQ(state[2], 0);
    Control restored;
    EXPECT_TRUE(restored.p->LoadState(state));
    Variant mask;
    ASSERT_EQ(Get(*restored.p.Get(), 3, mask), S_OK);
    EXPECT_EQ(mask.Get()->lVal, 959);  // the settings are not part of it
    const uint8_t other[] = {2, 0, 0, 0};
    EXPECT_FALSE(restored.p->LoadState(other));
    EXPECT_FALSE(restored.p->LoadState({}));
}

TEST(ReaderControl, SettingsMarkTheControlModified) {
    Control c;
    EXPECT_FALSE(c.p->Modified());
    ASSERT_EQ(Put(*c.p.Get(), 1, Variant(true)), S_OK);
    EXPECT_FALSE(c.p->Modified());  // ThoroughMode stores and nothing else
    ASSERT_EQ(Put(*c.p.Get(), 6, Variant(0.1)), S_OK);
    EXPECT_TRUE(c.p->Modified());
}

TEST(ReaderControl, WithoutAConfigurationEveryReadIsZeroAndEveryWriteFails) {
    Control c("-minconf");  // a flag without its value: no configuration
    for (DISPID id : {1, 2, 3, 4, 6}) {
        Variant v;
        ASSERT_EQ(Get(*c.p.Get(), id, v), S_OK) << id;
        switch (v.Type()) {
            case VT_BOOL:
                EXPECT_EQ(v.Get()->boolVal, VARIANT_FALSE);
                break;
            case VT_DISPATCH:
                EXPECT_EQ(v.Get()->pdispVal, nullptr);
                break;
            case VT_R4:
                EXPECT_EQ(v.Get()->fltVal, 0.0f);
                break;
            default:
                EXPECT_EQ(v.Type(), VT_I4);
                EXPECT_EQ(v.Get()->lVal, 0);
        }
        EXPECT_EQ(Put(*c.p.Get(), id, Variant(int32_t{1})), E_OUTOFMEMORY) << id;
    }
    Variant count;
    ASSERT_EQ(Get(*c.p.Get(), 5, count), S_OK);
    EXPECT_EQ(count.Get()->lVal, -1);
}

// The count and end points the control reports for a bitmap.
std::vector<int32_t> ReadsOf(HBITMAP bitmap) {
    Control c;
    PICTDESC description;
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = bitmap;
    ComPtr<IDispatch> picture;
    EXPECT_EQ(OleCreatePictureIndirect(&description, IID_IDispatch, true, picture.PutVoid()), S_OK);
    EXPECT_EQ(Put(*c.p.Get(), kPicture, Variant(picture.Get())), S_OK);
    Variant count;
    EXPECT_EQ(Get(*c.p.Get(), kNbCodesFound, count), S_OK);
    std::vector<int32_t> reads = {count.Get()->lVal};
    for (int16_t i = 1; i <= count.Get()->lVal; ++i) {
        for (const DISPID id : {kStartx, kStarty, kStopx, kStopy}) {
            Variant index(i);
            Variant result;
            DISPPARAMS params{index.Get(), nullptr, 1, 0};
            EXPECT_EQ(c.p->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result.Get(), nullptr,
                                  nullptr),
                      S_OK);
            reads.push_back(result.Get()->lVal);
        }
    }
    return reads;
}

TEST(ReaderControl, TallPicturesAreReadInBandsToTheSameRaster) {
    // A picture of several bands of rows with its symbol near the top: rows
    // put in the wrong place would move or lose the read.
    zeph::test::ImageOptions o;
    o.symbology = BARCODE_EANX;
    o.data = "400638133393";
    o.moduleSize = 2;
    o.canvasWidth = 400;
    o.canvasHeight = 9000;
    o.centreY = 500;
    const zeph::test::Image image = zeph::test::RenderBarcode(o);
    GreyRaster raster;
    ASSERT_EQ(XR_RasterFromBgrRows(image.pixels, image.width, image.height, image.stride, raster),
              1);
    ReaderConfigPtr config = XR_ParseConfig("");
    ASSERT_NE(config, nullptr);
    std::vector<MatchRecord> records(kMaxMatches);
    ASSERT_EQ(XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                config.get(), records, kMaxMatches, false),
              1);

    HBITMAP bitmap = CreateBitmap24(image.width, image.height, image.pixels, image.stride);
    ASSERT_NE(bitmap, nullptr);
    const std::vector<int32_t> expected = {1, records[0].startX, records[0].startY,
                                           records[0].stopX, records[0].stopY};
    EXPECT_EQ(ReadsOf(bitmap), expected);
}

TEST(ReaderControl, GreyBitmapsReadAsTheir24BitTwins) {
    // One band and many: the grey rows land where the 24-bit rows would.
    for (const int32_t height : {300, 9000}) {
        zeph::test::ImageOptions o;
        o.symbology = BARCODE_EANX;
        o.data = "400638133393";
        o.moduleSize = 2;
        o.canvasWidth = 401;  // rows of grey padding
        o.canvasHeight = height;
        o.centreY = height - 150;
        const zeph::test::Image image = zeph::test::RenderBarcode(o);
        const size_t stride = (static_cast<size_t>(image.width) + 3) & ~size_t{3};
        auto greys = std::make_unique<uint8_t[]>(stride * image.height);
        for (int32_t y = 0; y < image.height; ++y) {
            for (int32_t x = 0; x < image.width; ++x)
                greys[y * stride + x] = image.pixels[y * image.stride + 3 * x];
        }
        const std::vector<int32_t> wide =
            ReadsOf(CreateBitmap24(image.width, image.height, image.pixels, image.stride));
        ASSERT_EQ(wide[0], 1) << height;
        EXPECT_EQ(ReadsOf(AdoptBitmapGrey8(image.width, image.height, std::move(greys),
                                           stride * image.height)),
                  wide)
            << height;
    }
}

}  // namespace
