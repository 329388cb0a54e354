// A GS1 element string as the DataBar readers build it: application
// identifiers and their data, FNC1 (the byte 0xFF, as Code 128 reads give
// it) after a field of variable length that another follows. Bounded by
// the longest a DataBar symbol holds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zeph::databar {

inline constexpr char kFnc1 = static_cast<char>(0xFF);

class ElementString {
  public:
    // Data characters (separators not counted) of the longest element
    // string of GS1 DataBar Expanded.
    static constexpr size_t kLongest = 74;
    // With its separators it fits a record's raw data after the leading
    // FNC1.
    static constexpr size_t kCapacity = 98;

    // A separator at the start or after another separates nothing and is
    // left out.
    bool Put(char c) {
        if (c == kFnc1 && (size_ == 0 || text_[size_ - 1] == kFnc1)) return true;
        if (size_ == kCapacity) return Fail();
        if (c != kFnc1 && ++characters_ > kLongest) return Fail();
        text_[size_++] = c;
        return true;
    }
    bool Put(std::string_view s) {
        for (const char c : s) {
            if (!Put(c)) return false;
        }
        return true;
    }
    // `digits` decimal digits of value, leading zeros included.
    bool PutNumber(int64_t value, int digits) {
        if (value < 0 || digits < 1 || digits > 19) return Fail();
        std::array<char, 19> d{};
        for (int i = digits - 1; i >= 0; --i) {
            d[static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
        if (value != 0) return Fail();
        return Put(std::string_view(d.data(), static_cast<size_t>(digits)));
    }
    // Drops separators at the end: a field that ends the string needs none.
    void TrimSeparators() {
        while (size_ > 0 && text_[size_ - 1] == kFnc1)
            --size_;
    }
    bool Failed() const { return failed_; }
    std::string_view View() const { return {text_.data(), size_}; }
    void Clear() { *this = ElementString(); }

  private:
    bool Fail() {
        failed_ = true;
        return false;
    }

    std::array<char, kCapacity> text_{};
    size_t size_ = 0;
    size_t characters_ = 0;
    bool failed_ = false;
};

// The check digit of a GTIN's first 13 digits (the 14th).
int GtinCheckDigit(std::string_view digits13);
// "01", the 13 digits of `value` and their check digit.
bool PutGtin(int64_t value, ElementString& out);

}  // namespace zeph::databar
