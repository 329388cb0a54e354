#include "engine/databar/general_purpose.h"

#include <cstdint>
#include <string_view>

namespace zeph::databar {
namespace {

enum class Mode { kNumeric, kAlphanumeric, kIso646 };

constexpr int32_t kFnc1Code = 15;    // 5 bits, in both letter modes
constexpr int32_t kFirstDigit = 5;   // 5-bit digits 0 to 9 in both letter modes
constexpr int32_t kLetterLatch = 4;  // 00100: alphanumeric <-> ISO 646
constexpr int32_t kDigitPairBase = 8;
constexpr int32_t kNumericFnc1 = 10;

// Alphanumeric 6-bit values 58 to 62.
constexpr std::string_view kAlphaMarks = "*,-./";
// ISO 646 8-bit values 232 to 252.
constexpr std::string_view kIsoMarks = "!\"%&'()*+,-./:;<=>?_ ";
constexpr int32_t kFirstIsoMark = 232;

bool PutDigit(int32_t d, ElementString& out) {
    return out.Put(d == kNumericFnc1 ? kFnc1 : static_cast<char>('0' + d));
}

// One step of the numeric mode at pos: true with the new position, or the
// mode it latches to; false for a value it does not define.
bool NumericStep(const BitField& bits, int& pos, Mode& mode, ElementString& out, bool& done) {
    const int left = bits.Size() - pos;
    if (left >= 7) {
        const int32_t v = bits.Value(pos, 7);
        if (v >= kDigitPairBase) {
            pos += 7;
            const int32_t pair = v - kDigitPairBase;
            return PutDigit(pair / 11, out) && PutDigit(pair % 11, out);
        }
    } else if (left >= 4) {
        // A last digit in four bits, one more than the digit.
        const int32_t v = bits.Value(pos, 4);
        if (v > 0) {
            done = true;
            return v <= 10 && PutDigit(v - 1, out) && (pos = bits.Size(), true);
        }
    }
    if (left >= 4 && bits.Value(pos, 4) == 0) {
        pos += 4;
        mode = Mode::kAlphanumeric;
        return true;
    }
    done = true;  // padding
    return true;
}

bool LetterStep(const BitField& bits, bool numericAfterFnc1, int& pos, Mode& mode,
                ElementString& out, bool& done) {
    const int32_t five = bits.Value(pos, 5);
    if (five == kFnc1Code) {
        pos += 5;
        if (numericAfterFnc1) mode = Mode::kNumeric;
        return out.Put(kFnc1);
    }
    if (five >= kFirstDigit && five < kFirstDigit + 10) {
        pos += 5;
        return out.Put(static_cast<char>('0' + five - kFirstDigit));
    }
    if (bits.Value(pos, 3) == 0) {
        pos += 3;
        mode = Mode::kNumeric;
        return true;
    }
    if (five == kLetterLatch) {
        pos += 5;
        mode = mode == Mode::kAlphanumeric ? Mode::kIso646 : Mode::kAlphanumeric;
        return true;
    }
    if (mode == Mode::kAlphanumeric) {
        const int32_t six = bits.Value(pos, 6);
        if (six >= 32 && six < 58) {
            pos += 6;
            return out.Put(static_cast<char>('A' + six - 32));
        }
        if (six >= 58 && six < 63) {
            pos += 6;
            return out.Put(kAlphaMarks[static_cast<size_t>(six - 58)]);
        }
    } else {
        const int32_t seven = bits.Value(pos, 7);
        if (seven >= 64 && seven < 90) {
            pos += 7;
            return out.Put(static_cast<char>('A' + seven - 64));
        }
        if (seven >= 90 && seven < 116) {
            pos += 7;
            return out.Put(static_cast<char>('a' + seven - 90));
        }
        const int32_t eight = bits.Value(pos, 8);
        if (eight >= kFirstIsoMark &&
            eight < kFirstIsoMark + static_cast<int32_t>(kIsoMarks.size())) {
            pos += 8;
            return out.Put(kIsoMarks[static_cast<size_t>(eight - kFirstIsoMark)]);
        }
    }
    // Too few bits left for any character: the padding.
    if (five < 0 || (mode == Mode::kIso646 && bits.Value(pos, 8) < 0)) {
        done = true;
        return true;
    }
    return false;
}

}  // namespace

bool DecodeGeneralPurpose(const BitField& bits, int pos, bool numericAfterFnc1,
                          ElementString& out) {
    Mode mode = Mode::kNumeric;
    bool done = false;
    // Every step moves on by at least three bits or ends the field.
    while (!done && pos < bits.Size()) {
        const bool ok = mode == Mode::kNumeric
                            ? NumericStep(bits, pos, mode, out, done)
                            : LetterStep(bits, numericAfterFnc1, pos, mode, out, done);
        if (!ok) return false;
    }
    out.TrimSeparators();
    return !out.Failed();
}

}  // namespace zeph::databar
