// Code 32, the Pharmazentralnummer and ITF-14 recognised in the records of
// their base symbologies, each by its own check, and only when asked for.
#include <gtest/gtest.h>

#include <string>

#include "engine/further/interpretations.h"
#include "engine/reader.h"

namespace {

using namespace zeph::further;

MatchRecord Read(const char* symbology, const std::string& raw) {
    MatchRecord r;
    XR_SetText(r.symbology, symbology);
    XR_SetText(r.rawData, raw);
    XR_SetText(r.data, raw);
    XR_SetText(r.barcodeType, "Generic");
    return r;
}

constexpr int32_t kEverything = kCode39 | kInterleaved2of5 | kCode32 | kPzn | kItf14;

TEST(Interpretations, Code32GivesItsNineDigits) {
    // zint's Code 32 of 12345678 (check digit 8) is the Code 39 text 3PRM8N.
    MatchRecord r = Read("CODE-39", "3PRM8N");
    Interpret({&r, 1}, kEverything);
    EXPECT_EQ(XR_TextOf(r.data), "123456788");
    EXPECT_EQ(XR_TextOf(r.barcodeType), "Code 32");
    EXPECT_EQ(XR_TextOf(r.rawData), "3PRM8N");
    EXPECT_EQ(XR_TextOf(r.symbology), "CODE-39");
    // Leading zeros stay: 1 is 000000001, whose check digit fails.
    MatchRecord small = Read("CODE-39", "000001");
    EXPECT_FALSE(InterpretCode32(small));
}

TEST(Interpretations, Code32CheckDigitAndAlphabet) {
    MatchRecord wrongCheck = Read("CODE-39", "3PRM8P");  // 123456789
    EXPECT_FALSE(InterpretCode32(wrongCheck));
    EXPECT_EQ(XR_TextOf(wrongCheck.data), "3PRM8P");
    MatchRecord vowel = Read("CODE-39", "3PRM8A");  // A is no base-32 character
    EXPECT_FALSE(InterpretCode32(vowel));
    MatchRecord tooLarge = Read("CODE-39", "ZZZZZZ");  // beyond nine digits
    EXPECT_FALSE(InterpretCode32(tooLarge));
    MatchRecord fiveCharacters = Read("CODE-39", "3PRM8");
    EXPECT_FALSE(InterpretCode32(fiveCharacters));
}

TEST(Interpretations, PharmazentralnummerOfSevenAndEightDigits) {
    MatchRecord eight = Read("CODE-39", "-01234562");  // zint's PZN of 123456
    Interpret({&eight, 1}, kEverything);
    EXPECT_EQ(XR_TextOf(eight.data), "01234562");
    EXPECT_EQ(XR_TextOf(eight.barcodeType), "Pharmazentralnummer");
    EXPECT_EQ(XR_TextOf(eight.descriptor), "German pharmaceutical product number (PZN8)");
    // Seven digits weigh the first six 2 to 7: 2*1+3*2+...+7*6 = 112, 112 mod 11 = 2.
    MatchRecord seven = Read("CODE-39", "-1234562");
    ASSERT_TRUE(InterpretPzn(seven));
    EXPECT_EQ(XR_TextOf(seven.descriptor), "German pharmaceutical product number (PZN7)");
    MatchRecord wrong = Read("CODE-39", "-01234563");
    EXPECT_FALSE(InterpretPzn(wrong));
    MatchRecord noDash = Read("CODE-39", "001234562");
    EXPECT_FALSE(InterpretPzn(noDash));
}

TEST(Interpretations, Itf14NeedsFourteenDigitsAndTheGtinCheck) {
    MatchRecord r = Read("Interleaved 2 of 5", "12345678901231");
    Interpret({&r, 1}, kEverything);
    EXPECT_EQ(XR_TextOf(r.barcodeType), "ITF-14");
    EXPECT_EQ(XR_TextOf(r.data), "12345678901231");
    EXPECT_EQ(XR_TextOf(r.descriptor), "Global Trade Item Number (GTIN-14), packaging level 1");
    MatchRecord variable = Read("Interleaved 2 of 5", "90012345678908");
    ASSERT_TRUE(InterpretItf14(variable));
    EXPECT_EQ(XR_TextOf(variable.descriptor),
              "Global Trade Item Number (GTIN-14), variable measure");
    MatchRecord wrong = Read("Interleaved 2 of 5", "12345678901232");
    EXPECT_FALSE(InterpretItf14(wrong));
    MatchRecord sixteen = Read("Interleaved 2 of 5", "1234567890123121");
    EXPECT_FALSE(InterpretItf14(sixteen));
}

TEST(Interpretations, EachNeedsItsBitAndItsBaseSymbologysBit) {
    const MatchRecord code32 = Read("CODE-39", "3PRM8N");
    const MatchRecord itf14 = Read("Interleaved 2 of 5", "12345678901231");
    for (const int32_t mask :
         {kCode39 | kInterleaved2of5, kCode32 | kItf14 | kPzn, kDefaultProtocolMask}) {
        MatchRecord records[] = {code32, itf14};
        Interpret(records, mask);
        EXPECT_EQ(XR_TextOf(records[0].data), "3PRM8N") << mask;
        EXPECT_EQ(XR_TextOf(records[1].barcodeType), "Generic") << mask;
    }
    MatchRecord records[] = {code32, itf14};
    Interpret(records, kExtendedDefaultMask);
    EXPECT_EQ(XR_TextOf(records[0].barcodeType), "Code 32");
    EXPECT_EQ(XR_TextOf(records[1].barcodeType), "ITF-14");
}

TEST(Interpretations, OtherSymbologiesAndFullAsciiTextsStayAsRead) {
    MatchRecord code128 = Read("CODE-128", "12345678901231");
    MatchRecord extended = Read("CODE-39", "3PRM8N");
    XR_SetText(extended.data, "3prm8n");  // what a full-ASCII reading would make of it
    MatchRecord records[] = {code128, extended};
    Interpret(records, kEverything | kCode128);
    EXPECT_EQ(XR_TextOf(records[0].barcodeType), "Generic");
    EXPECT_EQ(XR_TextOf(records[1].data), "3prm8n");
}

}  // namespace
