// The checksums of GS1 DataBar: every element width of the data characters
// weighted by a power of 3, summed modulo 79 (Omnidirectional and its
// kin), 89 (Limited) or 211 (Expanded), and where each symbol keeps its
// checksum: in the values of its two finders, in a check character of its
// own, or in the first character of the symbol.
#pragma once

#include <cstdint>
#include <span>

namespace zeph::databar {

inline constexpr int kOmniModulus = 79;
inline constexpr int kLimitedModulus = 89;
inline constexpr int kExpandedModulus = 211;

// 3 to the power `exponent`, modulo `modulus`.
int32_t Weight(int32_t modulus, int32_t exponent);

// The widths times the weights from `firstExponent` on, summed modulo
// `modulus`.
int32_t WeightedSum(std::span<const int32_t> widths, int32_t modulus, int32_t firstExponent);

// Omnidirectional: the checksum the values of the left and right finders
// stand for, or -1 for the two pairs no symbol uses.
int32_t OmniChecksumOfFinders(int32_t left, int32_t right);

// Limited: the checksum a check character of these 14 widths stands for, or
// -1 when it is none.
int32_t LimitedChecksumOfCharacter(std::span<const int32_t> widths);
// The widths of the check character for a checksum (0 to 88).
bool LimitedCheckCharacter(int32_t checksum, std::span<int32_t> out);

}  // namespace zeph::databar
