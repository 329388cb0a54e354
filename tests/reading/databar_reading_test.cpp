// GS1 DataBar symbols of every variant drawn by an independent generator and
// read through the extended search: sizes, turns, blur, noise and JPEG;
// stacked symbols whose rows the pictures take apart; pictures that hold no
// symbol at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/reader.h"
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
    return ExtendedSearchPicture(image, kExtendedProtocolMask).records;
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
