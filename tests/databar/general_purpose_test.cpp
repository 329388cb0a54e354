// The general-purpose field of GS1 DataBar Expanded, bit by bit as the
// standard lays its three modes out.
#include "engine/databar/general_purpose.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/databar/bits.h"

namespace {

using namespace zeph::databar;
using zeph::test::Bits;

const std::string kF(1, kFnc1);

// The field's text, or "<refused>".
std::string Decode(std::string_view bits, bool numericAfterFnc1 = true) {
    ElementString out;
    if (!DecodeGeneralPurpose(Bits(bits), 0, numericAfterFnc1, out)) return "<refused>";
    return std::string(out.View());
}

TEST(GeneralPurpose, NumericPacksTwoDigitsInSevenBits) {
    // 8 + 11 * first + second: "12" is 21, "34" is 45.
    EXPECT_EQ(Decode("0010101 0101101"), "1234");
    // A digit and FNC1 (the eleventh value): "1", FNC1 is 29.
    EXPECT_EQ(Decode("0011101 0100001"), "1" + kF + "23");
    // A last digit with fewer than seven bits left takes four: the digit + 1.
    EXPECT_EQ(Decode("0010101 0100"), "123");
    EXPECT_EQ(Decode("0010101 0001"), "120");
}

TEST(GeneralPurpose, LatchesSwitchModes) {
    // Numeric 0000 to alphanumeric: A (32), the digit 5 (10), * (58).
    EXPECT_EQ(Decode("0000 100000 01010 111010"), "A5*");
    // Alphanumeric 000 back to numeric.
    EXPECT_EQ(Decode("0000 100001 000 0010101"), "B12");
    // Alphanumeric 00100 to ISO 646: a (90 in 7 bits), ! (232 in 8), 7 (12).
    EXPECT_EQ(Decode("0000 00100 1011010 11101000 01100"), "a!7");
    // ISO 646 00100 back to alphanumeric.
    EXPECT_EQ(Decode("0000 00100 1011011 00100 100010"), "bC");
}

TEST(GeneralPurpose, FnC1InALetterModeReturnsToNumericOrNot) {
    // A, FNC1 (15), then "12" in numeric: the standard's later editions.
    EXPECT_EQ(Decode("0000 100000 01111 0010101"), "A" + kF + "12");
    // Earlier encoders stayed in alphanumeric: 1 (6) and 2 (7).
    EXPECT_EQ(Decode("0000 100000 01111 00110 00111", false), "A" + kF + "12");
}

TEST(GeneralPurpose, PaddingEndsTheField) {
    // After the data, a latch and 00100 repeated, however many bits are left.
    EXPECT_EQ(Decode("0010101 0000 00100 00100"), "12");
    EXPECT_EQ(Decode("0010101 0000 00100 001"), "12");
    EXPECT_EQ(Decode("0010101 000"), "12");
    // A trailing FNC1 separates nothing.
    EXPECT_EQ(Decode("0011101"), "1");
    EXPECT_EQ(Decode(""), "");
}

TEST(GeneralPurpose, ValuesNoModeDefinesAreRefused) {
    EXPECT_EQ(Decode("0000 111111"), "<refused>");          // alphanumeric 63
    EXPECT_EQ(Decode("0010101 1111"), "<refused>");         // a last digit of 15 - 1
    EXPECT_EQ(Decode("0000 00100 11111111"), "<refused>");  // ISO 646 255
}

TEST(ElementString, HoldsNoMoreThanTheLongestDataBarElementString) {
    ElementString s;
    for (size_t i = 0; i < ElementString::kLongest; ++i)
        ASSERT_TRUE(s.Put('1'));
    EXPECT_FALSE(s.Put('2'));
    EXPECT_TRUE(s.Failed());
    EXPECT_EQ(s.View().size(), ElementString::kLongest);
    // Separators do not count, but are not put twice or first.
    ElementString t;
    EXPECT_TRUE(t.Put(kFnc1));
    EXPECT_TRUE(t.Put("10AB"));
    EXPECT_TRUE(t.Put(kFnc1));
    EXPECT_TRUE(t.Put(kFnc1));
    EXPECT_EQ(t.View(), "10AB" + kF);
    t.TrimSeparators();
    EXPECT_EQ(t.View(), "10AB");
    EXPECT_TRUE(t.PutNumber(42, 4));
    EXPECT_EQ(t.View(), "10AB0042");
    EXPECT_FALSE(t.PutNumber(12345, 4));
}

TEST(ElementString, GtinsGetTheirCheckDigit) {
    EXPECT_EQ(GtinCheckDigit("9001234567890"), 8);
    EXPECT_EQ(GtinCheckDigit("0950110153000"), 3);
    EXPECT_EQ(GtinCheckDigit("0000000000000"), 0);
    ElementString s;
    ASSERT_TRUE(PutGtin(950110153001, s));
    EXPECT_EQ(s.View(), "0109501101530010");
}

}  // namespace
