// Single-byte Windows-1252 texts and UTF-16: every byte maps to one character
// and back, the five bytes the code page leaves undefined included (0x81 to
// U+0081 and so on), so texts round-trip unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zeph::platform {

std::u16string WidenWindows1252(std::string_view text);
// Characters outside the code page become '?'.
std::string NarrowWindows1252(std::u16string_view text);
// The same characters in UTF-8, one to three bytes each.
std::string Utf8FromWindows1252(std::string_view text);

}  // namespace zeph::platform
