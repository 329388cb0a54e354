// The further decoders on scan signals of symbols libzint encoded: every
// symbology reads its text at 2 to 4 samples per module, sharp and blurred,
// forward and reversed; a changed check character, a piece of a symbol and
// a symbol read the wrong way give nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/further/further.h"
#include "engine/reader.h"
#include "tests/support/image_renderer.h"
#include "tests/support/signal_renderer.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;

struct Symbol {
    const char* name;
    int symbology;  // zint
    std::string data;
    int option2;
    int32_t bit;
    std::string text;  // rawData and data
    std::string symbologyName;
    std::string type;
};

const std::vector<Symbol>& Symbols() {
    static const std::vector<Symbol> symbols = {
        {"Telepen", BARCODE_TELEPEN, "TELEPEN BARCODE", 0, kTelepen, "TELEPEN BARCODE", "TELEPEN",
         "ASCII"},
        {"TelepenNumeric", BARCODE_TELEPEN_NUM, "01234567", 0, kTelepen, "01234567", "TELEPEN",
         "Numeric"},
        // Read as ASCII without the numeric label's bit, 5678 is "Si".
        {"TelepenNumericLabel", BARCODE_TELEPEN_NUM, "5678", 0, kTelepenNumeric, "5678", "TELEPEN",
         "Numeric"},
        {"Code11", BARCODE_CODE11, "123-45", 0, kCode11, "123-4552", "CODE-11",
         "Two check characters"},
        {"Code11OneCheck", BARCODE_CODE11, "123", 1, kCode11, "123-", "CODE-11",
         "One check character"},
        {"MsiMod10", BARCODE_MSI_PLESSEY, "1234567", 1, kMsi, "12345674", "MSI", "Mod 10"},
        {"MsiMod1010", BARCODE_MSI_PLESSEY, "1234", 2, kMsi, "123448", "MSI", "Mod 10/10"},
        {"MsiMod11", BARCODE_MSI_PLESSEY, "1234", 3, kMsi, "12343", "MSI", "Mod 11"},
        {"MsiMod11Of10", BARCODE_MSI_PLESSEY, "6", 3, kMsi, "610", "MSI", "Mod 11"},
        {"MsiMod1110", BARCODE_MSI_PLESSEY, "1234", 4, kMsi, "123430", "MSI", "Mod 11/10"},
        {"Plessey", BARCODE_PLESSEY, "12AB", 0, kPlessey, "12AB", "PLESSEY", "CRC"},
        {"Industrial", BARCODE_C25IND, "1234567", 0, kIndustrial2of5, "1234567",
         "Industrial 2 of 5", "Generic"},
        {"Iata", BARCODE_C25IATA, "1234567", 0, kIata2of5, "1234567", "IATA 2 of 5", "Generic"},
        {"Matrix", BARCODE_C25STANDARD, "1234567", 0, kMatrix2of5, "1234567", "Matrix 2 of 5",
         "Generic"},
        {"Datalogic", BARCODE_C25LOGIC, "1234567", 0, kDatalogic2of5, "1234567", "Datalogic 2 of 5",
         "Generic"},
        {"Pharmacode", BARCODE_PHARMA, "1234", 0, kPharmacode, "1234", "PHARMACODE", "One-track"},
    };
    return symbols;
}

std::string Modules(int symbology, const std::string& data, int option2 = 0) {
    ImageOptions o;
    o.symbology = symbology;
    o.data = data;
    o.option2 = option2;
    return SymbolModules(o);
}

// The decode attempts of a search over the further decoders, the line drawn
// from left to right (as a Pharmacode must be read).
Read ReadFurther(const std::string& modules, RenderOptions options, int32_t mask) {
    ScanSignalPtr scan = RenderModules(modules, options);
    scan->startX = 0;
    scan->stopX = scan->sampleCount;
    Read read;
    read.record.confidence = 0.81f;
    read.result = XR_DecodeAttemptsWith(zeph::further::Decoders(), *scan, mask, read.record, false);
    return read;
}

