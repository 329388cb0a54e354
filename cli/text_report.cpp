#include "cli/text_report.h"

#include <cstdio>

#include "platform/codepage.h"

namespace zeph::cli {

std::string OneLine(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (u < 0x20 || u == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

std::string TextLines(const FileResult& result, bool pages) {
    std::string lines;
    const std::string file = OneLine(result.path);
    for (const MatchResult& m : result.matches) {
        lines.append(file);
        if (pages) lines.append(":").append(std::to_string(m.page));
        lines.append(": ").append(OneLine(platform::Utf8FromWindows1252(m.symbology)));
        lines.append(": ").append(OneLine(platform::Utf8FromWindows1252(m.raw))).append("\n");
    }
    return lines;
}

}  // namespace zeph::cli
