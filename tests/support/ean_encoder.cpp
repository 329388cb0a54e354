#include "tests/support/ean_encoder.h"

#include <algorithm>
#include <stdexcept>

namespace zeph::test {
namespace {

// Set A (L) codes; set B (G) is set C reversed, set C (R) is set A inverted.
constexpr const char* kSetA[10] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                   "0110001", "0101111", "0111011", "0110111", "0001011"};

std::string SetC(int d) {
    std::string code = kSetA[d];
    for (char& c : code)
        c = c == '1' ? '0' : '1';
    return code;
}
std::string SetB(int d) {
    std::string code = SetC(d);
    std::reverse(code.begin(), code.end());
    return code;
}
std::string Left(int d, char parity) {
    return parity == 'e' ? SetB(d) : std::string(kSetA[d]);
}

int Digit(char c) {
    if (c < '0' || c > '9') throw std::invalid_argument("digits only");
    return c - '0';
}

// Left-half parity of EAN-13 by first digit (L = odd, G = even).
constexpr const char* kEan13Parity[10] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                          "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};
// UPC-E digit parity for number system 0, by check digit; system 1 inverts it.
constexpr const char* kUpcEParity[10] = {"EEEOOO", "EEOEOO", "EEOOEO", "EEOOOE", "EOEEOO",
                                         "EOOEEO", "EOOOEE", "EOEOEO", "EOEOOE", "EOOEOE"};
// 5-digit add-on parity by check digit.
constexpr const char* kAddOn5Parity[10] = {"GGLLL", "GLGLL", "GLLGL", "GLLLG", "LGGLL",
                                           "LLGGL", "LLLGG", "LGLGL", "LGLLG", "LLGLG"};

char Lower(char p) {
    return (p == 'L' || p == 'O') ? 'o' : 'e';
}

}  // namespace

std::string Ean13Modules(std::string_view digits) {
    if (digits.size() != 13) throw std::invalid_argument("EAN-13 takes 13 digits");
    const char* parity = kEan13Parity[Digit(digits[0])];
    std::string m = "101";
    for (int i = 1; i <= 6; ++i)
        m += Left(Digit(digits[i]), Lower(parity[i - 1]));
    m += "01010";
    for (int i = 7; i <= 12; ++i)
        m += SetC(Digit(digits[i]));
    return m + "101";
}

std::string Ean8Modules(std::string_view digits) {
    if (digits.size() != 8) throw std::invalid_argument("EAN-8 takes 8 digits");
    std::string m = "101";
    for (int i = 0; i < 4; ++i)
        m += kSetA[Digit(digits[i])];
    m += "01010";
    for (int i = 4; i < 8; ++i)
        m += SetC(Digit(digits[i]));
    return m + "101";
}

std::string UpcEModules(std::string_view digits, std::string_view parity) {
    if (digits.size() != 8) throw std::invalid_argument("UPC-E takes 8 digits");
    std::string word;
    if (parity.empty()) {
        const bool system1 = Digit(digits[0]) == 1;
        for (char p : std::string_view(kUpcEParity[Digit(digits[7])])) {
            const char odd = Lower(p) == 'o' ? 'o' : 'e';
            word += system1 ? (odd == 'o' ? 'e' : 'o') : odd;
        }
    } else {
        word = parity;
    }
    std::string m = "101";
    for (int i = 1; i <= 6; ++i)
        m += Left(Digit(digits[i]), word[i - 1]);
    return m + "010101";
}

std::string SupplementModules(std::string_view digits, std::string_view parity) {
    std::string word;
    if (!parity.empty()) {
        word = parity;
    } else if (digits.size() == 2) {
        const int v = (10 * Digit(digits[0]) + Digit(digits[1])) % 4;
        word = std::string(1, v & 2 ? 'e' : 'o') + (v & 1 ? 'e' : 'o');
    } else if (digits.size() == 5) {
        int sum = 0;
        for (int i = 0; i < 5; ++i)
            sum += Digit(digits[i]) * (i % 2 == 0 ? 3 : 9);
        for (char p : std::string_view(kAddOn5Parity[sum % 10]))
            word += Lower(p);
    } else {
        throw std::invalid_argument("add-ons take 2 or 5 digits");
    }
    std::string m = "1011";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0) m += "01";
        m += Left(Digit(digits[i]), word[i]);
    }
    return m;
}

}  // namespace zeph::test
