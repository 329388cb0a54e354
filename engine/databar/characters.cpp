#include "engine/databar/characters.h"

#include <array>

#include "engine/databar/width_values.h"

namespace zeph::databar {
namespace {

constexpr int kMostHalf = 7;  // odd (or even) elements of the widest set

constexpr CharacterGroup kOmniOuterGroups[] = {
    {0, 12, 8, 1, 161, 1},   {161, 10, 6, 3, 80, 10}, {961, 8, 4, 5, 31, 34},
    {2015, 6, 3, 6, 10, 70}, {2715, 4, 1, 8, 1, 126},
};
constexpr CharacterGroup kOmniInnerGroups[] = {
    {0, 5, 2, 7, 4, 84},
    {336, 7, 4, 5, 20, 35},
    {1036, 9, 6, 3, 48, 10},
    {1516, 11, 8, 1, 81, 1},
};
constexpr CharacterGroup kLimitedGroups[] = {
    {0, 17, 6, 3, 6538, 28},        {183064, 13, 5, 4, 875, 728},   {820064, 9, 3, 6, 28, 6454},
    {1000776, 15, 5, 4, 2415, 203}, {1491021, 11, 4, 5, 203, 2408}, {1979845, 19, 8, 1, 17094, 1},
    {1996939, 7, 1, 8, 1, 16632},
};
constexpr CharacterGroup kExpandedGroups[] = {
    {0, 12, 7, 2, 87, 4},     {348, 10, 5, 4, 52, 20}, {1388, 8, 4, 5, 30, 52},
    {2948, 6, 3, 6, 10, 104}, {3988, 4, 1, 8, 1, 204},
};

WidthRule OddRule(const CharacterSet& set, const CharacterGroup& g) {
    return {g.oddModules, set.elements / 2, g.oddWidest, set.oddNeedsNarrow};
}
WidthRule EvenRule(const CharacterSet& set, const CharacterGroup& g) {
    return {set.modules - g.oddModules, set.elements / 2, g.evenWidest, set.evenNeedsNarrow};
}

}  // namespace

const CharacterSet kOmniOuter{16, 8, true, false, true, kOmniOuterGroups};
const CharacterSet kOmniInner{15, 8, false, true, false, kOmniInnerGroups};
const CharacterSet kLimitedSet{26, 14, true, false, true, kLimitedGroups};
const CharacterSet kExpandedSet{17, 8, true, true, false, kExpandedGroups};

int32_t CharacterValue(std::span<const int32_t> widths, const CharacterSet& set) {
    if (widths.size() != static_cast<size_t>(set.elements) || set.elements > 2 * kMostHalf) {
        return -1;
    }
    std::array<int32_t, kMostHalf> odd{};
    std::array<int32_t, kMostHalf> even{};
    const size_t half = widths.size() / 2;
    int oddModules = 0;
    for (size_t i = 0; i < half; ++i) {
        odd[i] = widths[2 * i];
        even[i] = widths[2 * i + 1];
        oddModules += odd[i];
    }
    for (const CharacterGroup& g : set.groups) {
        if (g.oddModules != oddModules) continue;
        const int32_t o = ValueOfWidths(std::span(odd).first(half), OddRule(set, g));
        const int32_t e = ValueOfWidths(std::span(even).first(half), EvenRule(set, g));
        if (o < 0 || e < 0 || o >= g.oddCount || e >= g.evenCount) return -1;
        return set.oddMajor ? g.base + o * g.evenCount + e : g.base + e * g.oddCount + o;
    }
    return -1;
}

bool CharacterWidths(int32_t value, const CharacterSet& set, std::span<int32_t> out) {
    if (out.size() != static_cast<size_t>(set.elements) || set.elements > 2 * kMostHalf) {
        return false;
    }
    for (const CharacterGroup& g : set.groups) {
        const int32_t size = g.oddCount * g.evenCount;
        if (value < g.base || value >= g.base + size) continue;
        const int32_t v = value - g.base;
        const int32_t o = set.oddMajor ? v / g.evenCount : v % g.oddCount;
        const int32_t e = set.oddMajor ? v % g.evenCount : v / g.oddCount;
        const size_t half = out.size() / 2;
        std::array<int32_t, kMostHalf> odd{};
        std::array<int32_t, kMostHalf> even{};
        if (!WidthsOfValue(o, OddRule(set, g), std::span(odd).first(half)) ||
            !WidthsOfValue(e, EvenRule(set, g), std::span(even).first(half))) {
            return false;
        }
        for (size_t i = 0; i < half; ++i) {
            out[2 * i] = odd[i];
            out[2 * i + 1] = even[i];
        }
        return true;
    }
    return false;
}

int32_t CharacterCount(const CharacterSet& set) {
    const CharacterGroup& last = set.groups.back();
    return last.base + last.oddCount * last.evenCount;
}

}  // namespace zeph::databar
