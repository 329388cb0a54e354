// Edges of a line's signal and the element widths of characters, finders
// and guards measured from them: whole modules recovered through ink
// spread, perspective and blur, and shapes that fit nothing refused.
#include "engine/databar/edges.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/databar/characters.h"
#include "engine/databar/finders.h"
#include "engine/databar/guards.h"
#include "tests/databar/element_signals.h"

namespace {

using namespace zeph::databar;
using zeph::test::DrawElements;
using zeph::test::EdgesOf;
using zeph::test::ElementDrawing;

TEST(EdgeList, EdgesLieWhereTheSignalCrossesZero) {
    // Bars over samples 2-4 and 7-8, each edge halfway between two samples.
    ScanSignalPtr s = XR_NewScanSignal(11, 1, 1, 0.5f, 1);
    const float samples[] = {1, 1, -1, -1, -1, 1, 1, -1, -1, 1, 1};
    std::copy(std::begin(samples), std::end(samples), s->samples.get());
    XR_FindBars(*s);
    const EdgeList list = EdgesOf(*s);
    ASSERT_EQ(list.Count(), 5);  // space, bar, space, bar, space
    EXPECT_DOUBLE_EQ(list.Edge(0), 0);
    EXPECT_NEAR(list.Edge(1), 1.5, 1e-9);
    EXPECT_NEAR(list.Edge(2), 4.5, 1e-9);
    EXPECT_NEAR(list.Edge(3), 6.5, 1e-9);
    EXPECT_NEAR(list.Edge(4), 8.5, 1e-9);
    EXPECT_DOUBLE_EQ(list.Edge(5), 11);
    EXPECT_TRUE(EdgeList::IsBar(1));
    EXPECT_FALSE(EdgeList::IsBar(2));

    EdgeList reversed;
    ASSERT_TRUE(reversed.Reverse(list));
    EXPECT_TRUE(reversed.Reversed());
    ASSERT_EQ(reversed.Count(), list.Count());
    for (int32_t i = 0; i < list.Count(); ++i)
        EXPECT_NEAR(reversed.Width(i), list.Width(list.Count() - 1 - i), 1e-9);
}

TEST(EdgeList, ABarOpenAtTheEndAndADarkStartAreNoElements) {
    ScanSignalPtr s = XR_NewScanSignal(6, 1, 1, 0.5f, 1);
    const float samples[] = {-1, -1, 1, -1, 1, -1};
    std::copy(std::begin(samples), std::end(samples), s->samples.get());
    XR_FindBars(*s);
    const EdgeList list = EdgesOf(*s);
    // The space from the dark start's end, the one bar, the space to the end.
    EXPECT_EQ(list.Count(), 3);
    EXPECT_DOUBLE_EQ(list.Edge(0), 2);
}

// Every character of a set drawn in a symbol-like setting (a finder-sized
// bar before it, one after), measured from its first element.
void ExpectCharactersMeasured(const CharacterSet& set, const ElementDrawing& drawing, int step) {
    const CharacterShape shape{set.elements, set.modules, 8};
    std::vector<int32_t> widths(static_cast<size_t>(set.elements));
    int measured = 0;
    for (int32_t v = 0; v < CharacterCount(set); v += step) {
        ASSERT_TRUE(CharacterWidths(v, set, widths));
        // A bar of 3 before the character (which begins with a space), a
        // bar of 2 after it.
        std::vector<int32_t> elements = {3};
        elements.insert(elements.end(), widths.begin(), widths.end());
        elements.push_back(2);
        const ScanSignalPtr signal = DrawElements(elements, drawing);
        const EdgeList list = EdgesOf(*signal);
        Measured m;
        ASSERT_TRUE(MeasureCharacter(list, 2, shape, drawing.inkSpread, m)) << v;
        EXPECT_EQ(CharacterValue(m.Widths(), set), v);
        EXPECT_LT(m.residual, 0.25) << v;
        ++measured;
    }
    EXPECT_GT(measured, 0);
}

TEST(MeasureCharacter, RecoversWholeModulesOfCrispCharacters) {
    ExpectCharactersMeasured(kOmniOuter, {}, 7);
    ExpectCharactersMeasured(kOmniInner, {}, 5);
    ExpectCharactersMeasured(kExpandedSet, {}, 11);
    ExpectCharactersMeasured(kLimitedSet, {}, 20011);
}

TEST(MeasureCharacter, EdgeToEdgeSumsCancelInkSpread) {
    for (const double spread : {-0.45, -0.3, 0.3, 0.45}) {
        SCOPED_TRACE(spread);
        ElementDrawing d;
        d.inkSpread = spread;
        ExpectCharactersMeasured(kExpandedSet, d, 37);
        // The spread unknown: the sums alone still hold within half a module.
        d.samplesPerModule = 3;
        ExpectCharactersMeasured(kOmniOuter, d, 29);
    }
}

TEST(MeasureCharacter, HoldsAtFewSamplesWithBlurAndPerspective) {
    ElementDrawing d;
    d.samplesPerModule = 2.5;
    d.blurSigma = 0.6;
    ExpectCharactersMeasured(kOmniInner, d, 13);
    d.samplesPerModule = 4;
    d.growth = 0.25;
    ExpectCharactersMeasured(kExpandedSet, d, 41);
}

TEST(MeasureCharacter, RefusesWidthsThatMakeNoCharacter) {
    const CharacterShape shape{8, 17, 8};
    // Eight elements of 17 modules, one of them 9 wide: the solutions the
    // edge-to-edge sums leave put an element outside 1 to 8.
    const ScanSignalPtr tooWide = DrawElements({3, 1, 9, 1, 1, 1, 1, 1, 2, 2});
    Measured m;
    EXPECT_FALSE(MeasureCharacter(EdgesOf(*tooWide), 2, shape, 0, m));
    // Eight elements of 16 modules taken for 14: their pairs add up to two
    // modules more than the character has, beyond any rounding.
    const ScanSignalPtr longer = DrawElements({3, 2, 2, 2, 2, 2, 2, 2, 2, 2});
    EXPECT_FALSE(MeasureCharacter(EdgesOf(*longer), 2, {8, 14, 8}, 0, m));
    // Too few elements left on the list, or none before it.
    const EdgeList list = EdgesOf(*DrawElements({3, 2, 2, 2, 2, 2, 3, 2, 2, 2}));
    EXPECT_TRUE(MeasureCharacter(list, 2, shape, 0, m));
    EXPECT_FALSE(MeasureCharacter(list, list.Count() - 4, shape, 0, m));
    EXPECT_FALSE(MeasureCharacter(list, -1, shape, 0, m));
}

struct FinderCase {
    std::span<const FinderShape> table;
    const char* name;
};

TEST(MatchFinder, FindsEveryFinderAsItIsAndMirrored) {
    const FinderCase tables[] = {{kOmniFinders, "Omnidirectional"}, {kExpandedFinders, "Expanded"}};
    for (const FinderCase& t : tables) {
        for (size_t v = 0; v < t.table.size(); ++v) {
            const FinderShape& f = t.table[v];
            for (const bool mirrored : {false, true}) {
                SCOPED_TRACE(testing::Message() << t.name << " " << v << " " << mirrored);
                // A bar, then the finder from a space (as it is) or from a
                // bar (mirrored), then two more elements.
                std::vector<int32_t> elements = {2};
                if (mirrored) elements.push_back(1);
                const std::array<int32_t, 5> shape = {f[0], f[1], f[2], 1, 1};
                if (mirrored) {
                    elements.insert(elements.end(), shape.rbegin(), shape.rend());
                } else {
                    elements.insert(elements.end(), shape.begin(), shape.end());
                }
                elements.insert(elements.end(), {2, 2, 2});
                ElementDrawing d;
                d.inkSpread = 0.25;
                const EdgeList list = EdgesOf(*DrawElements(elements, d));
                const int32_t at = mirrored ? 3 : 2;
                FinderMatch match;
                ASSERT_TRUE(MatchFinder(list, at, mirrored, t.table, match));
                EXPECT_EQ(match.value, static_cast<int32_t>(v));
                EXPECT_NEAR(match.inkSpread, 0.25, 0.1);
                EXPECT_NEAR(match.module, d.samplesPerModule, 0.3);
                EXPECT_FALSE(MatchFinder(list, at, !mirrored, t.table, match));
            }
        }
    }
}

TEST(MatchFinder, RefusesShapesOfNoFinder) {
    // (3, 3, 3, 3, 3): no single modules at its end.
    const EdgeList even = EdgesOf(*DrawElements({2, 3, 3, 3, 3, 3, 2, 2}));
    FinderMatch match;
    EXPECT_FALSE(MatchFinder(even, 2, false, kOmniFinders, match));
    // (4, 4, 5, 1, 1) is no finder of Omnidirectional: every one of them
    // has an element of 1 to 3 first and its sums lie a module off.
    const EdgeList near = EdgesOf(*DrawElements({2, 6, 4, 2, 1, 1, 2, 2}));
    EXPECT_FALSE(MatchFinder(near, 2, false, kOmniFinders, match));
    EXPECT_FALSE(MatchFinder(near, 0, false, kOmniFinders, match));
}

TEST(Guards, OpenAndCloseRowsWithTheirSingleModules) {
    // Paper, the guard's bar, a character beginning with a space of 2; at
    // the end a character ending with a bar of 3, then a space and a bar of
    // one module each and paper.
    const std::vector<int32_t> elements = {1, 2, 4, 1, 3, 1, 1, 3};
    const EdgeList list = EdgesOf(*DrawElements(elements));
    const double m = 4;  // samples per module
    int32_t outer = 0;
    EXPECT_TRUE(OpeningGuard(list, 2, m, 2, outer));
    EXPECT_EQ(outer, 1);
    EXPECT_FALSE(OpeningGuard(list, 2, m, 1, outer));  // the character's first space is not 1
    EXPECT_TRUE(ClosingGuard(list, 6, m, 3, outer));   // after elements 2..5 (bar 3 last)
    EXPECT_EQ(outer, 7);
    // A bar of 3 is no guard bar.
    const EdgeList wide = EdgesOf(*DrawElements({3, 2, 4, 1, 3}));
    EXPECT_FALSE(OpeningGuard(wide, 2, m, 2, outer));
}

}  // namespace
