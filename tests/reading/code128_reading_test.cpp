// Code 128 symbols drawn by an independent generator: its modules against our
// symbol table, and whole pictures read through the thorough search.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reader.h"
#include "engine/symbologies/code128_patterns.h"
#include "engine/symbologies/decoders.h"
#include "tests/support/image_renderer.h"
#include "tests/support/picture_search.h"
#include "tests/support/signal_renderer.h"

namespace {

using namespace zeph::test;
namespace c128 = zeph::code128;

std::vector<std::string_view> Tokens(std::string_view table) {
    std::vector<std::string_view> tokens;
    for (size_t at = 0; at < table.size(); at += c128::kSymbolModules + 1)
        tokens.push_back(table.substr(at, c128::kSymbolModules));
    return tokens;
}

int IndexOf(const std::vector<std::string_view>& tokens, std::string_view modules) {
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i] == modules) return static_cast<int>(i);
    }
    return -1;
}

struct Generated {
    const char* name;
    int symbology;
    std::string data;      // as the generator takes it
    std::string expected;  // the text the decoder reports
};

std::string WithoutNul(std::string text) {
    return text.substr(0, text.find('\0'));
}

// Texts that make the generator use every symbol value (FNC2 and FNC3, which
// it never writes, share their patterns with the set C pairs 97 and 96).
std::vector<Generated> TableTexts() {
    // The generator takes at most 60 characters per symbol.
    std::string printable;  // set B, no digits (digit runs go to set C)
    for (int c = 32; c < 128; ++c) {
        if (c < '0' || c > '9') printable += static_cast<char>(c);
    }
    std::string controls;  // set A, NUL last since it ends the decoded text
    for (int c = 1; c < 32; ++c)
        controls += static_cast<char>(c);
    controls += std::string(1, '\0');
    std::string low, high;  // every digit pair in set C
    for (int v = 0; v < 50; ++v) {
        low += std::to_string(v / 10) + std::to_string(v % 10);
        high += std::to_string((v + 50) / 10) + std::to_string(v % 10);
    }
    return {
        {"printable, first half", BARCODE_CODE128, printable.substr(0, 43),
         printable.substr(0, 43)},
        {"printable, second half", BARCODE_CODE128, printable.substr(43), printable.substr(43)},
        {"digits in set B", BARCODE_CODE128, "0a1b2c3d4e5f6g7h8i9j", "0a1b2c3d4e5f6g7h8i9j"},
        {"controls", BARCODE_CODE128, controls, WithoutNul(controls)},
        {"pairs 00-49", BARCODE_CODE128, low, low},
        {"pairs 50-99", BARCODE_CODE128, high, high},
        {"shift", BARCODE_CODE128, "a\tb", "a\tb"},
        {"code sets", BARCODE_CODE128,
         "12AB34cd\x01\x02\x03"
         "ef",
         "12AB34cd\x01\x02\x03"
         "ef"},
        {"FNC4", BARCODE_CODE128, "caf\xe9", "caf\xfci"},
        {"FNC1", BARCODE_GS1_128, "[01]09501101530003",
         "\xff"
         "0109501101530003"},
    };
}

TEST(Code128Table, GeneratorSymbolsAreMadeOfOurTableEntries) {
    const std::vector<std::string_view> symbols = Tokens(c128::kSymbols);
    const std::vector<std::string_view> starts = Tokens(c128::kStarts);
    ASSERT_EQ(symbols.size(), 103u);
    EXPECT_EQ(std::set<std::string_view>(symbols.begin(), symbols.end()).size(), 103u);
    std::set<int> seen;
    for (const Generated& g : TableTexts()) {
        ImageOptions o;
        o.symbology = g.symbology;
        o.data = g.data;
        const std::string modules = SymbolModules(o);
        const size_t stopAt = modules.size() - c128::kStop.size();
        ASSERT_EQ(stopAt % c128::kSymbolModules, 0u) << g.name;
        EXPECT_EQ(modules.substr(stopAt), c128::kStop) << g.name;

        const int start = IndexOf(starts, modules.substr(0, c128::kSymbolModules));
        ASSERT_GE(start, 0) << g.name;
        std::vector<int> values;
        for (size_t at = c128::kSymbolModules; at < stopAt; at += c128::kSymbolModules) {
            values.push_back(IndexOf(symbols, modules.substr(at, c128::kSymbolModules)));
            ASSERT_GE(values.back(), 0) << g.name << " at module " << at;
        }
        int total = c128::kFirstStartValue + start;
        for (size_t k = 0; k + 1 < values.size(); ++k)
            total += static_cast<int>(k + 1) * values[k];
        EXPECT_EQ(total % 103, values.back()) << g.name;
        seen.insert(values.begin(), values.end() - 1);

        // The values we found mean the generator's text.
        ScanSignalPtr scan = RenderModules(modules);
        MatchRecord record;
        record.confidence = 0.81f;
        ASSERT_EQ(XR_DecodeCode128(*scan, record), 1) << g.name;
        EXPECT_EQ(XR_TextOf(record.rawData), g.expected.substr(0, kRawDataWidth - 1)) << g.name;
    }
    std::vector<int> missing;
    for (int v = 0; v < 103; ++v) {
        if (!seen.contains(v)) missing.push_back(v);
    }
    EXPECT_EQ(missing, std::vector<int>{});
}

