// The reader control as clients see it: created by ProgID from the built
// module, reached only through IDispatch::Invoke. Links the platform layer
// alone; the engine lives inside the module.
#include "tests/control/control_client.h"

namespace {

using namespace zeph::test;

TEST_F(ControlTest, FreshControlHasNothingToReport) {
    Create();
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Text(kData, 1), "");
    Variant confidence = Call(kConfidence, 1);
    EXPECT_EQ(confidence.Type(), VT_R4);
    EXPECT_EQ(confidence.Get()->fltVal, 0.0f);
    Variant picture = Get(kPicture);
    EXPECT_EQ(picture.Type(), VT_DISPATCH);
    EXPECT_EQ(picture.Get()->pdispVal, nullptr);
}

TEST_F(ControlTest, ReadsARenderedEan13ThroughInvokeAlone) {
    Create();
    ASSERT_EQ(Put(kPicture, Variant(PictureOf(Ean13Picture()).Get())), S_OK);
    ASSERT_EQ(Count(), 1);
    EXPECT_EQ(Text(kRawData, 1), "4006381333931");
    EXPECT_EQ(Text(kData, 1), "(40) 0638133393");
    EXPECT_EQ(Text(kSymbology, 1), "EAN-13");
    EXPECT_EQ(Text(kBarcodeType, 1), "EAN-13");
    EXPECT_EQ(Text(kDataDescriptor, 1), "Product Identifier - Germany");
    Variant confidence = Call(kConfidence, 1);
    EXPECT_EQ(confidence.Type(), VT_R4);
    EXPECT_GT(confidence.Get()->fltVal, 0.81f);
    EXPECT_LE(confidence.Get()->fltVal, 1.0f);
    // The line runs across the symbol's middle, left to right or back.
    const int32_t startX = Call(kStartx, 1).Get()->lVal;
    const int32_t stopX = Call(kStopx, 1).Get()->lVal;
    EXPECT_LT(std::min(startX, stopX), 250 - 130);
    EXPECT_GT(std::max(startX, stopX), 250 + 130);
    EXPECT_NEAR(Call(kStarty, 1).Get()->lVal, 150, 60);
    EXPECT_NEAR(Call(kStopy, 1).Get()->lVal, 150, 60);
    EXPECT_NEAR(Call(kCx, 1).Get()->lVal, 250, 130);
    EXPECT_NEAR(Call(kCy, 1).Get()->lVal, 150, 60);

    // Indices outside 1..count give empty texts and zeros, never errors.
    for (int16_t index : {0, -1, 2, 100, 32767}) {
        EXPECT_EQ(Text(kRawData, index), "") << index;
        EXPECT_EQ(Call(kStartx, index).Get()->lVal, 0) << index;
        EXPECT_EQ(Call(kConfidence, index).Get()->fltVal, 0.0f) << index;
    }
}

TEST_F(ControlTest, SettingsTakeTheTypesClientsPass) {
    Create();
    // Values other than the defaults, so that an ignored put shows.
    EXPECT_EQ(Put(kProtocolMask, Variant(int16_t{17})), S_OK);
    Variant mask = Get(kProtocolMask);
    EXPECT_EQ(mask.Type(), VT_I4);
    EXPECT_EQ(mask.Get()->lVal, 17);

    EXPECT_EQ(Put(kConfidenceThreshold, Variant(0.5)), S_OK);
    Variant threshold = Get(kConfidenceThreshold);
    EXPECT_EQ(threshold.Type(), VT_R4);
    EXPECT_EQ(threshold.Get()->fltVal, 0.5f);

    EXPECT_EQ(Put(kContrastSensitivity, Variant(0.05)), S_OK);
    EXPECT_EQ(Get(kContrastSensitivity).Get()->fltVal, 0.05f);

    EXPECT_EQ(Put(kThoroughMode, Variant(true)), S_OK);
    Variant thorough = Get(kThoroughMode);
    EXPECT_EQ(thorough.Type(), VT_BOOL);
    EXPECT_EQ(thorough.Get()->boolVal, VARIANT_TRUE);
}

