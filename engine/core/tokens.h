// Splitting of configuration and pattern strings into tokens.
#pragma once

#include <string_view>

namespace zeph {

// Blank, brackets, parentheses, comma, tab and newline; a run of them is one cut.
inline constexpr std::string_view kSeparators = " [](),\t\n";

// Whether c is one of kSeparators; a test per character instead of a search
// of the set for each (pattern tables run to thousands of characters).
constexpr bool IsSeparator(char c) {
    switch (c) {
        case ' ':
        case '[':
        case ']':
        case '(':
        case ')':
        case ',':
        case '\t':
        case '\n':
            return true;
        default:
            return false;
    }
}

// Calls fn(token) for every non-empty token of text, in order. Stops early and
// returns false when fn returns false.
template <typename Fn>
bool ForEachToken(std::string_view text, Fn&& fn) {
    const size_t n = text.size();
    size_t pos = 0;
    while (true) {
        while (pos < n && IsSeparator(text[pos]))
            ++pos;
        if (pos == n) return true;
        size_t end = pos;
        while (end < n && !IsSeparator(text[end]))
            ++end;
        if (!fn(text.substr(pos, end - pos))) return false;
        pos = end;
    }
}

}  // namespace zeph
