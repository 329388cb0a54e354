// ZephScan: reads the barcodes of every image the file masks name and prints
// one report. It reaches the reader control only through its dispatch
// interface, created by ProgID; with several worker threads, each creates and
// uses a control of its own.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/control_setup.h"
#include "cli/exit_status.h"
#include "cli/help.h"
#include "cli/scan_run.h"
#include "imaging/image_loading.h"
#include "platform/activation.h"
#include "platform/com.h"

#if defined(ZEPH_WITH_PDF)
#include "cli/pdf_loading.h"
#endif

namespace {

std::vector<const zeph::imaging::ImageFormat*> DocumentFormats() {
#if defined(ZEPH_WITH_PDF)
    return {&zeph::cli::PdfFormat()};
#else
    return {};
#endif
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zeph::cli;
    PrepareConsole();
    const std::vector<std::string> tokens = ArgumentTokens(argc, argv);
    const bool pdf = !DocumentFormats().empty();
    switch (Requested(tokens)) {
        case Request::kHelp:
            return WriteConsoleText(HelpText(pdf)) ? kExitEveryFileRead : kExitOutputFailed;
        case Request::kVersion:
            return WriteConsoleText(VersionText(pdf)) ? kExitEveryFileRead : kExitOutputFailed;
        case Request::kRead:
            break;
    }
    zeph::imaging::KeepFreedImageMemory();
    if (FAILED(CoInitialize(nullptr))) {
        std::fprintf(stderr, "ZephScan: the component layer cannot start\n");
        return kExitNoReaderControl;
    }
    int status = kExitNoReaderControl;
    {
        HRESULT hr = S_OK;
        ComPtr<IDispatch> control = CreateReaderControl(hr);
        if (!control) {
            std::fprintf(stderr, "ZephScan: cannot create the reader control (0x%08X): %s\n",
                         static_cast<unsigned>(hr),
                         zeph::platform::LastActivationFailure().c_str());
        } else {
            status = RunScan(*control.Get(), tokens, DocumentFormats());
        }
    }
    CoUninitialize();
    return status;
}
