// The character sets of GS1 DataBar: how a character's element widths carry
// its value. A set is split into groups by the modules its odd elements span;
// within a group the value is built from the ranks of the odd and of the even
// widths (see width_values.h).
#pragma once

#include <cstdint>
#include <span>

namespace zeph::databar {

struct CharacterGroup {
    int32_t base = 0;  // value of the group's first character
    int oddModules = 0;
    int oddWidest = 0;
    int evenWidest = 0;
    int32_t oddCount = 0;  // odd width sequences the group uses
    int32_t evenCount = 0;
};

struct CharacterSet {
    int modules = 0;   // of the whole character
    int elements = 0;  // odd and even together
    // The odd rank is the major digit: value = base + odd * evenCount + even
    // (else base + even * oddCount + odd).
    bool oddMajor = true;
    bool oddNeedsNarrow = false;
    bool evenNeedsNarrow = false;
    std::span<const CharacterGroup> groups;
};

// Omnidirectional, Truncated and Stacked: the outer characters (16 modules)
// and the inner ones (15).
extern const CharacterSet kOmniOuter;
extern const CharacterSet kOmniInner;
// Limited: 26 modules, 14 elements.
extern const CharacterSet kLimitedSet;
// Expanded: 17 modules.
extern const CharacterSet kExpandedSet;

// The value of the widths (in reading order, the first element odd), or -1
// when they are no character of the set.
int32_t CharacterValue(std::span<const int32_t> widths, const CharacterSet& set);

// The widths of the character of this value; false when there is none.
bool CharacterWidths(int32_t value, const CharacterSet& set, std::span<int32_t> out);

// How many values the set holds.
int32_t CharacterCount(const CharacterSet& set);

}  // namespace zeph::databar
