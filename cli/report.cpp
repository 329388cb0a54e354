#include "cli/report.h"

#include <array>
#include <cstdio>
#include <optional>

#include "cli/control_calls.h"
#include "cli/picture_loading.h"
#include "platform/codepage.h"

namespace zeph::cli {
namespace {

using namespace zeph::reader_dispid;

constexpr std::string_view kCrLf = "\r\n";

std::string Element(std::string_view indent, std::string_view name, std::string_view text) {
    std::string line(indent);
    line.append("<").append(name).append(">").append(text);
    line.append("</").append(name).append(">").append(kCrLf);
    return line;
}

// Calls a result method with a 1-based index and converts the answer; nullopt
// when the call or the conversion fails.
std::optional<Variant> CallIndexed(IDispatch& control, DISPID id, int16_t index, VARTYPE type) {
    Variant argument(index);
    Variant result;
    DISPPARAMS params{argument.Get(), nullptr, 1, 0};
    if (FAILED(control.Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result.Get(), nullptr,
                              nullptr))) {
        return std::nullopt;
    }
    if (FAILED(VariantChangeType(result.Get(), result.Get(), 0, type))) return std::nullopt;
    return result;
}

std::optional<std::string> Text(IDispatch& control, DISPID id, int16_t index) {
    std::optional<Variant> v = CallIndexed(control, id, index, VT_BSTR);
    if (!v) return std::nullopt;
    const BSTR s = v->Get()->bstrVal;
    return platform::NarrowWindows1252(std::u16string_view(s ? s : u"", SysStringLen(s)));
}

std::optional<int32_t> Integer(IDispatch& control, DISPID id, int16_t index) {
    std::optional<Variant> v = CallIndexed(control, id, index, VT_I4);
    if (!v) return std::nullopt;
    return v->Get()->lVal;
}

// One match block, or nullopt when any of its results cannot be read. The
// results are asked for in a fixed order.
std::optional<std::string> MatchBlock(IDispatch& control, int16_t i) {
    const std::optional<std::string> raw = Text(control, kRawData, i);
    if (!raw) return std::nullopt;
    std::optional<Variant> confidence = CallIndexed(control, kConfidence, i, VT_R4);
    if (!confidence) return std::nullopt;
    std::array<int32_t, 4> points{};
    const DISPID pointIds[] = {kStartx, kStarty, kStopx, kStopy};
    for (size_t k = 0; k < points.size(); ++k) {
        const std::optional<int32_t> v = Integer(control, pointIds[k], i);
        if (!v) return std::nullopt;
        points[k] = *v;
    }
    std::array<std::string, 4> texts;
    const DISPID textIds[] = {kSymbology, kBarcodeType, kDataDescriptor, kData};
    for (size_t k = 0; k < texts.size(); ++k) {
        std::optional<std::string> v = Text(control, textIds[k], i);
        if (!v) return std::nullopt;
        texts[k] = std::move(*v);
    }

    char number[32];
    std::snprintf(number, sizeof number, "%.3f", double(confidence->Get()->fltVal));
    std::string block = "\t<BarcodeMatch>\r\n";
    block += Element("\t\t", "RawData", EscapeText(FilterRawData(*raw)));
    block += Element("\t\t", "Symbology", EscapeText(texts[0]));
    block += Element("\t\t", "BarcodeType", EscapeText(texts[1]));
    block += Element("\t\t", "DataDescriptor", EscapeText(texts[2]));
    block += Element("\t\t", "Data", EscapeText(texts[3]));
    block += Element("\t\t", "Confidence", number);
    const char* names[] = {"Startx", "Starty", "Stopx", "Stopy"};
    for (size_t k = 0; k < points.size(); ++k) {
        block += Element("\t\t", names[k], std::to_string(points[k]));
    }
    block += "\t</BarcodeMatch>\r\n";
    return block;
}

std::string InternalError() {
    return Element("\t", "Status", "ERROR: Internal error caught from within ZephBarcode's core");
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

std::string EscapeText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
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
            default:
                escaped += c;
        }
    }
    return escaped;
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

std::string InternalErrorBlock(const std::string& path) {
    return "<ZephScanResult>\r\n" + Element("\t", "FileName", EscapeText(path)) + InternalError() +
           "</ZephScanResult>\r\n";
}

std::string ProcessImageFile(IDispatch& control, const std::string& path) {
    std::string block = "<ZephScanResult>\r\n";
    block += Element("\t", "FileName", EscapeText(path));
    const std::string end = "</ZephScanResult>\r\n";

    ComPtr<IDispatch> picture = LoadPicturePlus(path);
    if (picture && FAILED(PutProperty(control, kPicture, Variant(picture.Get())))) {
        picture.Reset();
    }
    if (!picture) {
        return block + Element("\t", "Status", "ERROR: Failed to open " + EscapeText(path)) + end;
    }

    Variant count;
    if (FAILED(GetProperty(control, kNbCodesFound, count)) ||
        FAILED(VariantChangeType(count.Get(), count.Get(), 0, VT_I2))) {
        return block + InternalError() + end;
    }
    const int16_t n = count.Get()->iVal;
    // A negative count is the engine's failure, not a picture without codes.
    if (n < 0) return block + InternalError() + end;
    block += "\t<Status>OK</Status>\r\n";
    block += Element("\t", "NbCodes", std::to_string(n));
    for (int i = 1; i <= n; ++i) {
        std::optional<std::string> match = MatchBlock(control, static_cast<int16_t>(i));
        if (!match) return block + InternalError() + end;
        block += *match;
    }
    return block + end;
}

}  // namespace zeph::cli
