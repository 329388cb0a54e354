// The character sets of GS1 DataBar: their groups fill the value ranges
// without gap, every value has one width pattern, and the widths of
// characters read from real symbols give their values.
#include "engine/databar/characters.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <set>
#include <vector>

namespace {

using namespace zeph::databar;

struct Set {
    const char* name;
    const CharacterSet* set;
    int32_t values;
};

const Set kSets[] = {{"outer", &kOmniOuter, 2841},
                     {"inner", &kOmniInner, 1597},
                     {"Limited", &kLimitedSet, 2013571},
                     {"Expanded", &kExpandedSet, 4192}};

TEST(Characters, GroupsFillTheirValueRanges) {
    for (const Set& s : kSets) {
        SCOPED_TRACE(s.name);
        int32_t next = 0;
        std::set<int> oddModules;
        for (const CharacterGroup& g : s.set->groups) {
            EXPECT_EQ(g.base, next);
            next += g.oddCount * g.evenCount;
            // Each group its own odd modules, all of one parity; the widest
            // odd and even elements leave room for the narrowest others.
            EXPECT_TRUE(oddModules.insert(g.oddModules).second);
            EXPECT_EQ(g.oddModules % 2, s.set->groups[0].oddModules % 2);
            EXPECT_EQ(g.oddWidest + g.evenWidest, 9);
        }
        EXPECT_EQ(next, s.values);
        EXPECT_EQ(CharacterCount(*s.set), s.values);
    }
}

TEST(Characters, EveryValueHasOnePattern) {
    for (const Set& s : kSets) {
        SCOPED_TRACE(s.name);
        std::vector<int32_t> widths(static_cast<size_t>(s.set->elements));
        // Limited has two million values: every 997th of them.
        const int32_t step = s.values > 100000 ? 997 : 1;
        for (int32_t v = 0; v < s.values; v += step) {
            ASSERT_TRUE(CharacterWidths(v, *s.set, widths)) << v;
            ASSERT_EQ(std::accumulate(widths.begin(), widths.end(), 0), s.set->modules) << v;
            ASSERT_EQ(CharacterValue(widths, *s.set), v);
        }
        EXPECT_FALSE(CharacterWidths(s.values, *s.set, widths));
        EXPECT_FALSE(CharacterWidths(-1, *s.set, widths));
    }
}

// Characters of zint's symbols (an independent encoder), in reading order.
TEST(Characters, CharactersOfRealSymbolsReadTheirValues) {
    // GS1 DataBar Omnidirectional of 0950110153001: characters 1 to 4.
    EXPECT_EQ(CharacterValue(std::array{5, 1, 1, 1, 5, 1, 1, 1}, kOmniOuter), 131);
    EXPECT_EQ(CharacterValue(std::array{2, 3, 1, 1, 1, 2, 1, 4}, kOmniInner), 203);
    EXPECT_EQ(CharacterValue(std::array{2, 2, 3, 1, 2, 1, 3, 2}, kOmniOuter), 537);
    EXPECT_EQ(CharacterValue(std::array{1, 3, 2, 1, 3, 1, 1, 3}, kOmniInner), 842);
    // GS1 DataBar Expanded of (01)98898765432106(3202)012345(15)991231: the
    // check character and the first data character.
    EXPECT_EQ(CharacterValue(std::array{2, 1, 4, 2, 3, 2, 1, 2}, kExpandedSet), 913);
    EXPECT_EQ(CharacterValue(std::array{3, 1, 1, 1, 2, 2, 4, 3}, kExpandedSet), 989);
}

TEST(Characters, WidthsOutsideTheSetHaveNoValue) {
    // Odd elements of 11 modules are no group of the outer set.
    EXPECT_EQ(CharacterValue(std::array{5, 1, 1, 1, 4, 2, 1, 1}, kOmniOuter), -1);
    // The right sum in a group whose odd widths allow no wider than 8.
    EXPECT_EQ(CharacterValue(std::array{9, 1, 1, 1, 1, 1, 1, 1}, kOmniOuter), -1);
    // The inner group of 9 odd modules uses 48 odd sets though its rule
    // allows 52: the last ones are no character.
    EXPECT_EQ(CharacterValue(std::array{6, 1, 1, 1, 1, 1, 1, 3}, kOmniInner), -1);
    EXPECT_EQ(CharacterValue(std::array{1, 1, 1, 1}, kOmniInner), -1);
}

}  // namespace
