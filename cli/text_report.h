// The report as plain lines: "FILE: SYMBOLOGY: TEXT" for every barcode, TEXT
// being the symbol's characters as read (JSON's "rawData", unfiltered); with
// pages, "FILE:PAGE: SYMBOLOGY: TEXT". A file without barcodes gives no line.
#pragma once

#include <string>
#include <string_view>

#include "cli/file_result.h"

namespace zeph::cli {

// A text on one line: control characters as \xHH and a backslash as \\, so
// that every barcode stays one line and the text can be told back.
std::string OneLine(std::string_view utf8);

std::string TextLines(const FileResult& result, bool pages);

}  // namespace zeph::cli
