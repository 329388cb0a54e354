// The control's own behaviour beyond its dispatch interface: drawing, the about
// box, saved state, and a control left without a configuration.
#include <gtest/gtest.h>

#include <vector>

#include "control/module_state.h"
#include "control/reader_control.h"
#include "platform/ui.h"

namespace {

using zeph::control::CZephBarcodeReaderCtrl;

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

}  // namespace
