// The full help (--help) and the version (--version), on standard output.
#pragma once

#include <string>

namespace zeph::cli {

// `pdf`: whether this ZephScan reads PDF files.
std::string HelpText(bool pdf);
std::string VersionText(bool pdf);

}  // namespace zeph::cli
