// The DataBar readers of one line, on signals drawn from the modules of an
// independent encoder: whole symbols of the single-row variants in both
// directions, rows of the stacked ones, and symbols with a character or a
// checksum changed, which give nothing.
#include "engine/databar/line_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/databar/databar_lines.h"
#include "tests/support/image_renderer.h"

namespace {

using namespace zeph::test;
using zeph::databar::RowPiece;

std::string Raw(const std::string& text) {
    return std::string(1, static_cast<char>(0xFF)) + text;
}

std::string Modules(int symbology, const std::string& data, int row = 0) {
    ImageOptions o;
    o.symbology = symbology;
    o.data = data;
    return SymbolRows(o)[static_cast<size_t>(row)].modules;
}

struct SingleRow {
    const char* name;
    int symbology;
    const char* data;
    const char* raw;
};

const SingleRow kSingleRows[] = {
    {"Omnidirectional", BARCODE_DBAR_OMN, "0950110153001", "0109501101530010"},
    {"Limited", BARCODE_DBAR_LTD, "1501234567890", "0115012345678907"},
    {"Expanded", BARCODE_DBAR_EXP, "[01]98898765432106[3202]012345[15]991231",
     "0198898765432106320201234515991231"},
    {"Expanded, weight", BARCODE_DBAR_EXP, "[01]90012345678908[3103]001750",
     "01900123456789083103001750"},
    // Five characters: the last pair without its right character.
    {"Expanded, odd length", BARCODE_DBAR_EXP, "[01]00000000000000", "0100000000000000"},
};

TEST(LineDecoder, ReadsSingleRowSymbolsEitherWay) {
    for (const SingleRow& s : kSingleRows) {
        SCOPED_TRACE(s.name);
        const std::string modules = Modules(s.symbology, s.data);
        for (const bool reversed : {false, true}) {
            for (const double spm : {2.5, 4.0}) {
                ElementDrawing d;
                d.samplesPerModule = spm;
                d.inkSpread = 0.2;
                const auto reads = ReadLine(modules, d, {0, 0, reversed});
                ASSERT_EQ(RawTexts(reads), std::vector<std::string>{Raw(s.raw)})
                    << reversed << " " << spm;
                // The record runs the symbol's way, whichever way the line ran.
                const MatchRecord& r = reads[0].record;
                EXPECT_LT(r.startX, r.stopX);
                EXPECT_GT(r.confidence, 0.81f);
                EXPECT_LE(r.confidence, 1.0f);
            }
        }
    }
}

TEST(LineDecoder, ReadsAcrossPerspective) {
    ElementDrawing d;
    d.samplesPerModule = 3;
    d.growth = 0.4;
    for (const SingleRow& s : kSingleRows) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(RawTexts(ReadLine(Modules(s.symbology, s.data), d)),
                  std::vector<std::string>{Raw(s.raw)});
    }
}

TEST(LineDecoder, RowsOfStackedSymbolsArePiecesNotSymbols) {
    // Stacked: the top row has character 1, the left finder and character
    // 2; the bottom row character 4, the right finder and character 3.
    const auto top = ReadLine(Modules(BARCODE_DBAR_STK, "0950110153001", 0));
    const auto bottom = ReadLine(Modules(BARCODE_DBAR_STK, "0950110153001", 2));
    EXPECT_TRUE(RawTexts(top).empty());
    EXPECT_TRUE(RawTexts(bottom).empty());
    const auto a = Pieces(top);
    const auto b = Pieces(bottom);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(a[0].kind, RowPiece::Kind::kOmniTop);
    EXPECT_EQ(a[0].outer, 131);
    EXPECT_EQ(a[0].inner, 203);
    EXPECT_EQ(b[0].kind, RowPiece::Kind::kOmniBottom);
    EXPECT_EQ(b[0].outer, 537);
    EXPECT_EQ(b[0].inner, 842);
    // Expanded Stacked of two pairs a row: the first row opens the symbol.
    ImageOptions o;
    o.symbology = BARCODE_DBAR_EXPSTK;
    o.data = "[01]98898765432106[3202]012345[15]991231";
    o.option2 = 2;
    const auto rows = SymbolRows(o);
    const auto first = Pieces(ReadLine(rows[0].modules));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].kind, RowPiece::Kind::kExpanded);
    EXPECT_EQ(first[0].pairCount, 2);
    EXPECT_EQ(first[0].pairs[0].left, 913);  // the check character
    // The second row is drawn mirrored; read either way it gives its pairs
    // in the symbol's order.
    for (const bool reversed : {false, true}) {
        const auto second = Pieces(ReadLine(rows.back().modules, {}, {0, 0, reversed}));
        ASSERT_EQ(second.size(), 1u);
        EXPECT_EQ(second[0].pairCount, 2);
        EXPECT_EQ(second[0].pairs[0].finder, 1);  // B, the third pair
        EXPECT_FALSE(second[0].pairs[0].odd);
        EXPECT_EQ(second[0].pairs[1].finder, 3);  // D
    }
}

