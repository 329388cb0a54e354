// Registration-free creation: the manifest beside the client program names the
// control's module, and nothing is written to the registry.
#include "tests/control/control_client.h"

namespace {

using namespace zeph::test;

TEST_F(ControlTest, RegistrationFreeThroughTheManifest) {
    const std::string manifest = zeph::platform::ManifestPath();
    {
        std::ofstream out(manifest);
        out << "progid=ZEPHBARCODEREADER.ZephBarcodeReaderCtrl.1\n"
            << "clsid=" << kClsid << "\n"
            << "module=" << ZEPH_CONTROL_MODULE << "\n";
    }
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
    ASSERT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control_.PutVoid()),
        S_OK);
    ASSERT_EQ(Put(kPicture, Variant(PictureOf(Ean13Picture("501234567890")).Get())), S_OK);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(Text(kRawData, 1), "5012345678900");
    fs::remove(manifest);
}

}  // namespace