struct Picture {
    const char* name;
    std::string data;
    std::string expected;
};

class Code128Reading : public ::testing::TestWithParam<Picture> {};

TEST_P(Code128Reading, ThoroughSearchReadsTheSymbolAtRightAngles) {
    const Picture& p = GetParam();
    for (double angle : {0.0, 90.0, 180.0, 270.0}) {
        for (double size : {2.0, 3.0}) {
            ImageOptions o;
            o.symbology = BARCODE_CODE128;
            o.data = p.data;
            o.angle = angle;
            o.moduleSize = size;
            o.blurSigma = 0.5;
            o.noise = 4;
            const PictureReads reads = SearchPicture(RenderBarcode(o));
            ASSERT_EQ(reads.count, 1) << angle << " degrees, " << size << " px/module";
            const MatchRecord& r = reads.records[0];
            EXPECT_EQ(XR_TextOf(r.rawData), p.expected) << angle << " degrees, " << size;
            EXPECT_EQ(XR_TextOf(r.data), p.expected) << angle << " degrees, " << size;
            EXPECT_EQ(XR_TextOf(r.symbology), "CODE-128");
            EXPECT_EQ(XR_TextOf(r.barcodeType), "Generic");
            EXPECT_EQ(XR_TextOf(r.descriptor), "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Code128, Code128Reading,
                         ::testing::Values(Picture{"SetB", "Code 128, set B!", "Code 128, set B!"},
                                           Picture{"SetC", "0123456789012345", "0123456789012345"},
                                           Picture{"SetAControls",
                                                   "AB\x01\x02\x1b"
                                                   "CD",
                                                   "AB\x01\x02\x1b"
                                                   "CD"},
                                           Picture{"Shift", "ab\tcd", "ab\tcd"},
                                           Picture{"SetChanges", "12AB3456cd", "12AB3456cd"},
                                           Picture{"Fnc4", "caf\xe9", "caf\xfci"}),
                         [](const ::testing::TestParamInfo<Picture>& info) {
                             return std::string(info.param.name);
                         });

// "*y?T" met from its stop end regroups into the characters of "lQ?z" with a
// check character that holds; turned round and blurred, neither search may
// report that text, and whatever they read is the symbol's own.
TEST(Code128Reading, SymbolTurnedRoundIsNeverReadAsAnother) {
    int reads = 0;
    for (double angle : {178.0, 180.0, 182.0, 270.0}) {
        for (double size : {2.0, 3.0, 4.0}) {
            for (int quality : {0, 60}) {
                ImageOptions o;
                o.symbology = BARCODE_CODE128;
                o.data = "*y?T";
                o.angle = angle;
                o.moduleSize = size;
                o.quietModules = 0;
                o.blurSigma = 0.7;
                o.jpegQuality = quality;
                const Image image = RenderBarcode(o);
                for (const PictureReads& search :
                     {SearchPicture(image), SearchExtendedPicture(image, kExtendedDefaultMask)}) {
                    for (const std::string& text : search.RawTexts()) {
                        EXPECT_EQ(text, "*y?T") << angle << " degrees, " << size << " px/module";
                        ++reads;
                    }
                }
            }
        }
    }
    EXPECT_GT(reads, 0);
}

TEST(Code128LongSymbol, KeepsItsWholeTextInData) {
    std::string digits;
    for (int i = 0; i < 120; ++i)
        digits += static_cast<char>('0' + (7 * i + i / 10) % 10);
    for (double angle : {0.0, 90.0, 180.0, 270.0}) {
        ImageOptions o;
        o.symbology = BARCODE_CODE128;
        o.data = digits;
        o.angle = angle;
        o.moduleSize = 2;
        o.blurSigma = 0.5;
        o.noise = 4;
        // 706 modules need more samples along the line than the default 512.
        const PictureReads reads = SearchPicture(RenderBarcode(o), true, "-srnbs 2048");
        ASSERT_EQ(reads.count, 1) << angle;
        EXPECT_EQ(XR_TextOf(reads.records[0].data), digits) << angle;
        EXPECT_EQ(XR_TextOf(reads.records[0].rawData), digits.substr(0, kRawDataWidth - 1))
            << angle;
    }
}

}  // namespace
