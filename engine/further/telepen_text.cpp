#include "engine/further/telepen_text.h"

#include <string_view>

namespace zeph::further {
namespace {

constexpr int kDle = 16;
// Digit pairs 00 to 99, and a digit followed by X.
constexpr int kFirstPair = 27;
constexpr int kLastPair = 126;
constexpr int kFirstDigitX = 17;

struct Mode {
    bool valid = true;
    bool switched = false;
    bool text = true;  // every ASCII character is a text character
    bool printable = true;
};

bool IsTextCharacter(int v) {
    return (v >= '0' && v <= '9') || (v >= 'A' && v <= 'Z') || (v >= 'a' && v <= 'z') ||
           std::string_view(" -./:").find(static_cast<char>(v)) != std::string_view::npos;
}

// Reads the values starting in one mode into `out` (2 characters a value at
// most).
Mode Read(std::span<const int> values, bool numeric, std::span<char> out, size_t& length) {
    Mode mode;
    length = 0;
    for (const int v : values) {
        if (v <= 0 || v > 127) {
            mode.valid = false;
            return mode;
        }
        if (v == kDle) {
            numeric = !numeric;
            mode.switched = true;
        } else if (!numeric) {
            out[length++] = static_cast<char>(v);
            mode.text = mode.text && IsTextCharacter(v);
            mode.printable = mode.printable && v >= 32 && v < 127;
        } else if (v >= kFirstPair && v <= kLastPair) {
            out[length++] = static_cast<char>('0' + (v - kFirstPair) / 10);
            out[length++] = static_cast<char>('0' + (v - kFirstPair) % 10);
        } else if (v >= kFirstDigitX && v < kFirstPair) {
            out[length++] = static_cast<char>('0' + (v - kFirstDigitX));
            out[length++] = 'X';
        } else {
            mode.valid = false;
            return mode;
        }
    }
    return mode;
}

}  // namespace

bool ReadTelepenText(std::span<const int> values, bool numericLabel, TelepenText& out) {
    if (values.size() > kMostTelepenCharacters) return false;
    size_t asciiLength = 0;
    size_t numericLength = 0;
    const Mode ascii = Read(values, false, out.text, asciiLength);
    const Mode numeric = Read(values, true, out.other, numericLength);
    const bool asAscii = !numericLabel && ascii.valid && (ascii.text || !numeric.valid);
    if (!asAscii && !numeric.valid) return false;
    if (asAscii) {
        out.length = asciiLength;
        out.form = ascii.switched ? "ASCII, then numeric" : "ASCII";
        // The digit-pair reading, when there is one, is the other.
        out.otherLength = numeric.valid ? numericLength : 0;
        out.otherNumeric = true;
    } else {
        // The readings trade places: the text is the digit-pair one.
        out.text.swap(out.other);
        out.length = numericLength;
        out.form = numeric.switched ? "Numeric, then ASCII" : "Numeric";
        out.otherLength = ascii.valid && ascii.printable ? asciiLength : 0;
        out.otherNumeric = false;
    }
    return true;
}

}  // namespace zeph::further
