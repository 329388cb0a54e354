// A client of the reader control: creates it from the built module by ProgID
// and reaches it only through IDispatch::Invoke.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "control/dispatch_ids.h"
#include "platform/activation.h"
#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/gdi.h"
#include "platform/picture.h"
#include "platform/registry.h"
#include "tests/support/image_renderer.h"

namespace zeph::test {

namespace fs = std::filesystem;

inline constexpr const char16_t* kProgId = u"ZEPHBARCODEREADER.ZephBarcodeReaderCtrl.1";
inline constexpr const char* kClsid = "{D7C5A2E4-3B6F-4C1A-9E52-6A1F0B3C4D01}";

// The control's published identifiers; a test pins each number.
using namespace zeph::reader_dispid;

using Entry = HRESULT (*)();

// The built module, loaded once so its registration exports can be called.
inline void* Module() {
    static void* handle = dlopen(ZEPH_CONTROL_MODULE, RTLD_NOW | RTLD_LOCAL);
    return handle;
}
inline HRESULT CallExport(const char* name) {
    auto entry = reinterpret_cast<Entry>(dlsym(Module(), name));
    return entry ? entry() : E_FAIL;
}

// A temporary registry for each test, and the component model started.
class ControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zeph-registry-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        setenv("ZEPH_REGISTRY", root_.c_str(), 1);
        ASSERT_NE(Module(), nullptr) << dlerror();
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
    }
    void TearDown() override {
        control_.Reset();
        CoUninitialize();
        unsetenv("ZEPH_REGISTRY");
        fs::remove_all(root_);
    }

    // Registers the module and creates a control by its ProgID.
    void Create() {
        ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   control_.PutVoid()),
                  S_OK);
    }

    HRESULT Put(DISPID id, Variant value) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{value.Get(), &named, 1, 1};
        return control_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                                nullptr);
    }
    Variant Get(DISPID id, HRESULT expected = S_OK) {
        Variant result;
        DISPPARAMS none{};
        EXPECT_EQ(control_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.Get(),
                                   nullptr, nullptr),
                  expected);
        return result;
    }
    Variant Call(DISPID id, int16_t index) {
        Variant arg(index);
        Variant result;
        DISPPARAMS params{arg.Get(), nullptr, 1, 0};
        EXPECT_EQ(control_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result.Get(), nullptr,
                                   nullptr),
                  S_OK);
        return result;
    }
    std::string Text(DISPID id, int16_t index) {
        Variant v = Call(id, index);
        EXPECT_EQ(v.Type(), VT_BSTR);
        if (v.Type() != VT_BSTR) return "?";
        const VARIANT* raw = v.Get();
        return zeph::platform::NarrowWindows1252(
            std::u16string_view(raw->bstrVal, SysStringLen(raw->bstrVal)));
    }
    int32_t Count() { return Get(kNbCodesFound).Get()->lVal; }

    fs::path root_;
    ComPtr<IDispatch> control_;
};

inline ComPtr<IDispatch> PictureOf(const Image& image) {
    HBITMAP bitmap = CreateBitmap24(image.width, image.height, image.Bytes(), image.stride);
    EXPECT_NE(bitmap, nullptr);
    PICTDESC description;
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = bitmap;
    ComPtr<IDispatch> picture;
    EXPECT_EQ(OleCreatePictureIndirect(&description, IID_IDispatch, true, picture.PutVoid()), S_OK);
    return picture;
}

inline Image Ean13Picture(const char* data = "400638133393") {
    ImageOptions o;
    o.symbology = BARCODE_EANX;
    o.data = data;
    o.moduleSize = 3;
    o.canvasWidth = 500;
    o.canvasHeight = 300;
    return zeph::test::RenderBarcode(o);
}

}  // namespace zeph::test
