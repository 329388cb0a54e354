#include "engine/databar/element_string.h"

namespace zeph::databar {

namespace {
constexpr int kGtinDigits = 13;
}

int GtinCheckDigit(std::string_view digits13) {
    int sum = 0;
    // Weights 3 and 1 from the right, the rightmost digit weighted 3.
    for (size_t i = 0; i < digits13.size(); ++i) {
        const int d = digits13[digits13.size() - 1 - i] - '0';
        sum += (i % 2 == 0 ? 3 : 1) * d;
    }
    return (10 - sum % 10) % 10;
}

bool PutGtin(int64_t value, ElementString& out) {
    ElementString digits;
    if (!digits.PutNumber(value, kGtinDigits)) return false;
    return out.Put("01") && out.Put(digits.View()) &&
           out.Put(static_cast<char>('0' + GtinCheckDigit(digits.View())));
}

}  // namespace zeph::databar
