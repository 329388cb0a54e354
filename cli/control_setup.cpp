#include "cli/control_setup.h"

#include <algorithm>
#include <exception>

#include "cli/control_calls.h"
#include "cli/picture_loading.h"
#include "cli/report.h"
#include "control/type_library.h"
#include "platform/activation.h"
#include "platform/picture.h"

namespace zeph::cli {

using namespace zeph::reader_dispid;

ComPtr<IDispatch> CreateReaderControl(HRESULT& hr) {
    ComPtr<IDispatch> control;
    CLSID clsid;
    hr = CLSIDFromProgID(u"ZEPHBARCODEREADER.ZephBarcodeReaderCtrl.1", &clsid);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              control.PutVoid());
    }
    if (FAILED(hr)) control.Reset();
    return control;
}

bool SetUpControl(IDispatch& control, const std::vector<Option>& options) {
    PutProperty(control, kProtocolMask, Variant(int16_t{959}));
    PutProperty(control, kConfidenceThreshold, Variant(0.81));
    PutProperty(control, kContrastSensitivity, Variant(0.07));
    PutProperty(control, kThoroughMode, Variant(true));
    PutProperty(control, kExtendedSearch, Variant(true));
    bool extended = true;
    bool typesGiven = false;
    for (const Option& o : options) {
        HRESULT hr = S_OK;
        switch (o.kind) {
            case OptionKind::kMinConfidence:
                hr =
                    PutProperty(control, kConfidenceThreshold, Variant(static_cast<float>(o.real)));
                break;
            case OptionKind::kMinContrast:
                hr =
                    PutProperty(control, kContrastSensitivity, Variant(static_cast<float>(o.real)));
                break;
            case OptionKind::kBarcodeTypes:
                hr = PutProperty(control, kProtocolMask, Variant(o.integer));
                typesGiven = true;
                break;
            case OptionKind::kExtended:
                hr = PutProperty(control, kExtendedSearch, Variant(o.integer != 0));
                extended = o.integer != 0;
                break;
            case OptionKind::kThreads:
                break;
        }
        if (FAILED(hr)) return false;
    }
    if (extended && !typesGiven) {
        return SUCCEEDED(PutProperty(control, kProtocolMask, Variant(kExtendedBarcodeTypes)));
    }
    return true;
}

std::string ReadFileBlock(IDispatch& control, const std::string& path) noexcept {
    try {
        std::string block = ProcessImageFile(control, path);
        const uint8_t white[4] = {255, 255, 255, 0};
        ComPtr<IDispatch> dot =
            BitmapToPicture(CreateBitmap24(1, 1, white, 4), PICTYPE_BITMAP, nullptr);
        if (dot) PutProperty(control, kPicture, Variant(dot.Get()));
        return block;
    } catch (const std::exception&) {
        return InternalErrorBlock(path);
    }
}

std::unique_ptr<ControlFileReader> ControlFileReader::Make(const std::vector<Option>& options,
                                                           int32_t searchThreads) {
    std::unique_ptr<ControlFileReader> reader(new ControlFileReader);
    if (FAILED(CoInitialize(nullptr))) return nullptr;
    reader->started_ = true;
    HRESULT hr = S_OK;
    reader->control_ = CreateReaderControl(hr);
    if (!reader->control_ || !SetUpControl(*reader->control_.Get(), options)) return nullptr;
    if (searchThreads > 1) {
        PutProperty(*reader->control_.Get(), kSearchThreads,
                    Variant(std::min(searchThreads, zeph::control::kMostSearchThreads)));
    }
    return reader;
}

ControlFileReader::~ControlFileReader() {
    control_.Reset();
    if (started_) CoUninitialize();
}

std::string ControlFileReader::Read(const std::string& path) noexcept {
    return ReadFileBlock(*control_.Get(), path);
}

}  // namespace zeph::cli
