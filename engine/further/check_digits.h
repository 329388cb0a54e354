// The check characters of the further symbologies, each over character values
// (digits 0..9, Code 11's dash 10, Telepen's ASCII 0..127), first character
// first.
#pragma once

#include <cstdint>
#include <span>

namespace zeph::further {

// Code 11's C (weights 1 to 10 from the right) and K (weights 1 to 9) checks:
// the weighted sum modulo 11.
int Code11Check(std::span<const int> values, int cycle);

// MSI's modulo 10 check: every other digit from the rightmost one doubled,
// the digits of the products summed with the others, the sum made up to a
// multiple of 10.
int Mod10Check(std::span<const int> digits);
// MSI's modulo 11 check with the weights 2 to 7 from the right: 0 to 10 (10
// is printed as the two digits "10").
int Mod11Check(std::span<const int> digits);

// The GTIN check digit of the digits before it: weights 3 and 1 from the
// right, the sum made up to a multiple of 10.
int GtinCheck(std::span<const int> digits);

// The 8 check bits of UK Plessey over the data bits (each character's four
// bits least significant first): the remainder of their division by
// x^8 + x^7 + x^6 + x^5 + x^3 + 1, first bit first.
uint32_t PlesseyCrc(std::span<const uint8_t> bits);

// Telepen's check character: what makes the sum of the data characters and
// itself a multiple of 127.
int TelepenCheck(std::span<const int> values);

}  // namespace zeph::further
