// ZephScan: reads the barcodes of every image a file mask names and prints one
// XML report. It reaches the reader control only through its dispatch
// interface, created by ProgID.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <ctime>
#include <string>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/control_calls.h"
#include "cli/file_listing.h"
#include "cli/image_loading.h"
#include "cli/report.h"
#include "cli/usage.h"
#include "platform/activation.h"
#include "platform/com.h"

namespace {

using namespace zeph::cli;
using namespace zeph::reader_dispid;

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == 0 ? "/" : exe.substr(0, slash);
}

int BadCommandLine() {
    WriteConsoleText(kBadCommandLine);
    PrintUsage();
    return 2;
}

// Applies the options before the mask; false when one cannot be applied.
bool ApplyOptions(IDispatch& control, const std::vector<std::string>& tokens) {
    const auto options = ScanOptions(tokens);
    if (!options) return false;
    for (const Option& o : *options) {
        HRESULT hr = E_FAIL;
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
                break;
            case OptionKind::kExtended:
                hr = PutProperty(control, kExtendedSearch, Variant(o.integer != 0));
                break;
        }
        if (FAILED(hr)) return false;
    }
    return true;
}

int Run(IDispatch& control, int argc, char** argv) {
    // The start values, as the types clients have always passed them.
    PutProperty(control, kProtocolMask, Variant(int16_t{959}));
    PutProperty(control, kConfidenceThreshold, Variant(0.81));
    PutProperty(control, kContrastSensitivity, Variant(0.07));
    PutProperty(control, kThoroughMode, Variant(true));
    PutProperty(control, kExtendedSearch, Variant(true));

    const std::vector<std::string> tokens = ParseCommandLine(ArgumentString(argc, argv));
    if (tokens.empty()) return BadCommandLine();
    const FileMask mask = ResolveMask(tokens.back(), ProgramFolder());
    if (!ApplyOptions(control, tokens)) return BadCommandLine();

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    WriteConsoleText(ReportHead(local));
    for (const std::string& name : ListFiles(mask.folder, mask.pattern)) {
        WriteConsoleText(ProcessImageFile(control, mask.folder + name));
    }
    WriteConsoleText(kReportEnd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    PrepareConsole();
    KeepFreedImageMemory();
    if (FAILED(CoInitialize(nullptr))) {
        std::fprintf(stderr, "ZephScan: the component layer cannot start\n");
        return 1;
    }
    int status = 1;
    {
        ComPtr<IDispatch> control;
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(u"ZEPHBARCODEREADER.ZephBarcodeReaderCtrl.1", &clsid);
        if (SUCCEEDED(hr)) {
            hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  control.PutVoid());
        }
        if (FAILED(hr)) {
            std::fprintf(stderr, "ZephScan: cannot create the reader control (0x%08X)\n",
                         static_cast<unsigned>(hr));
        } else {
            status = Run(*control.Get(), argc, argv);
        }
    }
    CoUninitialize();
    return status;
}
