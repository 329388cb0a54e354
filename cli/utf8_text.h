// Texts on their way into UTF-8 reports.
#pragma once

#include <string>
#include <string_view>

namespace zeph::cli {

void AppendUtf8(std::string& out, char32_t c);
// Valid UTF-8 as it is; every byte of an invalid sequence becomes U+FFFD. A
// file name need not be UTF-8, a report must be.
std::string ValidUtf8(std::string_view bytes);

}  // namespace zeph::cli
