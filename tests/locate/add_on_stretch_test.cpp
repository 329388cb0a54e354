#include "engine/locate/add_on_stretch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/reader.h"
#include "tests/support/image_renderer.h"
#include "tests/support/picture_search.h"

namespace {

using namespace zeph::test;
using zeph::locate::DropReadsOnAddOnStretches;
using zeph::locate::LiesOnAddOnStretch;

MatchRecord Record(const char* symbology, const char* raw, int x0, int y0, int x1, int y1,
                   const char* type = "Generic") {
    MatchRecord r;
    XR_SetText(r.symbology, symbology);
    XR_SetText(r.rawData, raw);
    XR_SetText(r.barcodeType, type);
    r.startX = x0;
    r.startY = y0;
    r.stopX = x1;
    r.stopY = y1;
    return r;
}

// An EAN-13 of 2 px modules from x = 100 to 290 on row 100.
const MatchRecord kEan = Record("EAN-13", "4006381333931", 100, 100, 290, 100);

TEST(AddOnStretch, ReadsWithoutACheckWhereTheAddOnWouldBe) {
    // Nine modules past the symbol, read either way, on another row of the bars.
    EXPECT_TRUE(LiesOnAddOnStretch(kEan, Record("Interleaved 2 of 5", "8888", 398, 90, 306, 90)));
    EXPECT_TRUE(LiesOnAddOnStretch(kEan, Record("CODABAR", "A1A", 306, 130, 360, 130)));
    EXPECT_TRUE(LiesOnAddOnStretch(kEan, Record("CODE-39", "AB", 306, 100, 398, 100)));
    // Checked reads stand; so do reads beyond the add-on, before the symbol,
    // or far above it.
    EXPECT_FALSE(LiesOnAddOnStretch(
        kEan, Record("CODE-39", "AB", 306, 100, 398, 100, "Generic with checksum")));
    EXPECT_FALSE(LiesOnAddOnStretch(kEan, Record("CODE-128", "AB", 306, 100, 398, 100)));
    EXPECT_FALSE(
        LiesOnAddOnStretch(kEan, Record("Interleaved 2 of 5", "8888", 306, 100, 480, 100)));
    EXPECT_FALSE(LiesOnAddOnStretch(kEan, Record("Interleaved 2 of 5", "8888", 0, 100, 90, 100)));
    EXPECT_FALSE(
        LiesOnAddOnStretch(kEan, Record("Interleaved 2 of 5", "8888", 306, 250, 398, 250)));
    // Nothing lies on the stretch of a symbol that takes no add-on.
    EXPECT_FALSE(LiesOnAddOnStretch(Record("CODE-128", "4006381333931", 100, 100, 290, 100),
                                    Record("Interleaved 2 of 5", "8888", 306, 100, 398, 100)));
}

TEST(AddOnStretch, AReadAddOnEndsTheStretch) {
    // EAN-13, gap and five-digit add-on: 151 modules of 2 px, turned 90 degrees.
    const MatchRecord symbol =
        Record("EAN-13 + UPC Supplemental", "4006381333931 + 51234", 50, 0, 50, 302);
    EXPECT_TRUE(LiesOnAddOnStretch(symbol, Record("Interleaved 2 of 5", "8888", 60, 300, 60, 208)));
    EXPECT_FALSE(
        LiesOnAddOnStretch(symbol, Record("Interleaved 2 of 5", "8888", 50, 310, 50, 420)));
}

TEST(AddOnStretch, DroppedReadsLeaveTheOthersInOrder) {
    std::vector<MatchRecord> records = {Record("Interleaved 2 of 5", "8888", 398, 100, 306, 100),
                                        kEan, Record("CODE-128", "X", 500, 500, 700, 500),
                                        Record("Interleaved 2 of 5", "1234", 306, 100, 398, 100)};
    EXPECT_EQ(DropReadsOnAddOnStretches(records, 4), 2);
    EXPECT_EQ(XR_TextOf(records[0].rawData), "4006381333931");
    EXPECT_EQ(XR_TextOf(records[1].rawData), "X");
    EXPECT_EQ(DropReadsOnAddOnStretches(records, 0), 0);
}

TEST(AddOnStretch, AnAddOnsBarsGiveNoInterleavedTwoOfFive) {
    // zint's add-on 00000 also matches an Interleaved 2 of 5 "8888", whether
    // or not the line across the symbol reached the add-on.
    const struct {
        double moduleSize;
        int gap;
        const char* raw;
    } cases[] = {{5, 7, "4006381333931 + 00000"}, {3, 12, "4006381333931"}};
    for (const auto& c : cases) {
        ImageOptions o;
        o.symbology = BARCODE_EANX;
        o.data = "400638133393+00000";
        o.moduleSize = c.moduleSize;
        o.option2 = c.gap;
        EXPECT_EQ(SearchPicture(RenderBarcode(o)).RawTexts(), std::vector<std::string>{c.raw})
            << c.moduleSize << " px, gap " << c.gap;
    }
}

}  // namespace
