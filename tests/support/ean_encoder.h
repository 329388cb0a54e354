// Module strings of EAN/UPC symbols, written from the symbologies' public
// encoding rules, for rendering test signals.
#pragma once

#include <string>
#include <string_view>

namespace zeph::test {

// 13 digits, first digit chosen by the parity of the left half.
std::string Ean13Modules(std::string_view digits);
// 8 digits.
std::string Ean8Modules(std::string_view digits);
// 8 digits: number system, six symbol digits, check digit. The parity word
// (six letters of "o"/"e") may be forced to draw a faulty symbol.
std::string UpcEModules(std::string_view digits, std::string_view parity = {});
// 2 or 5 digits; the parity word may be forced likewise.
std::string SupplementModules(std::string_view digits, std::string_view parity = {});

// An add-on placed after a main symbol with the usual gap of light modules.
inline std::string WithAddOn(const std::string& main, const std::string& addOn, int gap = 9) {
    return main + std::string(static_cast<size_t>(gap), '0') + addOn;
}

}  // namespace zeph::test
