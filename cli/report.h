// The XML report: its head and end, one block per file, and the texts that go
// into it. Lines end with CR LF. The report is well-formed UTF-8 XML: the
// reader's Windows-1252 texts are converted, &, < and > are entities, and
// the control characters XML cannot hold are shown as their control pictures.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "cli/file_result.h"
#include "imaging/image_loading.h"
#include "platform/com.h"

namespace zeph::cli {

inline constexpr std::string_view kReportEnd = "</ZephScanOutput>\r\n";

// Bytes below 32 and from 127 up become "#"; the length stays.
std::string FilterRawData(std::string_view raw);
// UTF-8 text as XML character data. &, < and > become entities: barcode
// contents and file names are untrusted and must not forge report structure.
// A control character other than tab and line feed becomes its control
// picture (U+2400 plus its code), which no Windows-1252 text holds, and a
// carriage return the reference &#13;, which a parser keeps.
std::string EscapeText(std::string_view utf8);
// A reader text (Windows-1252) as XML character data.
std::string XmlText(std::string_view windows1252);
// A file name as XML character data; bytes that are not UTF-8 become U+FFFD.
std::string XmlName(std::string_view path);
// "12/7/2026 9:16:53 PM"; at exactly midnight the date alone.
std::string FormatTimestamp(const std::tm& local);
// Root start, timestamp and version lines.
std::string ReportHead(const std::tm& local);

// The file's block: OK, the count and the matches, or the failed-open or
// internal-error ending where the reading stopped. With `pages`, each match
// also names its page.
std::string XmlBlock(const FileResult& result, bool pages);

// Reads the file's first page with the control and returns its whole block,
// also when loading or reading fails.
std::string ProcessImageFile(IDispatch& control, const std::string& path);

}  // namespace zeph::cli
