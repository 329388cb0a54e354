// One file's share of the run: its part of the report in the chosen format,
// its messages, and whether it failed.
#pragma once

#include <string>

#include "cli/command_line.h"
#include "imaging/image_loading.h"
#include "platform/com.h"

namespace zeph::cli {

struct ReportSettings {
    ReportFormat format = ReportFormat::kXml;
    // -PAGES was given: the XML names each barcode's page, the text lines too.
    bool pages = false;
    imaging::LoadSettings load;
};

struct FileReport {
    std::string output;  // for standard output
    std::string errors;  // message lines for standard error, "PATH: why\n"
    bool failed = false;
};

// Reads the file with the control and writes its report. Never throws.
FileReport ReportFile(IDispatch& control, const std::string& path,
                      const ReportSettings& settings) noexcept;

}  // namespace zeph::cli
