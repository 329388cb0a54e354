// ZephScan: reads the barcodes of every image a file mask names and prints one
// XML report. It reaches the reader control only through its dispatch
// interface, created by ProgID; with several worker threads, each creates and
// uses a control of its own.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <string>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/control_calls.h"
#include "cli/control_setup.h"
#include "cli/file_listing.h"
#include "cli/ordered_reading.h"
#include "cli/report.h"
#include "cli/usage.h"
#include "control/type_library.h"
#include "imaging/image_loading.h"
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

int Run(IDispatch& control, int argc, char** argv) {
    const std::vector<std::string> tokens = ParseCommandLine(ArgumentString(argc, argv));
    const auto options = tokens.empty() ? std::nullopt : ScanOptions(tokens);
    if (!SetUpControl(control, options.value_or(std::vector<Option>{})) || !options) {
        return BadCommandLine();
    }
    const FileMask mask = ResolveMask(tokens.back(), ProgramFolder());
    int threads = DefaultThreads();
    for (const Option& o : *options) {
        if (o.kind == OptionKind::kThreads) threads = o.integer;
    }

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    WriteConsoleText(ReportHead(local));
    std::vector<std::string> paths;
    for (std::string& name : ListFiles(mask.folder, mask.pattern))
        paths.push_back(mask.folder + name);
    // Fewer files than threads: the threads left over help each file's search.
    const int workers = static_cast<int>(
        std::min<size_t>(static_cast<size_t>(threads), std::max<size_t>(paths.size(), 1)));
    const int searchThreads = std::min(threads / workers, zeph::control::kMostSearchThreads);
    BorrowedFileReader own(control);
    if (workers == 1) {
        if (searchThreads > 1) PutProperty(control, kSearchThreads, Variant(searchThreads));
        for (const std::string& path : paths)
            WriteConsoleText(own.Read(path));
    } else {
        ReadInListingOrder(
            paths, workers,
            [&]() -> std::unique_ptr<FileReader> {
                return ControlFileReader::Make(*options, searchThreads);
            },
            own, [](const std::string& block) { WriteConsoleText(block); });
    }
    WriteConsoleText(kReportEnd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    PrepareConsole();
    zeph::imaging::KeepFreedImageMemory();
    if (FAILED(CoInitialize(nullptr))) {
        std::fprintf(stderr, "ZephScan: the component layer cannot start\n");
        return 1;
    }
    int status = 1;
    {
        HRESULT hr = S_OK;
        ComPtr<IDispatch> control = CreateReaderControl(hr);
        if (!control) {
            std::fprintf(stderr, "ZephScan: cannot create the reader control (0x%08X): %s\n",
                         static_cast<unsigned>(hr),
                         zeph::platform::LastActivationFailure().c_str());
        } else {
            status = Run(*control.Get(), argc, argv);
        }
    }
    CoUninitialize();
    return status;
}
