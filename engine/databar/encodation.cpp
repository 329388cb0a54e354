#include "engine/databar/encodation.h"

#include <cstdint>
#include <string_view>

#include "engine/databar/general_purpose.h"

namespace zeph::databar {
namespace {

constexpr int kGroupBits = 10;  // three GTIN digits
constexpr int kGroups = 4;
constexpr int32_t kGroupValues = 1000;
// A symbol of more characters than this says so in its length field.
constexpr int kLongSymbol = 14;
// The weight and date methods leave no room for anything else: they fill
// exactly this many bits.
constexpr int kWeightBits = 60;
constexpr int kWeightAndDateBits = 84;
constexpr int32_t kNoDate = 38400;
constexpr int32_t kPoundsLimit = 10000;  // AI 3202 below, 3203 from it on
constexpr int32_t kWeightDigits = 100000;
constexpr int32_t kCurrencies = 1000;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the 2-bit length field at pos holds the symbol's length: its
// first bit whether the character count is odd, the second whether it
// exceeds 14.
bool LengthFits(const BitField& bits, int pos, int characters) {
    return bits.Bit(pos) == (characters % 2 != 0) &&
           bits.Bit(pos + 1) == (characters > kLongSymbol);
}

// "01", `indicator`, the twelve digits of the four groups from pos, and the
// check digit.
bool PutCompressedGtin(const BitField& bits, int pos, int32_t indicator, ElementString& out) {
    if (indicator < 0 || indicator > 9) return false;
    int64_t value = indicator;
    for (int g = 0; g < kGroups; ++g) {
        const int32_t group = bits.Value(pos + g * kGroupBits, kGroupBits);
        if (group < 0 || group >= kGroupValues) return false;
        value = value * kGroupValues + group;
    }
    return PutGtin(value, out);
}

// Method 1: AI 01 with any indicator digit, then the general-purpose field.
bool MethodGtin(const BitField& bits, int characters, bool numericAfterFnc1, ElementString& out) {
    constexpr int kLength = 2, kIndicator = 4, kGtin = 8, kRest = 48;
    return LengthFits(bits, kLength, characters) &&
           PutCompressedGtin(bits, kGtin, bits.Value(kIndicator, 4), out) &&
           DecodeGeneralPurpose(bits, kRest, numericAfterFnc1, out);
}

// Method 00: the general-purpose field alone.
bool MethodGeneral(const BitField& bits, int characters, bool numericAfterFnc1,
                   ElementString& out) {
    constexpr int kLength = 3, kRest = 5;
    return LengthFits(bits, kLength, characters) &&
           DecodeGeneralPurpose(bits, kRest, numericAfterFnc1, out);
}

// Methods 0100 and 0101: AI 01 (indicator 9) and a weight in 15 bits, in
// kilograms with three decimals (AI 3103) or pounds with two or three.
bool MethodWeight(const BitField& bits, bool pounds, ElementString& out) {
    constexpr int kGtin = 5, kWeight = 45;
    if (bits.Size() != kWeightBits || !PutCompressedGtin(bits, kGtin, 9, out)) return false;
    int32_t weight = bits.Value(kWeight, 15);
    if (weight < 0) return false;
    if (!pounds) return out.Put("3103") && out.PutNumber(weight, 6);
    const bool thousandths = weight >= kPoundsLimit;
    if (thousandths) weight -= kPoundsLimit;
    return out.Put(thousandths ? "3203" : "3202") && out.PutNumber(weight, 6);
}

// Methods 01100 and 01101: AI 01 (indicator 9), then a price with its
// decimals (AI 392x) or with an ISO 4217 currency too (AI 393x), its digits
// in the general-purpose field.
bool MethodPrice(const BitField& bits, int characters, bool currency, bool numericAfterFnc1,
                 ElementString& out) {
    constexpr int kLength = 6, kGtin = 8, kDecimals = 48, kCurrency = 50;
    if (!LengthFits(bits, kLength, characters) || !PutCompressedGtin(bits, kGtin, 9, out)) {
        return false;
    }
    const int32_t decimals = bits.Value(kDecimals, 2);
    if (decimals < 0 || !out.Put(currency ? "393" : "392") ||
        !out.Put(static_cast<char>('0' + decimals))) {
        return false;
    }
    if (!currency) return DecodeGeneralPurpose(bits, kCurrency, numericAfterFnc1, out);
    const int32_t code = bits.Value(kCurrency, 10);
    return code >= 0 && code < kCurrencies && out.PutNumber(code, 3) &&
           DecodeGeneralPurpose(bits, kCurrency + 10, numericAfterFnc1, out);
}

// Methods 0111000 to 0111111: AI 01 (indicator 9), a weight of six digits
// in kilograms (AI 310x) or pounds (AI 320x), its decimals the weight's
// first digit in 20 bits, and a date (AI 11, 13, 15 or 17) in 16 bits, or
// none.
bool MethodWeightAndDate(const BitField& bits, int32_t method, ElementString& out) {
    constexpr int kGtin = 8, kWeight = 48, kDate = 68;
    constexpr const char* kDateAis[] = {"11", "13", "15", "17"};
    if (bits.Size() != kWeightAndDateBits || !PutCompressedGtin(bits, kGtin, 9, out)) return false;
    const int32_t weight = bits.Value(kWeight, 20);
    const int32_t decimals = weight / kWeightDigits;
    if (weight < 0 || decimals > 9) return false;
    if (!out.Put((method & 1) != 0 ? "320" : "310") ||
        !out.Put(static_cast<char>('0' + decimals)) || !out.PutNumber(weight % kWeightDigits, 6)) {
        return false;
    }
    const int32_t date = bits.Value(kDate, 16);
    if (date < 0 || date > kNoDate) return false;
    if (date == kNoDate) return true;
    // YY * 384 + (MM - 1) * 32 + DD.
    const int32_t year = date / 384;
    const int32_t month = date % 384 / 32 + 1;
    const int32_t day = date % 32;
    return out.Put(kDateAis[(method >> 1) & 3]) && out.PutNumber(year, 2) &&
           out.PutNumber(month, 2) && out.PutNumber(day, 2);
}

// The element string by one reading of FNC1 in the letter modes.
bool Decode(const BitField& bits, int characters, bool numericAfterFnc1, ElementString& out) {
    if (bits.Bit(1)) return MethodGtin(bits, characters, numericAfterFnc1, out);
    if (!bits.Bit(2)) return MethodGeneral(bits, characters, numericAfterFnc1, out);
    switch (bits.Value(1, 4)) {
        case 0b0100:
            return MethodWeight(bits, false, out);
        case 0b0101:
            return MethodWeight(bits, true, out);
        default:
            break;
    }
    switch (bits.Value(1, 5)) {
        case 0b01100:
            return MethodPrice(bits, characters, false, numericAfterFnc1, out);
        case 0b01101:
            return MethodPrice(bits, characters, true, numericAfterFnc1, out);
        default:
            break;
    }
    const int32_t method = bits.Value(1, 7);
    return method >= 0b0111000 && method <= 0b0111111 &&
           MethodWeightAndDate(bits, method - 0b0111000, out);
}

// Whether every FNC1 of the string is followed by an application
// identifier's first two digits.
bool SeparatorsLeadToIdentifiers(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != kFnc1) continue;
        if (i + 2 >= text.size() || !IsDigit(text[i + 1]) || !IsDigit(text[i + 2])) return false;
    }
    return true;
}

