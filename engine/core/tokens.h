// Splitting of configuration and pattern strings into tokens.
#pragma once

#include <string_view>

namespace zeph {

// Blank, brackets, parentheses, comma, tab and newline; a run of them is one cut.
inline constexpr std::string_view kSeparators = " [](),\t\n";

// Calls fn(token) for every non-empty token of text, in order. Stops early and
// returns false when fn returns false.
template <typename Fn>
bool ForEachToken(std::string_view text, Fn&& fn) {
    size_t pos = text.find_first_not_of(kSeparators);
    while (pos != std::string_view::npos) {
        size_t end = text.find_first_of(kSeparators, pos);
        if (end == std::string_view::npos) end = text.size();
        if (!fn(text.substr(pos, end - pos))) return false;
        pos = text.find_first_not_of(kSeparators, end);
    }
    return true;
}

}  // namespace zeph
