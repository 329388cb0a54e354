// Every encodation method of GS1 DataBar Expanded, its bits written out as
// the standard lays them: the method's prefix, the length field, the
// compressed GTIN, weights, prices, currencies and dates, and the
// general-purpose field behind them.
#include "engine/databar/encodation.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/databar/bits.h"

namespace {

using namespace zeph::databar;
using zeph::test::Bits;

// `width` bits of value, most significant first.
std::string N(int64_t value, int width) {
    std::string s;
    for (int i = width - 1; i >= 0; --i)
        s += ((value >> i) & 1) ? '1' : '0';
    return s;
}

// The twelve digits after a GTIN's first, in four groups of ten bits.
std::string Groups(int a, int b, int c, int d) {
    return N(a, 10) + N(b, 10) + N(c, 10) + N(d, 10);
}

// Bits padded to whole 12-bit characters as an encoder pads them: a latch
// out of numeric where the data ends in it, then 00100 repeated.
std::string Padded(std::string bits, bool numeric = false) {
    if (numeric && bits.size() % 12 != 0) bits += "0000";
    for (size_t i = 0; bits.size() % 12 != 0; ++i)
        bits += "00100"[i % 5];
    while (bits.size() % 12 != 0)
        bits.pop_back();
    return bits;
}

struct Decoded {
    bool ok = false;
    std::string text;
    bool linkage = false;
};

Decoded Decode(const std::string& bits, int characters) {
    Decoded d;
    ElementString out;
    d.ok = DecodeExpandedData(Bits(bits), characters, out, d.linkage);
    d.text = out.View();
    return d;
}

const std::string kF(1, kFnc1);

TEST(Encodation, MethodOneCompressesAnyGtinBeforeTheGeneralField) {
    // Linkage 0, method 1, length field, indicator 0, 950 110 153 000, then
    // "10" in numeric and ABC in alphanumeric: 77 bits, seven data
    // characters and the check character, an even number up to 14.
    const std::string bits = Padded(
        "0"
        "1"
        "00" +
        N(0, 4) + Groups(950, 110, 153, 0) +
        "0010011"
        "0000"
        "100000"
        "100001"
        "100010");
    ASSERT_EQ(bits.size(), 84u);
    const Decoded d = Decode(bits, 8);
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.text, "010950110153000310ABC");
    EXPECT_FALSE(d.linkage);
    // The length field must say what the symbol is: an odd count, or more
    // than 14 characters.
    EXPECT_FALSE(Decode(bits, 9).ok);
    EXPECT_FALSE(Decode(bits, 16).ok);
    // An indicator above 9 or a group above 999 is no GTIN.
    EXPECT_FALSE(Decode(Padded("0100" + N(10, 4) + Groups(950, 110, 153, 0)), 6).ok);
    EXPECT_FALSE(Decode(Padded("0100" + N(1, 4) + Groups(950, 1000, 153, 0)), 6).ok);
}

TEST(Encodation, MethodZeroZeroIsTheGeneralFieldAlone) {
    // Linkage set: a composite component goes with the symbol. "10" and
    // "23" in numeric, A in alphanumeric, FNC1, "21" and "45" in numeric.
    const std::string bits =
        "1"
        "00"
        "10"
        "0010011"
        "0100001"
        "0000"
        "100000"
        "01111"
        "0011111"
        "0111001";
    ASSERT_EQ(bits.size(), 48u);
    const Decoded d = Decode(bits, 5);
    ASSERT_TRUE(d.ok);
    EXPECT_TRUE(d.linkage);
    EXPECT_EQ(d.text, "1023A" + kF + "2145");
}

TEST(Encodation, WeightMethodsCarryAiThreeOneZeroThreeAndThreeTwoZeroX) {
    // GTIN 9 001234567890 (check digit 8), weight 1750 in 15 bits.
    const std::string gtin = Groups(1, 234, 567, 890);
    EXPECT_EQ(Decode("0"
                     "0100" +
                         gtin + N(1750, 15),
                     6)
                  .text,
              "0190012345678908"
              "3103001750");
    EXPECT_EQ(Decode("0"
                     "0101" +
                         gtin + N(1750, 15),
                     6)
                  .text,
              "0190012345678908"
              "3202001750");
    // From 10000 on the pounds have three decimals.
    EXPECT_EQ(Decode("0"
                     "0101" +
                         gtin + N(11750, 15),
                     6)
                  .text,
              "0190012345678908"
              "3203001750");
    // These methods fill exactly 60 bits.
    EXPECT_FALSE(Decode(Padded("0"
                               "0100" +
                               gtin + N(1750, 15) + "0"),
                        7)
                     .ok);
}