bool IsDigits(std::string_view text) {
    for (const char c : text) {
        if (!IsDigit(c)) return false;
    }
    return true;
}

// Whether the first two digits of an application identifier begin one:
// the ranges GS1 leaves unassigned do not.
bool BeginsIdentifier(int prefix) {
    return !((prefix >= 5 && prefix <= 9) || prefix == 14 || prefix == 18 || prefix == 19 ||
             (prefix >= 26 && prefix <= 29) || prefix == 38 || (prefix >= 44 && prefix <= 69) ||
             (prefix >= 73 && prefix <= 79) || (prefix >= 83 && prefix <= 89));
}

// The length of the identifier and data of the identifiers that have a
// predefined one (no FNC1 after them), by their first two digits; 0 for
// the others.
size_t PredefinedLength(int prefix) {
    switch (prefix) {
        case 0:
            return 20;
        case 1:
        case 2:
        case 3:
        case 41:
            return 16;
        case 11:
        case 12:
        case 13:
        case 15:
        case 16:
        case 17:
            return 8;
        case 20:
            return 4;
        default:
            return prefix >= 31 && prefix <= 36 ? 10 : 0;
    }
}

// Whether the text parses as application identifiers and their data: each
// begins with the digits of an assigned identifier, those of predefined
// length hold their digits, the others run to a separator or the end.
bool ParsesAsIdentifiers(std::string_view text) {
    size_t p = 0;
    while (p < text.size()) {
        if (text[p] == kFnc1) {
            ++p;
            continue;
        }
        if (p + 2 > text.size() || !IsDigits(text.substr(p, 2))) return false;
        const int prefix = 10 * (text[p] - '0') + (text[p + 1] - '0');
        if (!BeginsIdentifier(prefix)) return false;
        const size_t length = PredefinedLength(prefix);
        if (length > 0) {
            if (p + length > text.size() || !IsDigits(text.substr(p, length))) return false;
            p += length;
        } else {
            const size_t separator = text.find(kFnc1, p);
            p = separator == std::string_view::npos ? text.size() : separator;
        }
    }
    return true;
}

}  // namespace

bool DecodeExpandedData(const BitField& bits, int characters, ElementString& out, bool& linkage) {
    if (bits.Size() < 8) return false;
    linkage = bits.Bit(0);
    // Symbols of either reading of FNC1 in a letter mode are about. Where
    // the readings differ, the one that parses as application identifiers
    // is taken, the later one first.
    ElementString later;
    ElementString earlier;
    const bool laterRead = Decode(bits, characters, true, later) && !later.Failed();
    const bool earlierRead = Decode(bits, characters, false, earlier) && !earlier.Failed();
    if (laterRead && earlierRead && later.View() == earlier.View()) {
        out = later;
        return SeparatorsLeadToIdentifiers(later.View());
    }
    if (laterRead && ParsesAsIdentifiers(later.View())) {
        out = later;
        return true;
    }
    if (earlierRead && ParsesAsIdentifiers(earlier.View())) {
        out = earlier;
        return true;
    }
    return false;
}

}  // namespace zeph::databar
