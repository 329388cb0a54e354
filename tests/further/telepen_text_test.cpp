// How Telepen's data characters become text: ASCII, digit pairs after a DLE,
// and symbols begun in digit pairs, which nothing marks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/further/telepen_text.h"

namespace {

using namespace zeph::further;

std::vector<int> Values(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(TelepenText, TextReadsAsAscii) {
    TelepenText t;
    ASSERT_TRUE(ReadTelepenText(Values("TELEPEN BARCODE"), false, t));
    EXPECT_EQ(t.Text(), "TELEPEN BARCODE");
    EXPECT_STREQ(t.form, "ASCII");
    // The same characters as digit pairs, for a symbol that was numeric.
    EXPECT_EQ(t.Other(), "574249425342510539385540524142");
}

TEST(TelepenText, DleSwitchesToDigitPairsAndBack) {
    TelepenText t;
    // "AB", DLE, the pairs 12 and 34, DLE, "C".
    ASSERT_TRUE(
        ReadTelepenText(std::vector<int>{'A', 'B', 16, 27 + 12, 27 + 34, 16, 'C'}, false, t));
    EXPECT_EQ(t.Text(), "AB1234C");
    EXPECT_STREQ(t.form, "ASCII, then numeric");
    // A digit followed by X.
    ASSERT_TRUE(ReadTelepenText(std::vector<int>{'A', 16, 17 + 5}, false, t));
    EXPECT_EQ(t.Text(), "A5X");
}

TEST(TelepenText, CharactersThatAreNoTextAreDigitPairsFromTheStart) {
    TelepenText t;
    // zint's numeric 01234567: the pair 01 is a control character in ASCII.
    ASSERT_TRUE(ReadTelepenText(std::vector<int>{27 + 1, 27 + 23, 27 + 45, 27 + 67}, false, t));
    EXPECT_EQ(t.Text(), "01234567");
    EXPECT_STREQ(t.form, "Numeric");
    EXPECT_EQ(t.Other(), "");  // the ASCII reading has a control character
    // 1234 is "'=" in ASCII: punctuation, not text.
    ASSERT_TRUE(ReadTelepenText(std::vector<int>{27 + 12, 27 + 34}, false, t));
    EXPECT_EQ(t.Text(), "1234");
    EXPECT_EQ(t.Other(), "'=");
    // Odd digit counts end with an X pair.
    ASSERT_TRUE(ReadTelepenText(std::vector<int>{27 + 1, 17 + 2}, false, t));
    EXPECT_EQ(t.Text(), "012X");
}

TEST(TelepenText, AsciiWithControlCharactersWhenDigitPairsCannotBe) {
    TelepenText t;
    // A tab cannot be a digit pair; the text keeps it.
    ASSERT_TRUE(ReadTelepenText(std::vector<int>{'A', 9, 'B'}, false, t));
    EXPECT_EQ(t.Text(), "A\tB");
    EXPECT_STREQ(t.form, "ASCII");
    EXPECT_EQ(t.Other(), "");
}

TEST(TelepenText, ANumericLabelIsDigitPairsFromTheStart) {
    TelepenText t;
    // 5678 in digit pairs is "Si" in ASCII: text, so only a numeric label
    // reads it as the digits.
    const std::vector<int> pairs{27 + 56, 27 + 78};
    ASSERT_TRUE(ReadTelepenText(pairs, false, t));
    EXPECT_EQ(t.Text(), "Si");
    EXPECT_EQ(t.Other(), "5678");
    ASSERT_TRUE(ReadTelepenText(pairs, true, t));
    EXPECT_EQ(t.Text(), "5678");
    EXPECT_STREQ(t.form, "Numeric");
    EXPECT_EQ(t.Other(), "Si");
    // A DLE still switches to ASCII.
    ASSERT_TRUE(ReadTelepenText(std::vector<int>{27 + 12, 16, 'C'}, true, t));
    EXPECT_EQ(t.Text(), "12C");
    EXPECT_STREQ(t.form, "Numeric, then ASCII");
    // A value that is no digit pair is no numeric label, whatever ASCII makes of it.
    EXPECT_FALSE(ReadTelepenText(std::vector<int>{'A', 9, 'B'}, true, t));
}

TEST(TelepenText, NulAndTooManyCharactersReadNeitherWay) {
    TelepenText t;
    EXPECT_FALSE(ReadTelepenText(std::vector<int>{'A', 0, 'B'}, false, t));
    EXPECT_FALSE(ReadTelepenText(std::vector<int>(kMostTelepenCharacters + 1, 'A'), false, t));
    EXPECT_TRUE(ReadTelepenText(std::vector<int>(kMostTelepenCharacters, 127 - 1), false, t));
}

}  // namespace
