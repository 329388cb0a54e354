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

}  // namespace
