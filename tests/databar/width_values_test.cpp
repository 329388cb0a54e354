// The (n, k) width combinatorics: counts that the character tables of GS1
// DataBar rest on, and ranks that run through every width sequence once.
#include "engine/databar/width_values.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using zeph::databar::CountWidths;
using zeph::databar::ValueOfWidths;
using zeph::databar::WidthRule;
using zeph::databar::WidthsOfValue;

TEST(WidthValues, CountsAreThoseOfTheCharacterGroups) {
    // The width sets of the character groups: four elements of the outer
    // characters of Omnidirectional (161 odd sets of 12 modules, at most 8
    // wide; 34 even sets of 8 modules, at most 5, one of them narrow) ...
    EXPECT_EQ(CountWidths({12, 4, 8, false}), 161);
    EXPECT_EQ(CountWidths({8, 4, 5, true}), 34);
    EXPECT_EQ(CountWidths({12, 4, 8, true}), 126);
    EXPECT_EQ(CountWidths({4, 4, 1, false}), 1);
    // ... and seven elements of Limited (6538 odd sets of 17 modules at most 6
    // wide; 16632 even sets of 19 modules at most 8 wide, one narrow).
    EXPECT_EQ(CountWidths({17, 7, 6, false}), 6538);
    EXPECT_EQ(CountWidths({19, 7, 8, true}), 16632);
    EXPECT_EQ(CountWidths({19, 7, 8, false}), 17094);
}

TEST(WidthValues, ImpossibleRulesHaveNoSequences) {
    EXPECT_EQ(CountWidths({3, 4, 8, false}), 0);   // fewer modules than elements
    EXPECT_EQ(CountWidths({12, 4, 2, false}), 0);  // elements too narrow for the sum
    EXPECT_EQ(CountWidths({8, 4, 8, true}), 34);   // every set of 8 in 4 but 2,2,2,2
    EXPECT_EQ(CountWidths({8, 0, 8, false}), 0);
    EXPECT_EQ(CountWidths({8, 9, 8, false}), 0);
    EXPECT_EQ(CountWidths({40, 4, 8, false}), 0);
}

TEST(WidthValues, RanksRunNarrowerFirstElementByElement) {
    const WidthRule rule{12, 4, 8, false};
    // The first sequence puts the narrowest elements first, the last the
    // widest; the sequences in between count up from the right.
    EXPECT_EQ(ValueOfWidths(std::array{1, 1, 2, 8}, rule), 0);
    EXPECT_EQ(ValueOfWidths(std::array{1, 1, 3, 7}, rule), 1);
    EXPECT_EQ(ValueOfWidths(std::array{1, 1, 8, 2}, rule), 6);
    EXPECT_EQ(ValueOfWidths(std::array{1, 2, 1, 8}, rule), 7);
    EXPECT_EQ(ValueOfWidths(std::array{8, 2, 1, 1}, rule), 160);
    // The narrow rule leaves out the sequences without a single module.
    const WidthRule narrow{8, 4, 5, true};
    EXPECT_EQ(ValueOfWidths(std::array{1, 1, 1, 5}, narrow), 0);
    EXPECT_EQ(ValueOfWidths(std::array{5, 1, 1, 1}, narrow), 33);
}

TEST(WidthValues, WidthsOutsideTheRuleHaveNoValue) {
    const WidthRule narrow{8, 4, 5, true};
    EXPECT_EQ(ValueOfWidths(std::array{2, 2, 2, 2}, narrow), -1);  // no narrow element
    EXPECT_EQ(ValueOfWidths(std::array{1, 1, 1, 6}, narrow), -1);  // wider than 5
    EXPECT_EQ(ValueOfWidths(std::array{1, 1, 1, 4}, narrow), -1);  // 7 modules
    EXPECT_EQ(ValueOfWidths(std::array{1, 1, 6}, narrow), -1);     // three elements
    EXPECT_EQ(ValueOfWidths(std::array{0, 1, 2, 5}, narrow), -1);
}

// Every value names one sequence and every sequence its own value.
TEST(WidthValues, ValuesAndWidthsRoundTrip) {
    const WidthRule rules[] = {{12, 4, 8, false}, {8, 4, 5, true}, {17, 7, 6, false},
                               {13, 7, 4, true},  {9, 4, 6, true}, {11, 4, 8, true}};
    for (const WidthRule& rule : rules) {
        SCOPED_TRACE(testing::Message() << rule.modules << " in " << rule.elements);
        const int64_t count = CountWidths(rule);
        ASSERT_GT(count, 0);
        std::vector<int32_t> widths(static_cast<size_t>(rule.elements));
        for (int32_t v = 0; v < count; ++v) {
            ASSERT_TRUE(WidthsOfValue(v, rule, widths)) << v;
            ASSERT_EQ(ValueOfWidths(widths, rule), v);
        }
        EXPECT_FALSE(WidthsOfValue(static_cast<int32_t>(count), rule, widths));
        EXPECT_FALSE(WidthsOfValue(-1, rule, widths));
    }
}

}  // namespace