TEST_F(ControlTest, RefusedCallsChangeNothing) {
    Create();
    ASSERT_EQ(Put(kProtocolMask, Variant(int32_t{17})), S_OK);
    EXPECT_EQ(Put(kNbCodesFound, Variant(int32_t{3})), CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(Put(kProtocolMask, Variant(std::u16string_view(u"many"))), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Put(kProtocolMask, Variant(1e12)), DISP_E_OVERFLOW);
    EXPECT_EQ(Put(kPicture, Variant(int32_t{5})), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Get(kProtocolMask).Get()->lVal, 17);

    DISPPARAMS none{};
    Variant result;
    EXPECT_EQ(
        control_->Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &none, result.Get(), nullptr, nullptr),
        DISP_E_MEMBERNOTFOUND);
    // An indexed method without its index, with two, or with a null array.
    EXPECT_EQ(control_->Invoke(kRawData, IID_NULL, 0, DISPATCH_METHOD, &none, result.Get(), nullptr,
                               nullptr),
              DISP_E_BADPARAMCOUNT);
    Variant args[2] = {Variant(int16_t{1}), Variant(int16_t{1})};
    DISPPARAMS two{args[0].Get(), nullptr, 2, 0};
    EXPECT_EQ(control_->Invoke(kRawData, IID_NULL, 0, DISPATCH_METHOD, &two, result.Get(), nullptr,
                               nullptr),
              DISP_E_BADPARAMCOUNT);
    DISPPARAMS nullArray{nullptr, nullptr, 1, 0};
    EXPECT_EQ(control_->Invoke(kRawData, IID_NULL, 0, DISPATCH_METHOD, &nullArray, result.Get(),
                               nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(control_->Invoke(kRawData, IID_NULL, 0, DISPATCH_METHOD, nullptr, result.Get(),
                               nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    Variant big(40000.0);
    DISPPARAMS overflow{big.Get(), nullptr, 1, 0};
    EXPECT_EQ(control_->Invoke(kRawData, IID_NULL, 0, DISPATCH_METHOD, &overflow, result.Get(),
                               nullptr, nullptr),
              DISP_E_OVERFLOW);
    // A property get with an argument.
    Variant one(int16_t{1});
    DISPPARAMS extra{one.Get(), nullptr, 1, 0};
    EXPECT_EQ(control_->Invoke(kProtocolMask, IID_NULL, 0, DISPATCH_PROPERTYGET, &extra,
                               result.Get(), nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Get(kProtocolMask).Get()->lVal, 17);
}

TEST_F(ControlTest, NamesResolveToTheFixedIdentifiers) {
    Create();
    const struct {
        const char16_t* name;
        DISPID id;
    } names[] = {{u"ThoroughMode", 1},  {u"picture", 2},
                 {u"PROTOCOLMASK", 3},  {u"ConfidenceThreshold", 4},
                 {u"NbCodesFound", 5},  {u"ContrastSensitivity", 6},
                 {u"Data", 7},          {u"BarcodeType", 8},
                 {u"Symbology", 9},     {u"DataDescriptor", 10},
                 {u"RawData", 11},      {u"Confidence", 12},
                 {u"Cx", 13},           {u"Cy", 14},
                 {u"Startx", 15},       {u"Starty", 16},
                 {u"Stopx", 17},        {u"Stopy", 18},
                 {u"AboutBox", -552},   {u"extendedsearch", 19},
                 {u"SEARCHTHREADS", 20}};
    for (const auto& n : names) {
        DISPID id = 0;
        const OLECHAR* list[] = {n.name};
        EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, list, 1, 0x409, &id), S_OK);
        EXPECT_EQ(id, n.id);
    }
    DISPID ids[2];
    const OLECHAR* unknown[] = {u"Barcode", u"index"};
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, unknown, 1, 0x409, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    const OLECHAR* withIndex[] = {u"Data", u"index"};
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, withIndex, 2, 0x409, ids), S_OK);
    EXPECT_EQ(ids[0], 7);
    EXPECT_EQ(ids[1], 0);
}

TEST_F(ControlTest, DecodeRunsOncePerPicture) {
    Create();
    ComPtr<IDispatch> picture = PictureOf(Ean13Picture());
    ASSERT_EQ(Put(kPicture, Variant(picture.Get())), S_OK);
    // The result request itself runs the search: RawData before NbCodesFound.
    EXPECT_EQ(Text(kRawData, 1), "4006381333931");
    EXPECT_EQ(Count(), 1);
    // A new mask applies from the next picture on, not to results already read.
    ASSERT_EQ(Put(kProtocolMask, Variant(int32_t{0})), S_OK);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(Text(kRawData, 1), "4006381333931");
    // The same picture again runs the search again, now with mask 0.
    ASSERT_EQ(Put(kPicture, Variant(picture.Get())), S_OK);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Text(kRawData, 1), "");

    // The picture property hands back the picture that was put.
    Variant back = Get(kPicture);
    ASSERT_EQ(back.Type(), VT_DISPATCH);
    ComPtr<IUnknown> a, b;
    ASSERT_EQ(picture->QueryInterface(IID_IUnknown, a.PutVoid()), S_OK);
    ASSERT_EQ(back.Get()->pdispVal->QueryInterface(IID_IUnknown, b.PutVoid()), S_OK);
    EXPECT_EQ(a.Get(), b.Get());
}

