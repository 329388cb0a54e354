// The check characters of the further symbologies against symbols an
// independent generator (libzint) printed and published examples.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "engine/further/check_digits.h"

namespace {

using namespace zeph::further;

std::vector<int> Digits(const char* text) {
    std::vector<int> d;
    for (const char* c = text; *c; ++c)
        d.push_back(*c == '-' ? 10 : *c - '0');
    return d;
}

TEST(CheckDigits, Code11CheckCharactersCAndK) {
    // zint prints 123 as 123-4: C is the dash (10), K is 4.
    EXPECT_EQ(Code11Check(Digits("123"), 10), 10);
    EXPECT_EQ(Code11Check(Digits("123-"), 9), 4);
    // Weights restart after 10 (C) and 9 (K): on eleven ones they differ.
    EXPECT_EQ(Code11Check(Digits("11111111111"), 10), (55 + 1) % 11);
    EXPECT_EQ(Code11Check(Digits("11111111111"), 9), (45 + 1 + 2) % 11);
}

TEST(CheckDigits, MsiModuloTenAndEleven) {
    // zint's MSI checks of 1234: 4 (mod 10), 48 (10/10), 3 (mod 11), 30 (11/10).
    EXPECT_EQ(Mod10Check(Digits("1234")), 4);
    EXPECT_EQ(Mod10Check(Digits("12344")), 8);
    EXPECT_EQ(Mod11Check(Digits("1234")), 3);
    EXPECT_EQ(Mod10Check(Digits("12343")), 0);
    // 6 leaves 1, so its check is 10 (printed "610"); a sum of 11 leaves 0.
    EXPECT_EQ(Mod11Check(Digits("6")), 10);
    EXPECT_EQ(Mod11Check(Digits("00")), 0);
}

TEST(CheckDigits, GtinCheckDigit) {
    EXPECT_EQ(GtinCheck(Digits("400638133393")), 1);
    EXPECT_EQ(GtinCheck(Digits("1234567890123")), 1);
    EXPECT_EQ(GtinCheck(Digits("3071234500001")), 0);
}

TEST(CheckDigits, PlesseyCyclicCheckBits) {
    // zint's UK Plessey "1" carries the check bits 11101100, "2" 01110110.
    const std::array<uint8_t, 4> one = {1, 0, 0, 0};
    const std::array<uint8_t, 4> two = {0, 1, 0, 0};
    EXPECT_EQ(PlesseyCrc(one), 0b11101100u);
    EXPECT_EQ(PlesseyCrc(two), 0b01110110u);
    EXPECT_EQ(PlesseyCrc(std::array<uint8_t, 8>{}), 0u);
}

TEST(CheckDigits, TelepenMakesTheSumAMultipleOf127) {
    const std::vector<int> text = {'1', 'A'};
    EXPECT_EQ(TelepenCheck(text), 127 - (49 + 65));
    const std::vector<int> whole = {127 - 5, 5};
    EXPECT_EQ(TelepenCheck(whole), 0);
}

}  // namespace
