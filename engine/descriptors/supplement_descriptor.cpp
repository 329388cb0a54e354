#include "engine/descriptors/supplement_descriptor.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <string_view>

#include "engine/descriptors/digit_text.h"

namespace {

using namespace zeph::descriptors;

// Suggested retail prices by kind digit. Texts are single-byte Windows-1252,
// so the pound sign is the one byte 0xA3.
struct PriceRow {
    int kind;
    std::string_view currency;
    std::string_view suffix;      // after a price
    std::string_view overSuffix;  // after the "Over" form of the top value
};

constexpr std::array<PriceRow, 6> kPrices = {{
    {0, "\xA3", " (British Pounds)", " (British Pounds)"},
    {1, "\xA3", " (British Pounds)", " (British Pounds)"},
    {3, "$", " (Autralian)", " (Autralian)"},
    {4, "$", " (New Zealand)", " (New Zealand)"},
    {5, "$", " U.S.", " (US)"},
    {6, "$", " CAN.", " (Canadian)"},
}};

// The top value 9999 stands for any price above 99.98.
constexpr int kOverValue = 9999;

// Kind 9: special codes by value range; an empty text shows the four value
// digits instead.
struct CodeRow {
    int first;
    int last;
    std::string_view descriptor;
    std::string_view text;
};

constexpr std::string_view kNacs = "National Association of College Stores (NACS) code";

constexpr std::array<CodeRow, 6> kCodes = {{
    {0, 0, "Retail Price", "No suggested retail price"},
    {1, 8999, "Internal Use", ""},
    {9000, 9989, "Reserved", ""},
    {9990, 9990, kNacs, "Used book"},
    {9991, 9991, kNacs, "Complimentary or desk copy"},
    {9992, 9999, kNacs, ""},
}};

// The value d1..d4, or -1 when one of them is unreadable.
int ValueOf(std::span<const BestMatch> reading) {
    int value = 0;
    for (size_t i = 1; i <= 4; ++i) {
        const int d = DigitAt(reading, i);
        if (d < 0) return -1;
        value = 10 * value + d;
    }
    return value;
}

void WritePrice(const PriceRow& row, int value, MatchRecord& record) {
    std::array<char, 16> amount{};
    std::snprintf(amount.data(), amount.size(), "%.2f", value * 0.01);
    const bool over = value == kOverValue;
    XR_SetText(record.descriptor, "Retail Price");
    XR_SetText(record.data, over ? "Over " : "");
    XR_AppendText(record.data, row.currency);
    XR_AppendText(record.data, XR_TextOf(amount));
    XR_AppendText(record.data, over ? row.overSuffix : row.suffix);
}

void WriteCode(const CodeRow& row, std::span<const BestMatch> reading, MatchRecord& record) {
    XR_SetText(record.descriptor, row.descriptor);
    XR_SetText(record.data, row.text);
    if (row.text.empty()) AppendDigits(record.data, reading, 1, 5);
}

// Kinds 2, 7 and 8 have no meaning here; neither has an add-on with an
// unreadable digit.
void WriteUnknown(std::span<const BestMatch> reading, MatchRecord& record) {
    XR_SetText(record.descriptor, "Unknown");
    XR_SetText(record.data, "");
    AppendDigits(record.data, reading, 0, 5);
}

// The price row of a kind digit, or none for the kinds without a price.
const PriceRow* FindPrice(int kind) {
    for (const PriceRow& row : kPrices) {
        if (row.kind == kind) return &row;
    }
    return nullptr;
}

// The code row of a kind 9 value, or none when no row covers it.
const CodeRow* FindCode(int kind, int value) {
    if (kind != 9) return nullptr;
    for (const CodeRow& row : kCodes) {
        if (value >= row.first && value <= row.last) return &row;
    }
    return nullptr;
}

void DescribeFiveDigits(std::span<const BestMatch> reading, MatchRecord& record) {
    const int kind = DigitAt(reading, 0);
    const int value = ValueOf(reading);
    const PriceRow* price = value < 0 ? nullptr : FindPrice(kind);
    const CodeRow* code = value < 0 ? nullptr : FindCode(kind, value);
    if (price != nullptr) {
        WritePrice(*price, value, record);
    } else if (code != nullptr) {
        WriteCode(*code, reading, record);
    } else {
        WriteUnknown(reading, record);
    }
}

}  // namespace

void XR_DescribeSupplement(std::span<const BestMatch> reading, int count, MatchRecord& record) {
    const bool fiveDigits = count == 6;
    XR_SetText(record.symbology, "UPC Supplemental");
    XR_SetText(record.rawData, "");
    AppendDigits(record.rawData, reading, 0, fiveDigits ? 5 : 2);
    if (!fiveDigits) {
        XR_SetText(record.barcodeType, "2-digit Supplement");
        XR_SetText(record.descriptor, "Issue Number");
        XR_SetText(record.data, "Issue #");
        XR_AppendText(record.data, XR_TextOf(record.rawData));
        return;
    }
    XR_SetText(record.barcodeType, "5-digit Supplement");
    DescribeFiveDigits(reading, record);
}
