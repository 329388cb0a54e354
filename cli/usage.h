#pragma once

#include <string_view>

namespace zeph::cli {

inline constexpr std::string_view kBadCommandLine = "ERROR: Bad command line.\r\n\r\n";

// Writes the usage text, one write per row.
void PrintUsage();

}  // namespace zeph::cli
