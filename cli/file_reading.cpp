#include "cli/file_reading.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <exception>
#include <optional>

#include "cli/control_calls.h"
#include "cli/picture_loading.h"
#include "platform/codepage.h"
#include "platform/picture.h"

namespace zeph::cli {
namespace {

using namespace zeph::reader_dispid;

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

// One match, or nullopt when any of its results cannot be read. The results
// are asked for in a fixed order: raw data, confidence, the end points, then
// the texts.
std::optional<MatchResult> ReadMatch(IDispatch& control, int16_t i) {
    MatchResult match;
    std::optional<std::string> raw = Text(control, kRawData, i);
    if (!raw) return std::nullopt;
    match.raw = std::move(*raw);
    const std::optional<Variant> confidence = CallIndexed(control, kConfidence, i, VT_R4);
    if (!confidence) return std::nullopt;
    match.confidence = confidence->Get()->fltVal;
    const std::array<std::pair<DISPID, int32_t*>, 4> points = {{{kStartx, &match.startx},
                                                                {kStarty, &match.starty},
                                                                {kStopx, &match.stopx},
                                                                {kStopy, &match.stopy}}};
    for (const auto& [id, value] : points) {
        const std::optional<Variant> v = CallIndexed(control, id, i, VT_I4);
        if (!v) return std::nullopt;
        *value = v->Get()->lVal;
    }
    const std::array<std::pair<DISPID, std::string*>, 4> texts = {
        {{kSymbology, &match.symbology},
         {kBarcodeType, &match.type},
         {kDataDescriptor, &match.descriptor},
         {kData, &match.data}}};
    for (const auto& [id, value] : texts) {
        std::optional<std::string> v = Text(control, id, i);
        if (!v) return std::nullopt;
        *value = std::move(*v);
    }
    return match;
}

// A one-pixel picture: the control lets go of the page's picture and raster
// before the next page is decoded.
void ReleasePage(IDispatch& control) {
    const uint8_t white[4] = {255, 255, 255, 0};
    ComPtr<IDispatch> dot =
        BitmapToPicture(CreateBitmap24(1, 1, white, 4), PICTYPE_BITMAP, nullptr);
    if (dot) PutProperty(control, kPicture, Variant(dot.Get()));
}

constexpr const char* kReaderFailed = "the reader failed (an internal error)";

// Reads one decoded page's barcodes into `result`; false when the file's
// reading ends here.
bool ReadPage(IDispatch& control, imaging::DecodedImage&& image, int page, FileResult& result) {
    ComPtr<IDispatch> picture = PictureOfImage(std::move(image));
    if (!picture || FAILED(PutProperty(control, kPicture, Variant(picture.Get())))) {
        result.failure = FileFailure::FailedOpen;
        result.reason = picture ? "the reader control refused the picture" : "out of memory";
        return false;
    }
    picture.Reset();
    Variant count;
    if (FAILED(GetProperty(control, kNbCodesFound, count)) ||
        FAILED(VariantChangeType(count.Get(), count.Get(), 0, VT_I2))) {
        result.failure = FileFailure::InternalError;
        result.reason = kReaderFailed;
        return false;
    }
    const int16_t n = count.Get()->iVal;
    // A negative count is the engine's failure, not a picture without codes.
    if (n < 0) {
        result.failure = FileFailure::InternalError;
        result.reason = kReaderFailed;
        return false;
    }
    result.counted = true;
    result.count += n;
    for (int i = 1; i <= n; ++i) {
        std::optional<MatchResult> match = ReadMatch(control, static_cast<int16_t>(i));
        if (!match) {
            result.failure = FileFailure::InternalError;
            result.reason = kReaderFailed;
            return false;
        }
        match->page = page;
        result.matches.push_back(std::move(*match));
    }
    return true;
}

std::atomic<bool> standardInputTaken{false};

imaging::ImagePages OpenPages(const std::string& path, const imaging::LoadSettings& settings,
                              std::string& refusal) {
    if (!IsStandardInput(path)) return imaging::ImagePages::OfFile(path, settings);
    // A stream gives its bytes once.
    if (standardInputTaken.exchange(true)) {
        refusal = "standard input was read already";
        return imaging::ImagePages::OfBytes({}, settings);
    }
    return imaging::ImagePages::OfStream(STDIN_FILENO, settings);
}

}  // namespace

bool IsStandardInput(std::string_view path) {
    return path == "-" || path == "/dev/stdin" || path == "/dev/fd/0" || path == "/proc/self/fd/0";
}

FileResult ReadFile(IDispatch& control, const std::string& path,
                    const imaging::LoadSettings& settings) noexcept {
    FileResult result;
    try {
        result.path = path;
        std::string refusal;
        imaging::ImagePages pages = OpenPages(path, settings, refusal);
        for (;;) {
            // A grey page goes to the control as a grey bitmap: a third of
            // the memory, and its greys are read once.
            imaging::DecodeResult page = pages.NextKeepingGrey();
            if (page.End()) break;
            if (!page.image) {
                result.failure = FileFailure::FailedOpen;
                result.failedPage = pages.Page();
                result.reason = refusal.empty() ? std::move(page.error) : refusal;
                break;
            }
            const bool read = ReadPage(control, std::move(*page.image), pages.Page(), result);
            ReleasePage(control);
            if (!read) {
                result.failedPage = pages.Page();
                break;
            }
            ++result.pages;
        }
    } catch (const std::exception&) {
        ReleasePage(control);
        result.failure = FileFailure::InternalError;
        result.failedPage = result.pages + 1;
        result.reason = "out of memory";
    }
    return result;
}

}  // namespace zeph::cli
