#include "api/texts.h"

#include "platform/codepage.h"

namespace zeph::api {

std::string Utf8FromWindows1252(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size());
    // Every character of the code page lies in the basic plane: one to three bytes.
    for (const char16_t c : zeph::platform::WidenWindows1252(text)) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

}  // namespace zeph::api