TEST(Encodation, PriceMethodsCarryAiThreeNineTwoXAndThreeNineThreeX) {
    const std::string gtin = Groups(1, 234, 567, 890);
    // AI 3922: two decimals, the price 795 in the general field.
    const std::string price = Padded(
        "0"
        "01100"
        "10" +
            gtin + N(2, 2) + N(8 + 7 * 11 + 9, 7) + N(8 + 5 * 11 + 10, 7),
        true);
    ASSERT_EQ(price.size(), 72u);
    EXPECT_EQ(Decode(price, 7).text,
              "0190012345678908"
              "3922"
              "795");
    // AI 3932 with the currency 040 (ISO 4217), then 1234.
    const std::string currency = Padded(
        "0"
        "01101"
        "00" +
            gtin + N(2, 2) + N(40, 10) + N(8 + 1 * 11 + 2, 7) + N(8 + 3 * 11 + 4, 7),
        true);
    EXPECT_EQ(Decode(currency, 8).text,
              "0190012345678908"
              "3932"
              "040"
              "1234");
    // A currency above 999 is none.
    EXPECT_FALSE(Decode(Padded("0"
                               "01101"
                               "00" +
                               gtin + N(2, 2) + N(1000, 10)),
                        8)
                     .ok);
}

TEST(Encodation, WeightAndDateMethodsCarryTheirAisAndDates) {
    // GTIN 9 889876543210 (check digit 6); 0111101: AI 320x and AI 15; the
    // weight field's first digit is x: 2 and 012345; 99-12-31 as
    // 99 * 384 + 11 * 32 + 31.
    const std::string gtin = Groups(889, 876, 543, 210);
    const std::string bits =
        "0"
        "0111101" +
        gtin + N(212345, 20) + N(99 * 384 + 11 * 32 + 31, 16);
    ASSERT_EQ(bits.size(), 84u);
    EXPECT_EQ(Decode(bits, 8).text,
              "0198898765432106"
              "3202012345"
              "15991231");
    // 0111000: AI 310x and AI 11; 38400 means no date.
    EXPECT_EQ(Decode("0"
                     "0111000" +
                         gtin + N(312345, 20) + N(38400, 16),
                     8)
                  .text,
              "0198898765432106"
              "3103012345");
    // 0111110: AI 310x and AI 17.
    EXPECT_EQ(Decode("0"
                     "0111110" +
                         gtin + N(12345, 20) + N(1 * 384 + 0 * 32 + 1, 16),
                     8)
                  .text,
              "0198898765432106"
              "3100012345"
              "17010101");
    // No date beyond 38400, no decimals digit beyond 9.
    EXPECT_FALSE(Decode("0"
                        "0111000" +
                            gtin + N(12345, 20) + N(38401, 16),
                        8)
                     .ok);
    EXPECT_FALSE(Decode("0"
                        "0111000" +
                            gtin + N(1000000, 20) + N(38400, 16),
                        8)
                     .ok);
}

TEST(Encodation, EncodersOfEitherEditionAreRead) {
    // FNC1 in alphanumeric from an encoder of the earlier editions: the
    // field stays alphanumeric and 2, 1, 6 follow as its digits. Read the
    // later way the bits put 19, no identifier, after the separator.
    const std::string bits = Padded(
        "0"
        "00"
        "10"
        "0010011"
        "0000"
        "01010"
        "01111"
        "00111"
        "00110"
        "01011");
    const Decoded d = Decode(bits, 5);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.text, "105" + kF + "216");
    // The same written the later way: "21" and "6" in numeric after FNC1.
    const std::string later = Padded(
        "0"
        "00"
        "10"
        "0010011"
        "0000"
        "01010"
        "01111"
        "0011111" +
            N(8 + 6 * 11 + 10, 7),
        true);
    EXPECT_EQ(Decode(later, 5).text, "105" + kF + "216");
    // A separator before no identifier is no element string.
    EXPECT_FALSE(Decode(Padded("0"
                               "00"
                               "00"
                               "0010011"
                               "0000"
                               "100000"
                               "01111"
                               "100001"),
                        4)
                     .ok);
}

TEST(Encodation, TooFewBitsAreNoData) {
    EXPECT_FALSE(Decode("0100", 4).ok);
    EXPECT_FALSE(Decode("", 4).ok);
}

}  // namespace