TEST_F(ControlTest, PicturePutsThatAreNoBitmap) {
    Create();
    ASSERT_EQ(Put(kPicture, Variant(PictureOf(Ean13Picture()).Get())), S_OK);
    ASSERT_EQ(Count(), 1);
    ASSERT_EQ(Put(kProtocolMask, Variant(int32_t{0})), S_OK);

    // No object: nothing changes.
    EXPECT_EQ(Put(kPicture, Variant(static_cast<IDispatch*>(nullptr))), S_OK);
    EXPECT_EQ(Put(kPicture, Variant()), S_OK);
    EXPECT_EQ(Count(), 1);

    // An icon picture: refused quietly, the results stay.
    const std::vector<uint32_t> pixels(16 * 16, 0xFF000000u);
    PICTDESC icon;
    icon.picType = PICTYPE_ICON;
    icon.icon.hicon = CreateIconFromPixels(16, 16, pixels);
    ComPtr<IDispatch> iconPicture;
    ASSERT_EQ(OleCreatePictureIndirect(&icon, IID_IDispatch, true, iconPicture.PutVoid()), S_OK);
    EXPECT_EQ(Put(kPicture, Variant(iconPicture.Get())), S_OK);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(Text(kRawData, 1), "4006381333931");

    // An object that is no picture: the raster stays, but the results are
    // invalidated, so the next request searches it again (now with mask 0).
    ComPtr<IDispatch> other;
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
    ASSERT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, other.PutVoid()),
        S_OK);
    EXPECT_EQ(Put(kPicture, Variant(other.Get())), S_OK);
    EXPECT_EQ(Count(), 0);
}

TEST_F(ControlTest, ThoroughModeFindsEveryLabel) {
    Create();
    Image picture = zeph::test::BlankImage(900, 500);
    ImageOptions a;
    a.symbology = BARCODE_EANX;
    a.data = "400638133393";
    ImageOptions b = a;
    b.data = "9638507";
    zeph::test::PasteBarcode(picture, a, 250, 150);
    zeph::test::PasteBarcode(picture, b, 650, 350);
    ComPtr<IDispatch> both = PictureOf(picture);
    ASSERT_EQ(Put(kPicture, Variant(both.Get())), S_OK);
    // Set between the put and the first request: applies to this search.
    ASSERT_EQ(Put(kThoroughMode, Variant(true)), S_OK);
    ASSERT_EQ(Count(), 2);
    std::vector<std::string> texts{Text(kRawData, 1), Text(kRawData, 2)};
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"4006381333931", "96385074"}));

    ASSERT_EQ(Put(kThoroughMode, Variant(false)), S_OK);
    ASSERT_EQ(Put(kPicture, Variant(both.Get())), S_OK);
    EXPECT_EQ(Count(), 1);
}

TEST_F(ControlTest, ExtendedSearchIsOnByDefaultAndAppliesFromTheNextPicture) {
    Create();
    Variant on = Get(kExtendedSearch);
    ASSERT_EQ(on.Type(), VT_BOOL);
    EXPECT_EQ(on.Get()->boolVal, VARIANT_TRUE);
    ComPtr<IDispatch> faint = PictureOf(zeph::test::RenderBarcode(zeph::test::FaintLabel()));
    ASSERT_EQ(Put(kThoroughMode, Variant(true)), S_OK);
    ASSERT_EQ(Put(kPicture, Variant(faint.Get())), S_OK);
    ASSERT_EQ(Count(), 1);
    EXPECT_EQ(Text(kRawData, 1), "4006381333931");

    // Switched off: the result already computed stays, the next picture is
    // read by the engine's search alone.
    ASSERT_EQ(Put(kExtendedSearch, Variant(false)), S_OK);
    EXPECT_EQ(Get(kExtendedSearch).Get()->boolVal, VARIANT_FALSE);
    EXPECT_EQ(Count(), 1);
    ASSERT_EQ(Put(kPicture, Variant(faint.Get())), S_OK);
    EXPECT_EQ(Count(), 0);
    // The standard search too.
    ASSERT_EQ(Put(kExtendedSearch, Variant(int32_t{1})), S_OK);
    ASSERT_EQ(Put(kThoroughMode, Variant(false)), S_OK);
    ASSERT_EQ(Put(kPicture, Variant(faint.Get())), S_OK);
    EXPECT_EQ(Count(), 1);
}