TEST(LineDecoder, AChangedCharacterGivesNoRead) {
    // Omnidirectional: character 1's odd elements 5 and 1 swapped (another
    // character of its group).
    const std::string omni = Modules(BARCODE_DBAR_OMN, "0950110153001");
    const auto omniReads = ReadLine(SwapElements(omni, 1, 3));
    EXPECT_TRUE(RawTexts(omniReads).empty());
    // Nor does the half of it that still reads make a row.
    EXPECT_TRUE(Pieces(omniReads).empty());
    // Limited: two elements of the right character.
    const std::string limited = Modules(BARCODE_DBAR_LTD, "1501234567890");
    EXPECT_TRUE(RawTexts(ReadLine(SwapElements(limited, 29, 33))).empty());
    // Expanded: two elements of the second data character.
    const std::string expanded =
        Modules(BARCODE_DBAR_EXP, "[01]98898765432106[3202]012345[15]991231");
    EXPECT_TRUE(RawTexts(ReadLine(SwapElements(expanded, 22, 24))).empty());
}

TEST(LineDecoder, AChangedChecksumGivesNoRead) {
    // Omnidirectional keeps its checksum in its finders: the left finder
    // (3, 5, 5, 1, 1) turned into (3, 3, 7, 1, 1).
    const std::string omni = Modules(BARCODE_DBAR_OMN, "0950110153001");
    std::vector<int32_t> widths = ElementWidths(omni);
    ASSERT_EQ(widths[10], 5);
    widths[10] = 3;
    widths[11] = 7;
    EXPECT_TRUE(RawTexts(ReadLine(ModulesOfWidths(widths))).empty());
    // Limited in its check character: another of the 89.
    const std::string limited = Modules(BARCODE_DBAR_LTD, "1501234567890");
    EXPECT_TRUE(RawTexts(ReadLine(SwapElements(limited, 15, 17))).empty());
    // Expanded in its first character.
    const std::string expanded =
        Modules(BARCODE_DBAR_EXP, "[01]98898765432106[3202]012345[15]991231");
    EXPECT_TRUE(RawTexts(ReadLine(SwapElements(expanded, 2, 4))).empty());
}

TEST(LineDecoder, TheLinkageFlagNamesTheCompositeComponent) {
    ImageOptions o;
    o.symbology = BARCODE_DBAR_LTD_CC;
    o.primary = "0950110153001";
    o.data = "[10]ABC";
    const auto reads = ReadLine(SymbolRows(o).back().modules);
    ASSERT_EQ(RawTexts(reads), std::vector<std::string>{Raw("0109501101530010")});
    EXPECT_EQ(XR_TextOf(reads[0].record.barcodeType), "GS1 DataBar Limited Composite");
}

TEST(LineDecoder, NothingWithoutItsMaskBits) {
    const std::string omni = Modules(BARCODE_DBAR_OMN, "0950110153001");
    const ScanSignalPtr signal = DrawElements(ElementWidths(omni));
    const auto bars = static_cast<size_t>(signal->barCount);
    const zeph::databar::LineSignal line{
        signal->Samples(), {signal->barStarts.get(), bars}, {signal->barEnds.get(), bars}};
    zeph::databar::LineDecoder decoder;
    std::vector<zeph::extended::LineRead> reads;
    const zeph::extended::Picture none;
    const zeph::databar::LineGeometry geometry{0, 0, 100, 0, 0, double(signal->sampleCount)};
    ASSERT_TRUE(decoder.Read(none, geometry, line,
                             {kDefaultProtocolMask | kDataBarLimited | kDataBarExpanded, 0.81f, 1,
                              zeph::extended::LineOptions::kPlain, 0},
                             reads));
    EXPECT_TRUE(reads.empty());
}

}  // namespace
