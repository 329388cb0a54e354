// The (n, k) width combinatorics of GS1 DataBar characters. A character's
// value is carried by the widths of its odd and of its even elements: k
// elements spanning n modules, each 1 to `widest` modules wide, and for some
// groups at least one of them a single module. The value of a width sequence
// is its rank among all such sequences ordered element by element, narrower
// first.
#pragma once

#include <cstdint>
#include <span>

namespace zeph::databar {

// Most elements and modules a width sequence of any DataBar character has.
inline constexpr int kMostElements = 8;
inline constexpr int kMostModules = 32;

struct WidthRule {
    int modules = 0;   // n
    int elements = 0;  // k
    int widest = 0;    // widest element, in modules
    bool needsNarrow = false;
};

// How many sequences the rule allows; 0 for a rule out of range.
int64_t CountWidths(const WidthRule& rule);

// The rank of the widths under the rule, or -1 when the rule does not allow
// them (wrong count or sum, an element out of range, no narrow one).
int32_t ValueOfWidths(std::span<const int32_t> widths, const WidthRule& rule);

// The widths of rank `value` under the rule into out (rule.elements entries);
// false when the value is out of range.
bool WidthsOfValue(int32_t value, const WidthRule& rule, std::span<int32_t> out);

}  // namespace zeph::databar
