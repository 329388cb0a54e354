// The row collector on the rows of stacked symbols of an independent
// encoder, each read by a line of its own and laid where a picture would
// put it: rows that belong together make their symbol, rows missing, cut,
// out of place or of another symbol make none.
#include "engine/databar/row_collector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/databar/databar_lines.h"
#include "tests/support/image_renderer.h"

namespace {

using namespace zeph::test;
using zeph::databar::RowCollector;
using zeph::databar::RowPiece;

constexpr double kModule = 4;  // samples (pixels) a module, as ReadLine draws

std::vector<SymbolRow> Rows(int symbology, const std::string& data, int option2 = 0) {
    ImageOptions o;
    o.symbology = symbology;
    o.data = data;
    o.option2 = option2;
    return SymbolRows(o);
}

// The rows of the symbol that hold data, each read by a line through its
// middle, `shift` modules along for the rows listed there.
std::vector<RowPiece> ReadRows(const std::vector<SymbolRow>& rows, double shiftAlong = 0,
                               size_t shifted = 99) {
    std::vector<RowPiece> pieces;
    double top = 0;
    size_t dataRow = 0;
    for (const SymbolRow& row : rows) {
        // zint's separators are a module high; data rows are taller, those
        // of height 0 take its default of 34 modules.
        const double height = row.height > 0 ? row.height : 34;
        if (height > 1) {
            ElementDrawing d;
            d.samplesPerModule = kModule;
            const double middle = (top + height / 2) * kModule;
            const double shift = dataRow == shifted ? shiftAlong * kModule : 0;
            // Mirrored rows read left to right like the others: the pieces say which way.
            for (const RowPiece& p : Pieces(ReadLine(row.modules, d, {middle, shift})))
                pieces.push_back(p);
            ++dataRow;
        }
        top += height;
    }
    return pieces;
}

std::vector<std::string> Join(const std::vector<RowPiece>& pieces) {
    RowCollector collector;
    int line = 1;
    for (const RowPiece& p : pieces)
        collector.Add(p, line++);
    std::vector<zeph::extended::LineRead> reads;
    EXPECT_TRUE(collector.Join(0.81f, reads));
    std::vector<std::string> texts;
    for (const auto& r : reads)
        texts.emplace_back(XR_TextOf(r.record.rawData));
    return texts;
}

std::string Raw(const std::string& text) {
    return std::string(1, static_cast<char>(0xFF)) + text;
}

TEST(RowCollector, JoinsTheRowsOfStacked) {
    const auto rows = Rows(BARCODE_DBAR_STK, "0950110153001");
    const std::vector<RowPiece> pieces = ReadRows(rows);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(Join(pieces), std::vector<std::string>{Raw("0109501101530010")});
    // Read twice by neighbouring lines, still one symbol.
    std::vector<RowPiece> twice = pieces;
    twice.insert(twice.end(), pieces.begin(), pieces.end());
    EXPECT_EQ(Join(twice).size(), 1u);
}

TEST(RowCollector, JoinsTheRowsOfExpandedStackedOfEveryWidth) {
    const std::string data = "[01]98898765432106[3202]012345[15]991231";
    for (int columns = 1; columns <= 3; ++columns) {
        SCOPED_TRACE(columns);
        const std::vector<RowPiece> pieces = ReadRows(Rows(BARCODE_DBAR_EXPSTK, data, columns));
        EXPECT_EQ(Join(pieces),
                  std::vector<std::string>{Raw("0198898765432106320201234515991231")});
    }
}

TEST(RowCollector, AMissingRowMakesNoSymbol) {
    const auto stacked = ReadRows(Rows(BARCODE_DBAR_STK, "0950110153001"));
    ASSERT_EQ(stacked.size(), 2u);
    EXPECT_TRUE(Join({stacked[0]}).empty());
    EXPECT_TRUE(Join({stacked[1]}).empty());
    // Four rows of Expanded Stacked, any one of them left out.
    const auto rows =
        ReadRows(Rows(BARCODE_DBAR_EXPSTK, "[01]98898765432106[3202]012345[15]991231", 1));
    ASSERT_EQ(rows.size(), 4u);
    for (size_t missing = 0; missing < rows.size(); ++missing) {
        std::vector<RowPiece> some;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (i != missing) some.push_back(rows[i]);
        }
        EXPECT_TRUE(Join(some).empty()) << missing;
    }
}

TEST(RowCollector, ACutRowIsNoRow) {
    // The second row of Expanded Stacked without its last character: the
    // line finds no guard after it, and no row.
    const auto rows = Rows(BARCODE_DBAR_EXPSTK, "[01]98898765432106[3202]012345[15]991231", 2);
    std::string cut = rows.back().modules;
    cut = cut.substr(0, cut.size() - 19);
    EXPECT_TRUE(Pieces(ReadLine(cut)).empty());
    // The rows of the whole symbol but that one make nothing.
    std::vector<SymbolRow> shorter = rows;
    shorter.back().modules = cut;
    EXPECT_TRUE(Join(ReadRows(shorter)).empty());
}

TEST(RowCollector, RowsOutOfPlaceMakeNoSymbol) {
    const auto rows = Rows(BARCODE_DBAR_STK, "0950110153001");
    // The bottom row ten modules along: not level with the top one.
    EXPECT_TRUE(Join(ReadRows(rows, 10, 1)).empty());
    // The rows the other way up: the bottom row above the top one.
    std::vector<SymbolRow> upsideDown(rows.rbegin(), rows.rend());
    EXPECT_TRUE(Join(ReadRows(upsideDown)).empty());
}

TEST(RowCollector, RowsOfTwoSymbolsDoNotJoin) {
    // The top row of one symbol over the bottom row of another: their
    // checksum does not hold.
    auto a = Rows(BARCODE_DBAR_STK, "0950110153001");
    const auto b = Rows(BARCODE_DBAR_STK, "2001234567890");
    a.back() = b.back();
    EXPECT_TRUE(Join(ReadRows(a)).empty());
}

}  // namespace
