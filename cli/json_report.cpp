#include "cli/json_report.h"

#include <charconv>
#include <cstdio>

#include "cli/utf8_text.h"
#include "platform/codepage.h"

namespace zeph::cli {
namespace {

std::string ReaderText(std::string_view windows1252) {
    return JsonString(platform::Utf8FromWindows1252(windows1252));
}

std::string Point(int32_t x, int32_t y) {
    return "{\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) + "}";
}

// The shortest text that reads back as the same single-precision value.
std::string Number(float value) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : "0";
}

}  // namespace

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    out.reserve(utf8.size() + 2);
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string JsonLine(const FileResult& result) {
    std::string line = "{\"file\":" + JsonString(ValidUtf8(result.path));
    line += result.Failed() ? ",\"status\":\"error\"" : ",\"status\":\"ok\"";
    if (result.Failed()) {
        std::string why = result.reason;
        if (result.failedPage > 1) why = "page " + std::to_string(result.failedPage) + ": " + why;
        line += ",\"error\":" + JsonString(ValidUtf8(why));
    }
    line += ",\"pages\":" + std::to_string(result.pages);
    line += ",\"barcodes\":[";
    for (size_t i = 0; i < result.matches.size(); ++i) {
        const MatchResult& m = result.matches[i];
        if (i > 0) line += ',';
        line += "{\"page\":" + std::to_string(m.page);
        line += ",\"symbology\":" + ReaderText(m.symbology);
        line += ",\"type\":" + ReaderText(m.type);
        line += ",\"rawData\":" + ReaderText(m.raw);
        line += ",\"data\":" + ReaderText(m.data);
        line += ",\"descriptor\":" + ReaderText(m.descriptor);
        line += ",\"confidence\":" + Number(m.confidence);
        line += ",\"start\":" + Point(m.startx, m.starty);
        line += ",\"stop\":" + Point(m.stopx, m.stopy) + "}";
    }
    line += "]}\n";
    return line;
}

}  // namespace zeph::cli
