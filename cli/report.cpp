#include "cli/report.h"

#include <cstdio>

#include "cli/file_reading.h"
#include "cli/utf8_text.h"
#include "platform/codepage.h"

namespace zeph::cli {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string Element(std::string_view indent, std::string_view name, std::string_view text) {
    std::string line(indent);
    line.append("<").append(name).append(">").append(text);
    line.append("</").append(name).append(">").append(kCrLf);
    return line;
}

std::string MatchBlock(const MatchResult& match, bool pages) {
    char number[32];
    std::snprintf(number, sizeof number, "%.3f", double(match.confidence));
    std::string block = "\t<BarcodeMatch>\r\n";
    block += Element("\t\t", "RawData", EscapeText(FilterRawData(match.raw)));
    block += Element("\t\t", "Symbology", XmlText(match.symbology));
    block += Element("\t\t", "BarcodeType", XmlText(match.type));
    block += Element("\t\t", "DataDescriptor", XmlText(match.descriptor));
    block += Element("\t\t", "Data", XmlText(match.data));
    block += Element("\t\t", "Confidence", number);
    block += Element("\t\t", "Startx", std::to_string(match.startx));
    block += Element("\t\t", "Starty", std::to_string(match.starty));
    block += Element("\t\t", "Stopx", std::to_string(match.stopx));
    block += Element("\t\t", "Stopy", std::to_string(match.stopy));
    if (pages) block += Element("\t\t", "Page", std::to_string(match.page));
    block += "\t</BarcodeMatch>\r\n";
    return block;
}

}  // namespace

std::string FilterRawData(std::string_view raw) {
    std::string filtered(raw);
    for (char& c : filtered) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u >= 127) c = '#';
    }
    return filtered;
}

std::string EscapeText(std::string_view utf8) {
    std::string escaped;
    escaped.reserve(utf8.size());
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '\r':
                escaped += "&#13;";
                break;
            case '\t':
            case '\n':
                escaped += c;
                break;
            default:
                if (u < 0x20) {
                    AppendUtf8(escaped, char32_t(0x2400 + u));
                } else {
                    escaped += c;
                }
        }
    }
    return escaped;
}

std::string XmlText(std::string_view windows1252) {
    return EscapeText(platform::Utf8FromWindows1252(windows1252));
}

std::string XmlName(std::string_view path) {
    return EscapeText(ValidUtf8(path));
}

std::string FormatTimestamp(const std::tm& t) {
    char text[64];
    const int month = t.tm_mon + 1, year = t.tm_year + 1900;
    if (t.tm_hour == 0 && t.tm_min == 0 && t.tm_sec == 0) {
        std::snprintf(text, sizeof text, "%d/%d/%d", month, t.tm_mday, year);
        return text;
    }
    const int hour = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", month, t.tm_mday, year, hour,
                  t.tm_min, t.tm_sec, t.tm_hour < 12 ? "AM" : "PM");
    return text;
}

std::string ReportHead(const std::tm& local) {
    std::string head = "<ZephScanOutput>\r\n";
    head += Element("", "Timestamp", FormatTimestamp(local));
    head += Element("", "Version", "1.0.0");
    return head;
}

std::string XmlBlock(const FileResult& result, bool pages) {
    const std::string name = XmlName(result.path);
    std::string block = "<ZephScanResult>\r\n";
    block += Element("\t", "FileName", name);
    const std::string end = "</ZephScanResult>\r\n";
    const std::string internalError =
        Element("\t", "Status", "ERROR: Internal error caught from within ZephBarcode's core");
    if (!result.counted) {
        // Nothing was read: the reading ended on the first page.
        if (result.failure == FileFailure::FailedOpen) {
            return block + Element("\t", "Status", "ERROR: Failed to open " + name) + end;
        }
        return block + internalError + end;
    }
    block += "\t<Status>OK</Status>\r\n";
    block += Element("\t", "NbCodes", std::to_string(result.count));
    for (const MatchResult& match : result.matches)
        block += MatchBlock(match, pages);
    if (result.failure == FileFailure::InternalError) block += internalError;
    if (result.failure == FileFailure::FailedOpen) {
        block += Element(
            "\t", "Status",
            "ERROR: Failed to open page " + std::to_string(result.failedPage) + " of " + name);
    }
    return block + end;
}

std::string ProcessImageFile(IDispatch& control, const std::string& path) {
    return XmlBlock(ReadFile(control, path, {}), false);
}

}  // namespace zeph::cli
