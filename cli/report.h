// The XML report: its head and end, one block per file, and the texts that go
// into it. Lines end with CR LF; element texts are escaped for &, < and >.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "platform/com.h"

namespace zeph::cli {

inline constexpr std::string_view kReportEnd = "</ZephScanOutput>\r\n";

// Bytes below 32 and from 127 up become "#"; the length stays.
std::string FilterRawData(std::string_view raw);
// &, < and > as entities: barcode contents and file names are untrusted and
// must not forge report structure. Every other byte is kept.
std::string EscapeText(std::string_view text);
// "12/7/2026 9:16:53 PM"; at exactly midnight the date alone.
std::string FormatTimestamp(const std::tm& local);
// Root start, timestamp and version lines.
std::string ReportHead(const std::tm& local);

// Loads the file, hands it to the control and returns the file's whole block,
// also when loading or reading fails.
std::string ProcessImageFile(IDispatch& control, const std::string& path);
// The block of a file whose reading failed inside ZephScan (memory ran out).
std::string InternalErrorBlock(const std::string& path);

}  // namespace zeph::cli
