#include "engine/core/c_numbers.h"

#include <locale.h>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace zeph {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view SkipBlanks(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    return text.substr(i);
}

}  // namespace

int32_t ParseCInt(std::string_view text) {
    text = SkipBlanks(text);
    bool negative = false;
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate in 64 bits and saturate to the int32 range.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) value = kLimit;
    }
    if (negative) return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min<int64_t>(value, kLimit - 1));
}

float ParseCFloat(std::string_view text) {
    // strtod_l with the "C" locale keeps "." as the decimal point whatever
    // locale the host process has chosen.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string copy(text);
    const double value =
        cLocale ? strtod_l(copy.c_str(), nullptr, cLocale) : std::strtod(copy.c_str(), nullptr);
    constexpr double kMax = std::numeric_limits<float>::max();
    if (std::isfinite(value) && std::fabs(value) > kMax) {
        return value > 0 ? std::numeric_limits<float>::infinity()
                         : -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(value);
}

}  // namespace zeph