TEST_F(ControlTest, SearchThreadsTakeOneToSixtyFourAndChangeNoRecord) {
    Create();
    Variant one = Get(kSearchThreads);
    ASSERT_EQ(one.Type(), VT_I4);
    EXPECT_EQ(one.Get()->lVal, 1);
    for (const int32_t refused : {0, -1, 65}) {
        EXPECT_EQ(Put(kSearchThreads, Variant(refused)), E_INVALIDARG) << refused;
    }
    EXPECT_EQ(Get(kSearchThreads).Get()->lVal, 1);

    // Two labels and a faint one: the thorough and the extended search's
    // records, each read alone and with three threads, on a picture large
    // enough for its search to be shared.
    zeph::test::Image picture = zeph::test::BlankImage(2600, 2400);
    zeph::test::ImageOptions ean = zeph::test::FaintLabel();
    zeph::test::PasteBarcode(picture, ean, 220, 140);
    ean.ink = 0;
    ean.paper = 255;
    ean.data = "590123412345";
    zeph::test::PasteBarcode(picture, ean, 620, 360);
    ComPtr<IDispatch> labels = PictureOf(picture);
    ASSERT_EQ(Put(kThoroughMode, Variant(true)), S_OK);
    const auto records = [&] {
        std::string all;
        for (int16_t i = 1; i <= Count(); ++i) {
            all += Text(kRawData, i) + " " + std::to_string(Call(kConfidence, i).Get()->fltVal);
            for (const DISPID id : {kStartx, kStarty, kStopx, kStopy})
                all += " " + std::to_string(Call(id, i).Get()->lVal);
            all += "\n";
        }
        return all;
    };
    ASSERT_EQ(Put(kPicture, Variant(labels.Get())), S_OK);
    const std::string alone = records();
    EXPECT_EQ(Count(), 2) << alone;
    ASSERT_EQ(Put(kSearchThreads, Variant(int16_t{3})), S_OK);
    EXPECT_EQ(Get(kSearchThreads).Get()->lVal, 3);
    ASSERT_EQ(Put(kPicture, Variant(labels.Get())), S_OK);
    EXPECT_EQ(records(), alone);
}

TEST_F(ControlTest, ModuleStaysWhileObjectsLive) {
    Create();
    auto canUnload = reinterpret_cast<Entry>(dlsym(Module(), "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    control_.Reset();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(ControlTest, ModuleExportsOnlyItsFourEntryPoints) {
    for (const char* name :
         {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"}) {
        EXPECT_NE(dlsym(Module(), name), nullptr) << name;
    }
    for (const char* name : {"XR_Search", "XR_ParseConfig", "SysAllocString", "CreateBitmap24"}) {
        EXPECT_EQ(dlsym(Module(), name), nullptr) << name;
    }
}

TEST_F(ControlTest, RegistrationRoundTrip) {
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
    EXPECT_EQ(GuidToString(clsid), kClsid);
    // The class is registered insertable, apartment-threaded, with its status bits.
    const auto values = zeph::platform::RegistryRead(std::string("CLSID/") + kClsid);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->at("insertable"), "1");
    EXPECT_EQ(values->at("threadingmodel"), "Apartment");
    EXPECT_EQ(values->at("miscstatus"), std::to_string(0x20591));
    ASSERT_EQ(CallExport("DllUnregisterServer"), S_OK);
    // Nothing of the registration is left behind.
    EXPECT_EQ(CLSIDFromProgID(kProgId, &clsid), CO_E_CLASSSTRING);
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root_))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 0u);
    // Registering again works, and unregistering twice is harmless.
    EXPECT_EQ(CallExport("DllRegisterServer"), S_OK);
    EXPECT_EQ(CallExport("DllUnregisterServer"), S_OK);
    EXPECT_EQ(CallExport("DllUnregisterServer"), S_OK);
}

}  // namespace

namespace {

using namespace zeph::test;

int RunZephreg(const std::string& arguments) {
    const std::string command = std::string(ZEPH_ZEPHREG) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ControlTest, ZephregRegistersAndUnregistersAModule) {
    CLSID clsid;
    ASSERT_EQ(RunZephreg(ZEPH_CONTROL_MODULE), 0);
    EXPECT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
    ASSERT_EQ(RunZephreg(std::string("-u ") + ZEPH_CONTROL_MODULE), 0);
    EXPECT_EQ(CLSIDFromProgID(kProgId, &clsid), CO_E_CLASSSTRING);

    EXPECT_EQ(RunZephreg(""), 2);
    EXPECT_EQ(RunZephreg("-x module.so"), 2);
    EXPECT_EQ(RunZephreg(root_.string() + "/missing.so"), 1);
    // A library without the registration export.
    const std::string library = "/lib/x86_64-linux-gnu/libm.so.6";
    ASSERT_TRUE(fs::exists(library));
    EXPECT_EQ(RunZephreg(library), 1);
}

}  // namespace
