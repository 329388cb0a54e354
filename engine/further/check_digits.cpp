#include "engine/further/check_digits.h"

#include <cstddef>

namespace zeph::further {

int Code11Check(std::span<const int> values, int cycle) {
    int sum = 0;
    int weight = 1;
    for (size_t i = values.size(); i-- > 0;) {
        sum += weight * values[i];
        weight = weight == cycle ? 1 : weight + 1;
    }
    return sum % 11;
}

int Mod10Check(std::span<const int> digits) {
    int sum = 0;
    bool doubled = true;
    for (size_t i = digits.size(); i-- > 0;) {
        const int d = doubled ? 2 * digits[i] : digits[i];
        sum += d / 10 + d % 10;
        doubled = !doubled;
    }
    return (10 - sum % 10) % 10;
}

int Mod11Check(std::span<const int> digits) {
    int sum = 0;
    int weight = 2;
    for (size_t i = digits.size(); i-- > 0;) {
        sum += weight * digits[i];
        weight = weight == 7 ? 2 : weight + 1;
    }
    return (11 - sum % 11) % 11;
}

int GtinCheck(std::span<const int> digits) {
    int sum = 0;
    bool triple = true;
    for (size_t i = digits.size(); i-- > 0;) {
        sum += triple ? 3 * digits[i] : digits[i];
        triple = !triple;
    }
    return (10 - sum % 10) % 10;
}

uint32_t PlesseyCrc(std::span<const uint8_t> bits) {
    // The divisor's bits below x^8, as a shift register fed bit by bit.
    constexpr uint32_t kDivisor = 0b1110'1001;
    uint32_t remainder = 0;
    for (const uint8_t bit : bits) {
        const bool top = ((remainder >> 7) & 1) != (bit & 1);
        remainder = (remainder << 1) & 0xFF;
        if (top) remainder ^= kDivisor;
    }
    return remainder;
}

int TelepenCheck(std::span<const int> values) {
    int sum = 0;
    for (const int v : values)
        sum += v;
    return (127 - sum % 127) % 127;
}

}  // namespace zeph::further
