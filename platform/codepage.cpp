#include "platform/codepage.h"

#include <array>

namespace zeph::platform {
namespace {

// Characters of bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178'};

char16_t Widen(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

}  // namespace

std::u16string WidenWindows1252(std::string_view text) {
    std::u16string wide(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        wide[i] = Widen(static_cast<unsigned char>(text[i]));
    return wide;
}

std::string NarrowWindows1252(std::u16string_view text) {
    std::string narrow(text.size(), '?');
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            narrow[i] = static_cast<char>(c);
            continue;
        }
        for (size_t k = 0; k < kHighControls.size(); ++k) {
            if (kHighControls[k] == c) narrow[i] = static_cast<char>(0x80 + k);
        }
    }
    return narrow;
}

std::string Utf8FromWindows1252(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size());
    // Every character of the code page lies in the basic plane.
    for (const unsigned char byte : text) {
        const char16_t c = Widen(byte);
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

}  // namespace zeph::platform
