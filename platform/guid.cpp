// Class and interface identifiers: the registry form of a GUID and the
// standard interface identifiers.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com.h"

const IID IID_NULL{};
const IID IID_IUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDispatch{
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory{
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPicture{
    0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
const IID IID_IPictureDisp{
    0x7BF80981, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

namespace {

// Characters between the braces: 8-4-4-4-12 hex digits.
constexpr std::size_t kBareLength = 36;
constexpr std::array<std::size_t, 4> kDashes = {8, 13, 18, 23};

void AppendHex(std::string& out, uint64_t value, int digits) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out += kDigits[(value >> shift) & 0xF];
    }
}

std::optional<unsigned> HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return std::nullopt;
}

bool IsDashPosition(std::size_t pos) {
    for (std::size_t dash : kDashes) {
        if (pos == dash) return true;
    }
    return false;
}

}  // namespace

std::string GuidToString(const GUID& guid) {
    std::string out;
    out.reserve(kBareLength + 2);
    out += '{';
    AppendHex(out, guid.Data1, 8);
    out += '-';
    AppendHex(out, guid.Data2, 4);
    out += '-';
    AppendHex(out, guid.Data3, 4);
    out += '-';
    AppendHex(out, guid.Data4[0], 2);
    AppendHex(out, guid.Data4[1], 2);
    out += '-';
    for (std::size_t i = 2; i < 8; ++i) {
        AppendHex(out, guid.Data4[i], 2);
    }
    out += '}';
    return out;
}

bool GuidFromString(std::string_view text, GUID& guid) {
    const bool opens = !text.empty() && text.front() == '{';
    const bool closes = !text.empty() && text.back() == '}';
    if (opens != closes) return false;
    if (opens) text = text.substr(1, text.size() - 2);
    if (text.size() != kBareLength) return false;

    // The 32 digits read as 16 bytes in text order, then split into fields.
    std::array<uint8_t, 16> bytes{};
    std::size_t nibble = 0;
    for (std::size_t pos = 0; pos < kBareLength; ++pos) {
        if (IsDashPosition(pos)) {
            if (text[pos] != '-') return false;
            continue;
        }
        std::optional<unsigned> digit = HexValue(text[pos]);
        if (!digit) return false;
        uint8_t& byte = bytes[nibble / 2];
        byte = static_cast<uint8_t>((byte << 4) | *digit);
        ++nibble;
    }

    GUID parsed;
    parsed.Data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
                   (uint32_t{bytes[2]} << 8) | bytes[3];
    parsed.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    parsed.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    for (std::size_t i = 0; i < 8; ++i) {
        parsed.Data4[i] = bytes[8 + i];
    }
    guid = parsed;
    return true;
}
