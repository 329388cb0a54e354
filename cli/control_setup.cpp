#include "cli/control_setup.h"

#include <algorithm>

#include "cli/control_calls.h"
#include "platform/activation.h"

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

bool SetUpControl(IDispatch& control, const std::vector<Option>& options, const Option** refused) {
    PutProperty(control, kProtocolMask, Variant(int16_t{kDefaultMask}));
    PutProperty(control, kConfidenceThreshold, Variant(0.81));
    PutProperty(control, kContrastSensitivity, Variant(0.07));
    PutProperty(control, kThoroughMode, Variant(true));
    PutProperty(control, kExtendedSearch, Variant(true));
    bool maskGiven = false;
    bool extended = true;
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
                maskGiven = true;
                break;
            case OptionKind::kExtended:
                hr = PutProperty(control, kExtendedSearch, Variant(o.integer != 0));
                extended = o.integer != 0;
                break;
            case OptionKind::kThreads:
            case OptionKind::kFormat:
            case OptionKind::kPages:
            case OptionKind::kDotsPerInch:
            case OptionKind::kProgress:
                break;
        }
        if (FAILED(hr)) {
            if (refused) *refused = &o;
            return false;
        }
    }
    // GS1 DataBar and the further symbologies are read by the extended search
    // alone: without it the mask stays the one the thorough search has always
    // had.
    if (extended && !maskGiven) {
        if (FAILED(PutProperty(control, kProtocolMask, Variant(kExtendedDefaultMask))))
            return false;
    }
    return true;
}

std::unique_ptr<ControlFileReader> ControlFileReader::Make(const std::vector<Option>& options,
                                                           const ReportSettings& settings,
                                                           int32_t searchThreads) {
    std::unique_ptr<ControlFileReader> reader(new ControlFileReader(settings));
    if (FAILED(CoInitialize(nullptr))) return nullptr;
    reader->started_ = true;
    HRESULT hr = S_OK;
    reader->control_ = CreateReaderControl(hr);
    if (!reader->control_ || !SetUpControl(*reader->control_.Get(), options)) return nullptr;
    if (searchThreads > 1) {
        PutProperty(*reader->control_.Get(), kSearchThreads,
                    Variant(std::min(searchThreads, kMostSearchThreads)));
    }
    return reader;
}

ControlFileReader::~ControlFileReader() {
    control_.Reset();
    if (started_) CoUninitialize();
}

FileReport ControlFileReader::Read(const std::string& path) noexcept {
    return ReportFile(*control_.Get(), path, settings_);
}

}  // namespace zeph::cli
