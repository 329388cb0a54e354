// The report as JSON Lines: one JSON object per file, on one line, written as
// soon as the file is done, so that a reader can act on each file at once.
#pragma once

#include <string>
#include <string_view>

#include "cli/file_result.h"

namespace zeph::cli {

// UTF-8 as a JSON string, quotes included; control characters as \u escapes.
std::string JsonString(std::string_view utf8);

// {"file": ..., "status": "ok" | "error", "error": ... (on failure), "pages": n,
//  "barcodes": [{"page", "symbology", "type", "rawData", "data", "descriptor",
//  "confidence", "start": {"x", "y"}, "stop": {"x", "y"}}, ...]} and a line
// feed. Texts are UTF-8; "rawData" is the symbol's characters unfiltered.
std::string JsonLine(const FileResult& result);

}  // namespace zeph::cli
