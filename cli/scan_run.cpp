#include "cli/scan_run.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/control_calls.h"
#include "cli/control_setup.h"
#include "cli/exit_status.h"
#include "cli/mask_listing.h"
#include "cli/ordered_reading.h"
#include "cli/output_watch.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/usage.h"

namespace zeph::cli {
namespace {

using namespace zeph::reader_dispid;

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == 0 ? "/" : exe.substr(0, slash);
}

int RefuseCommandLine(const std::string& token, const std::string& why) {
    WriteMessage("bad command line: " + (token.empty() ? why : token + ": " + why));
    WriteConsoleText(kBadCommandLine);
    PrintUsage();
    return kExitBadCommandLine;
}

// The report cannot go on: the run ends at once. A reader that went away
// needs no word.
[[noreturn]] void OutputFailed(const std::string& error) {
    if (error != std::strerror(EPIPE)) WriteMessage("cannot write the report: " + error);
    _exit(kExitOutputFailed);
}

void Write(std::string_view text) {
    std::string error;
    if (!WriteConsoleText(text, &error)) OutputFailed(error);
}

ReportSettings SettingsOf(const std::vector<Option>& options,
                          const std::vector<const imaging::ImageFormat*>& moreFormats) {
    ReportSettings settings;
    settings.load.moreFormats = moreFormats;
    for (const Option& o : options) {
        if (o.kind == OptionKind::kFormat) settings.format = static_cast<ReportFormat>(o.integer);
        if (o.kind == OptionKind::kPages) {
            settings.pages = true;
            settings.load.allPages = o.integer == 1;
        }
        if (o.kind == OptionKind::kDotsPerInch) settings.load.dotsPerInch = o.integer;
    }
    return settings;
}

}  // namespace

int RunScan(IDispatch& control, const std::vector<std::string>& tokens,
            const std::vector<const imaging::ImageFormat*>& moreFormats) {
    BadCommandLine bad;
    const std::optional<CommandLine> line = ScanCommandLine(tokens, &bad);
    const Option* refused = nullptr;
    if (!SetUpControl(control, line ? line->options : std::vector<Option>{}, &refused)) {
        return RefuseCommandLine(tokens[refused->position] + " " + tokens[refused->position + 1],
                                 "refused by the reader control");
    }
    if (!line) return RefuseCommandLine(bad.token, bad.why);
    const ReportSettings settings = SettingsOf(line->options, moreFormats);
    int threads = DefaultThreads();
    bool progressShown = false;
    for (const Option& o : line->options) {
        if (o.kind == OptionKind::kThreads) threads = o.integer;
        if (o.kind == OptionKind::kProgress) progressShown = o.integer == 1;
    }

    EndWhenOutputCloses(kExitOutputFailed);
    const bool xml = settings.format == ReportFormat::kXml;
    if (xml) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        Write(ReportHead(local));
    }
    const MaskListing listing = ListMasks(line->masks, ProgramFolder());
    bool failed = !listing.problems.empty();
    for (const std::string& problem : listing.problems)
        WriteMessage(problem);

    // Fewer files than threads: the threads left over help the search of each
    // large picture.
    const std::vector<std::string>& paths = listing.paths;
    const int workers = static_cast<int>(
        std::min<size_t>(static_cast<size_t>(threads), std::max<size_t>(paths.size(), 1)));
    const int searchThreads = std::min(threads / workers, kMostSearchThreads);
    Progress progress(progressShown, paths.size());
    const auto write = [&](const FileReport& report) {
        Write(report.output);
        if (!report.errors.empty()) {
            std::string_view errors = report.errors;
            while (!errors.empty()) {
                const size_t end = errors.find('\n');
                progress.Message(errors.substr(0, end));
                errors.remove_prefix(end == std::string_view::npos ? errors.size() : end + 1);
            }
        }
        failed = failed || report.failed;
        progress.FileDone();
    };
    BorrowedFileReader own(control, settings);
    if (workers == 1) {
        if (searchThreads > 1) PutProperty(control, kSearchThreads, Variant(searchThreads));
        for (const std::string& path : paths)
            write(own.Read(path));
    } else {
        ReadInListingOrder(
            paths, workers,
            [&]() -> std::unique_ptr<FileReader> {
                return ControlFileReader::Make(line->options, settings, searchThreads);
            },
            own, write);
    }
    progress.Finish();
    if (xml) Write(kReportEnd);
    return failed ? kExitSomeFilesFailed : kExitEveryFileRead;
}

}  // namespace zeph::cli
