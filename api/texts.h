// The reader's single-byte Windows-1252 texts as UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace zeph::api {

std::string Utf8FromWindows1252(std::string_view text);

}  // namespace zeph::api
