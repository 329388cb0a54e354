// GS1 DataBar symbols of every variant drawn by an independent generator and
// read through the extended search: sizes, turns, blur, noise and JPEG;
// stacked symbols whose rows the pictures take apart; pictures that hold no
// symbol at all.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/reader.h"
#include "tests/databar/element_signals.h"
#include "tests/support/clutter_renderer.h"
#include "tests/support/image_renderer.h"
#include "tests/support/picture_search.h"

namespace {

using namespace zeph::test;

// '|' stands for the FNC1 byte of the raw data.
std::string Raw(std::string text) {
    for (char& c : text) {
        if (c == '|') c = static_cast<char>(0xFF);
    }
    return text;
}

struct Variant {
    const char* name;
    int symbology;
    const char* data;
    const char* raw;
    int option2 = 0;
};

const Variant kVariants[] = {
    {"GS1 DataBar Omnidirectional", BARCODE_DBAR_OMN, "0950110153001", "|0109501101530010"},
    {"GS1 DataBar Stacked", BARCODE_DBAR_STK, "0950110153001", "|0109501101530010"},
    {"GS1 DataBar Stacked Omnidirectional", BARCODE_DBAR_OMNSTK, "2001234567890",
     "|0120012345678909"},
    {"GS1 DataBar Limited", BARCODE_DBAR_LTD, "1501234567890", "|0115012345678907"},
    {"GS1 DataBar Expanded", BARCODE_DBAR_EXP, "[01]98898765432106[3202]012345[15]991231",
     "|0198898765432106320201234515991231"},
    {"GS1 DataBar Expanded Stacked", BARCODE_DBAR_EXPSTK,
     "[01]98898765432106[3202]012345[15]991231", "|0198898765432106320201234515991231", 2},
};

std::vector<MatchRecord> Read(const Image& image) {
    return SearchExtendedPicture(image, kExtendedDefaultMask).records;
}

TEST(DataBarReading, EveryVariantAtTwoPixelsPerModule) {
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(v.name);
        ImageOptions o;
        o.symbology = v.symbology;
        o.data = v.data;
        o.option2 = v.option2;
        o.moduleSize = 2;
        const std::vector<MatchRecord> records = Read(RenderBarcode(o));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(XR_TextOf(records[0].rawData), Raw(v.raw));
        EXPECT_EQ(XR_TextOf(records[0].symbology), "GS1 DataBar");
        EXPECT_EQ(XR_TextOf(records[0].barcodeType), v.name);
    }
    ImageOptions truncated;
    truncated.symbology = BARCODE_DBAR_OMN;
    truncated.data = "0950110153001";
    truncated.heightModules = 13;
    truncated.moduleSize = 2;
    const std::vector<MatchRecord> records = Read(RenderBarcode(truncated));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(XR_TextOf(records[0].barcodeType), "GS1 DataBar Truncated");
}

// Every variant under the views a camera gives: module sizes from 1 to 4
// pixels, turns, blur, noise and JPEG.
TEST(DataBarReading, EveryVariantAcrossSizesTurnsAndDamage) {
    const struct {
        double module;
        double angle;
        double blur;
        double noise;
        int jpeg;
    } views[] = {
        {1.0, 0, 0, 0, 0},      {1.5, 90, 0, 10, 0}, {2, 33, 0.7, 0, 0},
        {2.5, 135, 0.5, 4, 70}, {3, 200, 1.2, 0, 0}, {4, 12, 0, 10, 0},
    };
    for (const Variant& v : kVariants) {
        for (const auto& view : views) {
            SCOPED_TRACE(testing::Message() << v.name << ", " << view.module << " px, "
                                            << view.angle << " degrees, blur " << view.blur
                                            << ", noise " << view.noise << ", JPEG " << view.jpeg);
            ImageOptions o;
            o.symbology = v.symbology;
            o.data = v.data;
            o.option2 = v.option2;
            o.moduleSize = view.module;
            o.angle = view.angle;
            o.blurSigma = view.blur;
            o.noise = view.noise;
            o.jpegQuality = view.jpeg;
            const std::vector<MatchRecord> records = Read(RenderBarcode(o));
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(XR_TextOf(records[0].rawData), Raw(v.raw));
            EXPECT_EQ(XR_TextOf(records[0].barcodeType), v.name);
        }
    }
}

struct Method {
    const char* name;
    const char* data;  // as zint takes it
    const char* raw;
};

