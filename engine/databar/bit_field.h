// The bits a DataBar Expanded symbol's data characters carry, twelve a
// character, most significant first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zeph::databar {

class BitField {
  public:
    static constexpr int kMostBits = 21 * 12;

    // Appends the `count` low bits of value; bits beyond kMostBits are dropped.
    void Append(int32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (size_ == kMostBits) return;
            bits_[static_cast<size_t>(size_++)] = static_cast<uint8_t>((value >> i) & 1);
        }
    }
    int Size() const { return size_; }
    bool Bit(int pos) const { return pos >= 0 && pos < size_ && bits_[static_cast<size_t>(pos)]; }
    // The `count` bits from pos as a number, or -1 when they run past the end.
    int32_t Value(int pos, int count) const {
        if (pos < 0 || count < 0 || pos + count > size_) return -1;
        int32_t v = 0;
        for (int i = 0; i < count; ++i)
            v = 2 * v + bits_[static_cast<size_t>(pos + i)];
        return v;
    }

  private:
    std::array<uint8_t, kMostBits> bits_{};
    int size_ = 0;
};

}  // namespace zeph::databar