TEST(FurtherDecoders, EverySymbologyReadsItsText) {
    for (const Symbol& s : Symbols()) {
        SCOPED_TRACE(s.name);
        const std::string modules = Modules(s.symbology, s.data, s.option2);
        // Sharp at whole samples per module, blurred at any.
        const struct {
            double samples, blur;
        } conditions[] = {{2, 0}, {3, 0}, {4, 0}, {2, 0.3}, {2.5, 0.3}, {3.5, 0.3}, {4, 0.4}};
        for (const auto [k, blur] : conditions) {
            {
                RenderOptions o;
                o.samplesPerModule = k;
                o.blurSigma = blur * k;
                const Read read = ReadFurther(modules, o, s.bit);
                ASSERT_EQ(read.result, 1) << k << " samples, blur " << blur;
                EXPECT_EQ(XR_TextOf(read.record.rawData), s.text);
                EXPECT_EQ(XR_TextOf(read.record.data), s.text);
                EXPECT_EQ(XR_TextOf(read.record.symbology), s.symbologyName);
                EXPECT_EQ(XR_TextOf(read.record.barcodeType), s.type);
                EXPECT_GT(read.record.confidence, 0.81f);
            }
        }
    }
}

TEST(FurtherDecoders, ReversedSymbolsReadTheSameExceptPharmacode) {
    for (const Symbol& s : Symbols()) {
        SCOPED_TRACE(s.name);
        const Read read =
            ReadFurther(Reversed(Modules(s.symbology, s.data, s.option2)), Clean(), s.bit);
        ASSERT_EQ(read.result, 1);
        // A Pharmacode is read from the line's left end only: mirrored, its
        // bars (narrow narrow wide wide narrow wide narrow narrow wide wide
        // for 1234) make another number.
        EXPECT_EQ(XR_TextOf(read.record.rawData), s.bit == kPharmacode ? "1835" : s.text);
    }
    // Read from the right, the line's direction reversed, it gives nothing.
    ScanSignalPtr scan = RenderModules(Modules(BARCODE_PHARMA, "1234"), Clean());
    scan->startX = scan->sampleCount;
    scan->stopX = 0;
    MatchRecord record = Fresh();
    EXPECT_EQ(zeph::further::DecodeWindow(*scan, kPharmacode, record), 0);
}

TEST(FurtherDecoders, EachDecoderReadsOnlyItsOwnBit) {
    for (const Symbol& s : Symbols()) {
        SCOPED_TRACE(s.name);
        const std::string modules = Modules(s.symbology, s.data, s.option2);
        // Telepen's two readings are one decoder's.
        constexpr int32_t kTelepens = kTelepen | kTelepenNumeric;
        const int32_t own = (s.bit & kTelepens) ? kTelepens : s.bit;
        const Read others = ReadFurther(modules, Clean(), zeph::further::kDecoderBits & ~own);
        EXPECT_EQ(others.result, 0)
            << XR_TextOf(others.record.symbology) << " " << XR_TextOf(others.record.rawData);
        EXPECT_EQ(ReadFurther(modules, Clean(), zeph::further::kDecoderBits).result, 1);
    }
}

// A symbol printed in numeric mode carries nothing that says so: Telepen's
// bit reads it as ASCII where that gives text, the numeric label's bit as
// digit pairs, and with both bits the first reading stands.
TEST(FurtherDecoders, TelepenNumericLabelsReadAsDigitPairs) {
    const std::string modules = Modules(BARCODE_TELEPEN_NUM, "5678");
    const Read ascii = ReadFurther(modules, Clean(), kTelepen);
    ASSERT_EQ(ascii.result, 1);
    EXPECT_EQ(XR_TextOf(ascii.record.rawData), "Si");
    EXPECT_EQ(XR_TextOf(ascii.record.descriptor), "As digit pairs: 5678");
    const Read numeric = ReadFurther(modules, Clean(), kTelepenNumeric);
    ASSERT_EQ(numeric.result, 1);
    EXPECT_EQ(XR_TextOf(numeric.record.rawData), "5678");
    EXPECT_EQ(XR_TextOf(numeric.record.descriptor), "As ASCII: Si");
    const Read both = ReadFurther(modules, Clean(), kTelepen | kTelepenNumeric);
    ASSERT_EQ(both.result, 1);
    EXPECT_EQ(XR_TextOf(both.record.rawData), "Si");
}