// zint picks the encodation method from the data, as the standard has it.
const Method kMethods[] = {
    {"AI 01 and others (1)", "[01]09501101530003[10]ABC123", "|010950110153000310ABC123"},
    {"general purpose (00)", "[10]ABC[21]xyz%&", "|10ABC|21xyz%&"},
    {"numeric general purpose (00)", "[8110]106141416543213500110000310123196000",
     "|8110106141416543213500110000310123196000"},
    {"AI 01 and 3103 (0100)", "[01]90012345678908[3103]001750", "|01900123456789083103001750"},
    {"AI 01 and 3202 (0101)", "[01]90012345678908[3202]001750", "|01900123456789083202001750"},
    {"AI 01 and 3203 (0101)", "[01]90012345678908[3203]001750", "|01900123456789083203001750"},
    {"AI 01 and 392x (01100)", "[01]90012345678908[3922]795", "|01900123456789083922795"},
    {"AI 01 and 393x (01101)", "[01]90012345678908[3932]0401234", "|019001234567890839320401234"},
    {"310x and 11 (0111000)", "[01]90012345678908[3102]001750[11]100312",
     "|0190012345678908310200175011100312"},
    {"320x and 13 (0111011)", "[01]90012345678908[3202]001750[13]100312",
     "|0190012345678908320200175013100312"},
    {"310x and 15 (0111100)", "[01]90012345678908[3102]001750[15]100312",
     "|0190012345678908310200175015100312"},
    {"320x and 17 (0111111)", "[01]90012345678908[3202]001750[17]100312",
     "|0190012345678908320200175017100312"},
    {"310x, no date (0111000)", "[01]90012345678908[3105]012345", "|01900123456789083105012345"},
};

TEST(DataBarReading, EveryEncodationMethodOfExpanded) {
    for (const Method& m : kMethods) {
        for (const int symbology : {BARCODE_DBAR_EXP, BARCODE_DBAR_EXPSTK}) {
            SCOPED_TRACE(testing::Message() << m.name << ", " << symbology);
            ImageOptions o;
            o.symbology = symbology;
            o.data = m.data;
            o.option2 = 2;
            o.moduleSize = 2;
            const std::vector<MatchRecord> records = Read(RenderBarcode(o));
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(XR_TextOf(records[0].rawData), Raw(m.raw));
        }
    }
    // The descriptor names the identifiers as for GS1-128.
    ImageOptions o;
    o.symbology = BARCODE_DBAR_EXP;
    o.data = "[01]98898765432106[3202]012345[15]991231";
    const std::vector<MatchRecord> records = Read(RenderBarcode(o));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(XR_TextOf(records[0].descriptor),
              "Serial Shipping Container Code (SSCC-14); Product Net Weight; Sell By Date");
    EXPECT_EQ(XR_TextOf(records[0].data),
              "Packaging type: Variable container; Serial number: 8898765432106; 123.450000 lbs; "
              "12/31/1999");
}

TEST(DataBarReading, ExpandedStackedOfEveryWidth) {
    // 22 characters: two to eleven pairs a row; from eleven on, one row.
    const std::string data = "[01]09501101530003[10]ABCDEFGHIJKLMNOPQRST[21]12345678901234";
    for (int columns = 1; columns <= 11; ++columns) {
        SCOPED_TRACE(columns);
        ImageOptions o;
        o.symbology = BARCODE_DBAR_EXPSTK;
        o.data = data;
        o.option2 = columns;
        o.moduleSize = 2;
        const std::vector<MatchRecord> records = Read(RenderBarcode(o));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(XR_TextOf(records[0].rawData),
                  Raw("|010950110153000310ABCDEFGHIJKLMNOPQRST|2112345678901234"));
        const bool stackedRows = SymbolRows(o).size() > 1;
        EXPECT_EQ(stackedRows, columns < 11);
        EXPECT_EQ(XR_TextOf(records[0].barcodeType),
                  stackedRows ? "GS1 DataBar Expanded Stacked" : "GS1 DataBar Expanded");
    }
}

TEST(DataBarReading, CompositeComponentsAreNamed) {
    const struct {
        int symbology;
        const char* primary;
        const char* raw;
        const char* type;
    } composites[] = {
        {BARCODE_DBAR_OMN_CC, "0950110153001", "|0109501101530010", "GS1 DataBar"},
        {BARCODE_DBAR_LTD_CC, "0950110153001", "|0109501101530010", "GS1 DataBar Limited"},
        {BARCODE_DBAR_EXP_CC, "[01]09501101530003[3103]001750", "|01095011015300033103001750",
         "GS1 DataBar Expanded"},
        {BARCODE_DBAR_STK_CC, "0950110153001", "|0109501101530010", "GS1 DataBar Stacked"},
        {BARCODE_DBAR_OMNSTK_CC, "0950110153001", "|0109501101530010",
         "GS1 DataBar Stacked Omnidirectional"},
        {BARCODE_DBAR_EXPSTK_CC, "[01]09501101530003[3103]001750[10]ABCDEF",
         "|0109501101530003310300175010ABCDEF", "GS1 DataBar Expanded Stacked"},
    };
    for (const auto& c : composites) {
        SCOPED_TRACE(c.symbology);
        ImageOptions o;
        o.symbology = c.symbology;
        o.primary = c.primary;
        o.data = "[10]LOT42";
        o.option2 = 2;
        o.moduleSize = 2;
        const std::vector<MatchRecord> records = Read(RenderBarcode(o));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(XR_TextOf(records[0].rawData), Raw(c.raw));
        const std::string type(XR_TextOf(records[0].barcodeType));
        // zint draws the Omnidirectional symbol of a composite short.
        EXPECT_TRUE(type.starts_with(c.type)) << type;
        EXPECT_TRUE(type.ends_with(" Composite")) << type;
    }
}

