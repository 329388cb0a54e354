#include "cli/file_report.h"

#include <exception>

#include "cli/file_reading.h"
#include "cli/json_report.h"
#include "cli/report.h"
#include "cli/text_report.h"

namespace zeph::cli {

FileReport ReportFile(IDispatch& control, const std::string& path,
                      const ReportSettings& settings) noexcept {
    FileReport report;
    try {
        const FileResult result = ReadFile(control, path, settings.load);
        switch (settings.format) {
            case ReportFormat::kXml:
                report.output = XmlBlock(result, settings.pages);
                break;
            case ReportFormat::kJson:
                report.output = JsonLine(result);
                break;
            case ReportFormat::kText:
                report.output = TextLines(result, settings.pages);
                break;
        }
        report.failed = result.Failed();
        if (report.failed) {
            report.errors = path + ": ";
            if (result.failedPage > 1)
                report.errors += "page " + std::to_string(result.failedPage) + ": ";
            report.errors += result.reason + "\n";
        }
    } catch (const std::exception&) {  // out of memory while writing the report
        report.failed = true;
        report.output.clear();
        report.errors = "out of memory\n";
    }
    return report;
}

}  // namespace zeph::cli
