// Module patterns and parity words of the EAN/UPC family.
#pragma once

#include <array>
#include <string_view>

namespace zeph::ean {

// Symbol characters, entry index = digit value.
inline constexpr std::string_view kLeftOdd =
    "0001101 0011001 0010011 0111101 0100011 0110001 0101111 0111011 0110111 0001011";
inline constexpr std::string_view kLeftEven =
    "0100111 0110011 0011011 0100001 0011101 0111001 0000101 0010001 0001001 0010111";
inline constexpr std::string_view kRight =
    "1110010 1100110 1101100 1000010 1011100 1001110 1010000 1000100 1001000 1110100";
// Odd parity then even parity in one table: entry 10 + d is digit d in even parity.
inline constexpr std::string_view kOddThenEven =
    "0001101 0011001 0010011 0111101 0100011 0110001 0101111 0111011 0110111 0001011 "
    "0100111 0110011 0011011 0100001 0011101 0111001 0000101 0010001 0001001 0010111";

inline constexpr std::string_view kOuterGuard = "101";
inline constexpr std::string_view kCentreGuard = "01010";
inline constexpr std::string_view kUpcEEndGuard = "010101";
inline constexpr std::string_view kSupplementGuard = "1011";
inline constexpr std::string_view kSupplementSeparator = "01";

// Parity of EAN-13 left digits 2 to 6, by first digit.
inline constexpr std::array<std::string_view, 10> kFirstDigitParity = {
    "ooooo", "oeoee", "oeeoe", "oeeeo", "eooee", "eeooe", "eeeoo", "eoeoe", "eoeeo", "eeoeo"};

// Parity of the six UPC-E digits: word v is number system 0 with check digit v
// for v < 10, number system 1 with check digit v - 10 otherwise.
inline constexpr std::array<std::string_view, 20> kUpcEParity = {
    "eeeooo", "eeoeoo", "eeooeo", "eeoooe", "eoeeoo", "eooeeo", "eoooee",
    "eoeoeo", "eoeooe", "eooeoe", "oooeee", "ooeoee", "ooeeoe", "ooeeeo",
    "oeooee", "oeeooe", "oeeeoo", "oeoeoe", "oeoeeo", "oeeoeo"};

// Parity of 2-digit add-ons by check value, and of 5-digit add-ons by check digit.
inline constexpr std::array<std::string_view, 4> kSupplement2Parity = {"oo", "oe", "eo", "ee"};
inline constexpr std::array<std::string_view, 10> kSupplement5Parity = {
    "eeooo", "eoeoo", "eooeo", "eoooe", "oeeoo", "ooeeo", "oooee", "oeoeo", "oeooe", "ooeoe"};

}  // namespace zeph::ean