// A stacked symbol pasted row by row, the rows `leftOut` left out and the
// row `cut` cut short by `cutModules`.
Image StackedPicture(const ImageOptions& symbol, size_t leftOut, size_t cut, size_t cutModules) {
    const std::vector<SymbolRow> rows = SymbolRows(symbol);
    const double module = symbol.moduleSize;
    double height = 0;
    for (const SymbolRow& r : rows)
        height += r.height > 0 ? r.height : 34;
    Image canvas = BlankImage(static_cast<int32_t>((rows[0].modules.size() + 20) * module),
                              static_cast<int32_t>((height + 20) * module));
    double top = 10;
    size_t dataRow = 0;
    for (const SymbolRow& r : rows) {
        const double h = r.height > 0 ? r.height : 34;
        const bool isData = h > 1;
        if (!(isData && dataRow == leftOut)) {
            ImageOptions row;
            row.modules = r.modules;
            if (isData && dataRow == cut)
                row.modules = row.modules.substr(0, row.modules.size() - cutModules);
            row.moduleSize = module;
            row.heightModules = h;
            row.quietModules = 0;
            PasteBarcode(canvas, row, (10 + row.modules.size() / 2.0) * module,
                         (top + h / 2) * module);
        }
        dataRow += isData ? 1 : 0;
        top += h;
    }
    return canvas;
}

TEST(DataBarReading, AStackedSymbolWithARowMissingOrCutGivesNothing) {
    ImageOptions stacked;
    stacked.symbology = BARCODE_DBAR_STK;
    stacked.data = "0950110153001";
    stacked.moduleSize = 3;
    ImageOptions expanded;
    expanded.symbology = BARCODE_DBAR_EXPSTK;
    expanded.data = "[01]09501101530003[10]ABCDEFGHIJKL[21]1234567";
    expanded.option2 = 2;
    expanded.moduleSize = 2;
    for (const ImageOptions* symbol : {&stacked, &expanded}) {
        SCOPED_TRACE(symbol->symbology);
        // Whole, the rows pasted one by one make the symbol.
        ASSERT_EQ(Read(StackedPicture(*symbol, 99, 99, 0)).size(), 1u);
        size_t rows = 0;
        for (const SymbolRow& r : SymbolRows(*symbol))
            rows += r.height == 0 || r.height > 1 ? 1 : 0;
        ASSERT_GE(rows, 2u);
        for (size_t r = 0; r < rows; ++r) {
            SCOPED_TRACE(r);
            EXPECT_TRUE(Read(StackedPicture(*symbol, r, 99, 0)).empty());
            // A character and its guard cut off.
            EXPECT_TRUE(Read(StackedPicture(*symbol, 99, r, 19)).empty());
        }
    }
}

TEST(DataBarReading, AChangedCharacterOrChecksumGivesNothing) {
    const struct {
        int symbology;
        const char* data;
        size_t a, b;  // elements from the first bar swapped: two of one colour, of two widths
    } changes[] = {
        {BARCODE_DBAR_OMN, "0950110153001", 1, 3},    // character 1
        {BARCODE_DBAR_OMN, "0950110153001", 10, 12},  // the left finder: its checksum
        {BARCODE_DBAR_LTD, "1501234567890", 29, 33},  // the right character
        {BARCODE_DBAR_LTD, "1501234567890", 15, 17},  // the check character
        {BARCODE_DBAR_EXP, "[01]98898765432106[3202]012345[15]991231", 22, 24},  // data
        {BARCODE_DBAR_EXP, "[01]98898765432106[3202]012345[15]991231", 2, 4},    // check
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(testing::Message() << c.symbology << ": " << c.a << ", " << c.b);
        ImageOptions o;
        o.symbology = c.symbology;
        o.data = c.data;
        o.moduleSize = 2;
        ASSERT_EQ(Read(RenderBarcode(o)).size(), 1u);
        std::vector<int32_t> widths = ElementWidths(SymbolModules(o));
        ASSERT_NE(widths[c.a], widths[c.b]);
        std::swap(widths[c.a], widths[c.b]);
        o.modules = ModulesOfWidths(widths);
        EXPECT_TRUE(Read(RenderBarcode(o)).empty());
    }
}

TEST(DataBarReading, ClutterGivesNothing) {
    int pictures = 0;
    for (int kind = 0; kind < kClutterKinds; ++kind) {
        for (uint32_t seed = 1; seed <= 50; ++seed) {
            const std::vector<MatchRecord> records =
                Read(ClutterImage(static_cast<Clutter>(kind), seed));
            EXPECT_TRUE(records.empty())
                << ClutterName(static_cast<Clutter>(kind)) << " " << seed << ": "
                << (records.empty() ? "" : XR_TextOf(records[0].rawData));
            ++pictures;
        }
    }
    EXPECT_EQ(pictures, 300);
}

}  // namespace