TEST(FurtherDecoders, ChangedCheckCharactersGiveNothing) {
    // Code 11 and MSI printed without checks, their last characters wrong.
    EXPECT_EQ(ReadFurther(Modules(BARCODE_CODE11, "123-45", 2), Clean(), kCode11).result, 0);
    EXPECT_EQ(ReadFurther(Modules(BARCODE_CODE11, "123-4553", 2), Clean(), kCode11).result, 0);
    EXPECT_EQ(ReadFurther(Modules(BARCODE_CODE11, "123-4552", 2), Clean(), kCode11).result, 1);
    EXPECT_EQ(ReadFurther(Modules(BARCODE_MSI_PLESSEY, "12345675", 0), Clean(), kMsi).result, 0);
    EXPECT_EQ(ReadFurther(Modules(BARCODE_MSI_PLESSEY, "12345674", 0), Clean(), kMsi).result, 1);

    // Telepen: "1B" with the check character of "1A" (characters are 16
    // modules each: start, two data characters, check, stop).
    const std::string a = Modules(BARCODE_TELEPEN, "1A");
    const std::string b = Modules(BARCODE_TELEPEN, "1B");
    ASSERT_EQ(a.size(), 80u);
    EXPECT_EQ(ReadFurther(b.substr(0, 48) + a.substr(48), Clean(), kTelepen).result, 0);
    EXPECT_EQ(ReadFurther(a, Clean(), kTelepen).result, 1);

    // UK Plessey: one check bit turned (each bit is four modules, 1110 or
    // 1000; the check bits follow the start's four bits and the data's 16).
    std::string p = Modules(BARCODE_PLESSEY, "12AB");
    const size_t bit = 4 * (4 + 16) + 4 * 3;
    p.replace(bit, 4, p.substr(bit, 4) == "1110" ? "1000" : "1110");
    EXPECT_EQ(ReadFurther(p, Clean(), kPlessey).result, 0);
}

TEST(FurtherDecoders, PiecesOfSymbolsGiveNothing) {
    for (const Symbol& s : Symbols()) {
        SCOPED_TRACE(s.name);
        const std::string modules = Modules(s.symbology, s.data, s.option2);
        // The first or last bars cut off, and the rest read as a symbol.
        for (const int cut : {1, 2, 3}) {
            const size_t front = modules.find('1', modules.find('0', 0));
            std::string head = modules.substr(front);
            for (int c = 1; c < cut; ++c)
                head = head.substr(head.find('1', head.find('0')));
            const Read read = ReadFurther(head, Clean(), s.bit);
            if (read.result == 1) {
                // A different symbol may remain (a Pharmacode is any run of
                // bars); never the whole one's text.
                EXPECT_NE(XR_TextOf(read.record.rawData), s.text) << cut;
                EXPECT_EQ(s.bit, kPharmacode) << cut << ": " << XR_TextOf(read.record.rawData);
            }
        }
    }
}

TEST(FurtherDecoders, PharmacodeValuesFromTheirBars) {
    for (const char* value : {"128", "1000", "5678", "99999", "131069"}) {
        SCOPED_TRACE(value);
        const Read read = ReadFurther(Modules(BARCODE_PHARMA, value), Clean(), kPharmacode);
        ASSERT_EQ(read.result, 1);
        EXPECT_EQ(XR_TextOf(read.record.rawData), value);
    }
    // Six bars are too few (126); bars of one width (127, 131070), or
    // repeating a unit of up to three bars (200: wide, narrow, narrow; 87380:
    // narrow and wide in turn), are a grating as much as a symbol.
    for (const char* value : {"126", "127", "131070", "200", "87380"}) {
        SCOPED_TRACE(value);
        EXPECT_EQ(ReadFurther(Modules(BARCODE_PHARMA, value), Clean(), kPharmacode).result, 0);
    }
}

TEST(FurtherDecoders, OddSignalsAreSafe) {
    // Few bars, bars without ends, and a signal of noise.
    for (const std::string& modules :
         {std::string("1"), std::string("10101"), WidthsToModules("1111111111331111")}) {
        EXPECT_EQ(ReadFurther(modules, Clean(), zeph::further::kDecoderBits).result, 0);
    }
    const std::string telepen = Modules(BARCODE_TELEPEN, "1A");
    ScanSignalPtr cut = CutInsideLastBar(telepen.substr(0, telepen.rfind('1') + 1));
    MatchRecord record = Fresh();
    EXPECT_EQ(zeph::further::DecodeWindow(*cut, zeph::further::kDecoderBits, record), 0);
}

}  // namespace
