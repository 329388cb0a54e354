// GS1 DataBar Expanded as a whole: the finder sequences its lengths fix,
// the check character's count and checksum, on the characters of a symbol
// drawn by an independent encoder.
#include "engine/databar/expanded_symbol.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/databar/characters.h"

namespace {

using namespace zeph::databar;

using Widths = std::array<int8_t, kExpandedCharacterElements>;

// zint's (01)98898765432106(3202)012345(15)991231: eight characters around
// the finders A, C, B and D, each in reading order.
const Widths kCharacters[] = {
    {2, 1, 4, 2, 3, 2, 1, 2}, {3, 1, 1, 1, 2, 2, 4, 3}, {2, 1, 1, 6, 2, 3, 1, 1},
    {1, 2, 1, 6, 3, 2, 1, 1}, {1, 1, 2, 5, 1, 3, 2, 2}, {2, 1, 2, 1, 5, 2, 1, 3},
    {1, 3, 4, 2, 1, 1, 2, 3}, {1, 4, 1, 1, 4, 1, 2, 3},
};
constexpr int32_t kFinders[] = {0, 2, 1, 3};

int32_t ValueOf(const Widths& w) {
    const std::array<int32_t, 8> wide = {w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]};
    return CharacterValue(wide, kExpandedSet);
}

std::vector<ExpandedPair> PairsOf(const Widths* characters, size_t count, const int32_t* finders) {
    std::vector<ExpandedPair> pairs;
    for (size_t c = 0; c < count; c += 2) {
        ExpandedPair p;
        p.finder = finders[c / 2];
        p.odd = (c / 2) % 2 != 0;
        p.leftWidths = characters[c];
        p.left = ValueOf(characters[c]);
        p.hasRight = c + 1 < count;
        if (p.hasRight) {
            p.rightWidths = characters[c + 1];
            p.right = ValueOf(characters[c + 1]);
        }
        pairs.push_back(p);
    }
    return pairs;
}

TEST(ExpandedSymbol, FinderSequencesFollowTheSymbolsLength) {
    // Two pairs: A A; four: A C B D; eleven: A A B B C D D E E F F.
    EXPECT_EQ(FinderInSequence(2, 0), 0);
    EXPECT_EQ(FinderInSequence(2, 1), 0);
    EXPECT_EQ(FinderInSequence(4, 1), 2);
    EXPECT_EQ(FinderInSequence(4, 3), 3);
    EXPECT_EQ(FinderInSequence(11, 5), 3);
    EXPECT_EQ(FinderInSequence(11, 10), 5);
    EXPECT_EQ(FinderInSequence(1, 0), -1);
    EXPECT_EQ(FinderInSequence(12, 0), -1);
    EXPECT_EQ(FinderInSequence(4, 4), -1);
    // Every sequence starts with A.
    for (int pairs = 2; pairs <= kMostPairs; ++pairs)
        EXPECT_EQ(FinderInSequence(pairs, 0), 0);
}

TEST(ExpandedSymbol, TheCheckCharacterCountsTheCharacters) {
    EXPECT_EQ(CharactersOfCheck(0), 4);
    EXPECT_EQ(CharactersOfCheck(210), 4);
    EXPECT_EQ(CharactersOfCheck(913), 8);
    EXPECT_EQ(CharactersOfCheck(211 * 18 + 5), 22);
    EXPECT_EQ(CharactersOfCheck(211 * 19), -1);
    EXPECT_EQ(CharactersOfCheck(-1), -1);
}

TEST(ExpandedSymbol, ASymbolOfAnIndependentEncoderReads) {
    const std::vector<ExpandedPair> pairs = PairsOf(kCharacters, 8, kFinders);
    ElementString text;
    bool linkage = true;
    ASSERT_TRUE(ReadExpandedSymbol(pairs, text, linkage));
    EXPECT_EQ(text.View(), "0198898765432106320201234515991231");
    EXPECT_FALSE(linkage);
}

TEST(ExpandedSymbol, AChangedCharacterOrFinderIsNoSymbol) {
    // Two even elements of the fourth data character swapped: another value, the
    // checksum no longer holds.
    Widths changed[8];
    std::copy(std::begin(kCharacters), std::end(kCharacters), changed);
    std::swap(changed[4][1], changed[4][3]);
    ASSERT_GE(ValueOf(changed[4]), 0);
    ElementString text;
    bool linkage = false;
    EXPECT_FALSE(ReadExpandedSymbol(PairsOf(changed, 8, kFinders), text, linkage));
    // The finders out of their sequence.
    const int32_t swapped[] = {0, 1, 2, 3};
    EXPECT_FALSE(ReadExpandedSymbol(PairsOf(kCharacters, 8, swapped), text, linkage));
    // A pair short, or one character less than the check character counts.
    EXPECT_FALSE(ReadExpandedSymbol(PairsOf(kCharacters, 6, kFinders), text, linkage));
    EXPECT_FALSE(ReadExpandedSymbol(PairsOf(kCharacters, 7, kFinders), text, linkage));
    // A pair read the wrong way round.
    std::vector<ExpandedPair> pairs = PairsOf(kCharacters, 8, kFinders);
    pairs[2].odd = true;
    EXPECT_FALSE(ReadExpandedSymbol(pairs, text, linkage));
    EXPECT_FALSE(ReadExpandedSymbol({}, text, linkage));
}

}  // namespace
