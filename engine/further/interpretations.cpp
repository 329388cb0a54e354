#include "engine/further/interpretations.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "engine/further/check_digits.h"

namespace zeph::further {
namespace {

// Code 32 writes its number in base 32 with these characters (no vowels).
constexpr std::string_view kBase32 = "0123456789BCDFGHJKLMNPQRSTUVWXYZ";
constexpr size_t kCode32Characters = 6;
constexpr size_t kCode32Digits = 9;

bool AllDigits(std::string_view text) {
    return text.find_first_not_of("0123456789") == std::string_view::npos;
}

template <size_t N>
std::array<int, N> DigitsOf(std::string_view text) {
    std::array<int, N> digits{};
    for (size_t i = 0; i < N; ++i)
        digits[i] = text[i] - '0';
    return digits;
}

void Write(MatchRecord& record, std::string_view data, std::string_view type,
           std::string_view descriptor) {
    XR_SetText(record.data, data);
    XR_SetText(record.barcodeType, type);
    XR_SetText(record.descriptor, descriptor);
}

// The check digit of Code 32's first eight digits: the digits in odd places
// as they are, those in even places doubled with their digits summed.
int Code32Check(std::span<const int> digits) {
    int sum = 0;
    for (size_t i = 0; i < digits.size(); ++i) {
        const int d = i % 2 == 1 ? 2 * digits[i] : digits[i];
        sum += d / 10 + d % 10;
    }
    return sum % 10;
}

}  // namespace

bool InterpretCode32(MatchRecord& record) {
    const std::string_view raw = XR_TextOf(record.rawData);
    if (raw.size() != kCode32Characters || XR_TextOf(record.data) != raw) return false;
    uint64_t value = 0;
    for (const char c : raw) {
        const size_t digit = kBase32.find(c);
        if (digit == std::string_view::npos) return false;
        value = value * kBase32.size() + digit;
    }
    // Nine decimal digits, leading zeros included.
    std::array<char, kCode32Digits> digits{};
    std::array<int, kCode32Digits> d{};
    for (size_t i = kCode32Digits; i-- > 0; value /= 10) {
        d[i] = static_cast<int>(value % 10);
        digits[i] = static_cast<char>('0' + d[i]);
    }
    if (value != 0) return false;
    if (Code32Check(std::span<const int>(d).first(kCode32Digits - 1)) != d.back()) return false;
    Write(record, {digits.data(), digits.size()}, "Code 32",
          "Italian pharmaceutical product code (AIC)");
    return true;
}

bool InterpretPzn(MatchRecord& record) {
    const std::string_view raw = XR_TextOf(record.rawData);
    if (raw.size() < 2 || raw.front() != '-' || XR_TextOf(record.data) != raw) return false;
    const std::string_view number = raw.substr(1);
    if (!AllDigits(number)) return false;
    // The eight-digit number weighs its first seven digits 1 to 7, the older
    // seven-digit one its first six 2 to 7; the sum modulo 11 is the check
    // digit (numbers whose sum leaves 10 are not issued).
    int first = 0;
    std::string_view form;
    if (number.size() == 8) {
        first = 1;
        form = "German pharmaceutical product number (PZN8)";
    } else if (number.size() == 7) {
        first = 2;
        form = "German pharmaceutical product number (PZN7)";
    } else {
        return false;
    }
    int sum = 0;
    for (size_t i = 0; i + 1 < number.size(); ++i)
        sum += (first + static_cast<int>(i)) * (number[i] - '0');
    if (sum % 11 != number.back() - '0') return false;
    Write(record, number, "Pharmazentralnummer", form);
    return true;
}

bool InterpretItf14(MatchRecord& record) {
    const std::string_view raw = XR_TextOf(record.rawData);
    constexpr size_t kDigits = 14;
    if (raw.size() != kDigits || !AllDigits(raw)) return false;
    const auto d = DigitsOf<kDigits>(raw);
    if (GtinCheck(std::span<const int>(d).first(kDigits - 1)) != d.back()) return false;
    Write(record, raw, "ITF-14", "Global Trade Item Number (GTIN-14)");
    // The first digit tells the packaging level of the trade item.
    if (d[0] == 9) {
        XR_AppendText(record.descriptor, ", variable measure");
    } else if (d[0] > 0) {
        XR_AppendText(record.descriptor, ", packaging level ");
        XR_AppendText(record.descriptor, raw.substr(0, 1));
    }
    return true;
}

void Interpret(std::span<MatchRecord> records, int32_t protocolMask) {
    const auto on = [protocolMask](int32_t base, int32_t bit) {
        return (protocolMask & base) && (protocolMask & bit);
    };
    for (MatchRecord& r : records) {
        const std::string_view symbology = XR_TextOf(r.symbology);
        if (symbology == "CODE-39") {
            if (on(kCode39, kCode32) && InterpretCode32(r)) continue;
            if (on(kCode39, kPzn)) InterpretPzn(r);
        } else if (symbology == "Interleaved 2 of 5") {
            if (on(kInterleaved2of5, kItf14)) InterpretItf14(r);
        }
    }
}

}  // namespace zeph::further
