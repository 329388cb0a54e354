// Add-ons the engine's search leaves behind: its line stops in the gap before
// the add-on, and the extended search completes its record with the add-on
// it reads after that gap.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/extended/read_ledger.h"
#include "engine/reader.h"
#include "tests/support/image_renderer.h"
#include "tests/support/picture_search.h"

namespace {

using namespace zeph::test;

MatchRecord Record(const char* symbology, const char* raw) {
    MatchRecord r;
    std::strncpy(r.symbology.data(), symbology, r.symbology.size() - 1);
    std::strncpy(r.rawData.data(), raw, r.rawData.size() - 1);
    return r;
}

TEST(AddOn, CompletesOnlyTheSameSymbolWithoutAnAddOn) {
    using zeph::extended::Completes;
    const MatchRecord whole = Record("EAN-13 + UPC Supplemental", "4006381333931 + 51234");
    EXPECT_TRUE(Completes(whole, Record("EAN-13", "4006381333931")));
    EXPECT_FALSE(Completes(whole, Record("EAN-13", "4006381333948")));
    EXPECT_FALSE(Completes(whole, Record("EAN-8", "4006381333931")));
    EXPECT_FALSE(Completes(whole, Record("EAN-13", "4006381333931 + 51234")));
    EXPECT_FALSE(Completes(Record("EAN-13", "4006381333931"), Record("EAN-13", "4006381333931")));
    EXPECT_FALSE(Completes(Record("EAN-13X + UPC Supplemental", "4006381333931 + 12"),
                           Record("EAN-13", "4006381333931")));
}

// Gaps of 9 to 12 modules, at a few module sizes: where the engine's search
// reads the symbol alone, the extended search gives the same record (its
// confidence, the main symbol's) with the add-on's texts, and adds nothing.
TEST(AddOn, AfterAWideGapCompletesTheKeptRecord) {
    int completed = 0;
    for (const int gap : {9, 12}) {
        for (const double module : {1.5, 2.0, 3.0}) {
            ImageOptions o;
            o.data = "400638133393+51234";
            o.option2 = gap;
            o.moduleSize = module;
            const Image image = RenderBarcode(o);
            SCOPED_TRACE(std::to_string(gap) + " modules, " + std::to_string(module) + " px");
            const PictureReads base = SearchPicture(image);
            const PictureReads ext = SearchExtendedPicture(image, kDefaultProtocolMask);
            ASSERT_EQ(base.count, 1);
            ASSERT_EQ(ext.count, 1);
            EXPECT_EQ(XR_TextOf(ext.records[0].rawData), "4006381333931 + 51234");
            EXPECT_EQ(XR_TextOf(ext.records[0].symbology), "EAN-13 + UPC Supplemental");
            EXPECT_EQ(ext.records[0].confidence, base.records[0].confidence);
            if (XR_TextOf(base.records[0].rawData) == "4006381333931") ++completed;
        }
    }
    // The case this is for occurs: the search alone misses the add-on.
    EXPECT_GT(completed, 0);
}

// Blur of 0.6 to 0.7 modules merges an add-on's bars while the main symbol
// still reads (these the lines' bar lists lose): the add-on's profile
// completes the record, five digits on one line and two on two lines apart.
TEST(AddOn, BlurredAddOnCompletesTheRecord) {
    const struct {
        int symbology;
        const char* data;
        double module;
        double blur;  // in modules
        const char* raw;
    } cases[] = {{BARCODE_EANX, "978020175284+55999", 1.5, 0.7, "9780201752847 + 55999"},
                 {BARCODE_EANX, "978020175284+55999", 2.5, 0.7, "9780201752847 + 55999"},
                 {BARCODE_EANX, "978020175284+55999", 2.9, 0.7, "9780201752847 + 55999"},
                 {BARCODE_EANX, "400638133393+05", 2.9, 0.7, "4006381333931 + 05"},
                 {BARCODE_UPCA, "03600029145+12", 1.5, 0.6, "0036000291452 + 12"}};
    for (const auto& c : cases) {
        ImageOptions o;
        o.symbology = c.symbology;
        o.data = c.data;
        o.option2 = 9;
        o.moduleSize = c.module;
        o.blurSigma = c.blur * c.module;
        SCOPED_TRACE(std::string(c.data) + ", " + std::to_string(c.module) + " px");
        const PictureReads ext = SearchExtendedPicture(RenderBarcode(o), kDefaultProtocolMask);
        ASSERT_EQ(ext.count, 1);
        EXPECT_EQ(XR_TextOf(ext.records[0].rawData), c.raw);
    }
}

// Blurred EAN-13 and UPC-A symbols without an add-on, alone, with a Code 128
// symbol or another EAN-13 symbol an add-on's gap after them, or digits
// printed there: no add-on appears.
TEST(AddOn, NoneWhereThereIsNone) {
    const struct {
        int symbology;
        const char* data;
        const char* raw;
    } mains[] = {{BARCODE_EANX, "978020175284", "9780201752847"},
                 {BARCODE_UPCA, "03600029145", "0036000291452"}};
    const struct {
        int symbology;
        const char* data;
    } besides[] = {{0, ""}, {BARCODE_CODE128, "AB12345"}, {BARCODE_EANX, "501234567890"}};
    constexpr double kModule = 2.0;
    int mainReads = 0;
    for (const auto& m : mains) {
        for (const auto& b : besides) {
            for (const double blur : {0.4, 0.6}) {
                Image image = BlankImage(640, 260);
                ImageOptions main;
                main.symbology = m.symbology;
                main.data = m.data;
                main.moduleSize = kModule;
                main.showText = true;
                const Placement placed = PasteBarcode(image, main, 200, 130);
                if (b.symbology != 0) {
                    ImageOptions beside;
                    beside.symbology = b.symbology;
                    beside.data = b.data;
                    beside.moduleSize = kModule;
                    beside.showText = true;
                    const double width = kModule * double(SymbolModules(beside).size());
                    PasteBarcode(image, beside, placed.stop.x + 9 * kModule + width / 2, 130);
                }
                Blur(image, blur * kModule);
                SCOPED_TRACE(std::string(m.data) + " beside " + b.data + ", blur " +
                             std::to_string(blur));
                const PictureReads ext = SearchExtendedPicture(image, kDefaultProtocolMask);
                for (const MatchRecord& r : ext.records) {
                    EXPECT_EQ(XR_TextOf(r.rawData).find(" + "), std::string_view::npos)
                        << XR_TextOf(r.rawData);
                    mainReads += XR_TextOf(r.rawData) == m.raw;
                }
            }
        }
    }
    // The symbols read, so their lines were looked along.
    EXPECT_GE(mainReads, 6);
}

}  // namespace
