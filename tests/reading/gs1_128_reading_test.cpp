// GS1-128 symbols drawn by an independent generator, read through the thorough
// search and described: application identifiers with their dates, measures,
// prices and container codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/reader.h"
#include "tests/support/image_renderer.h"
#include "tests/support/picture_search.h"

namespace {

using namespace zeph::test;

// '|' stands for the FNC1 byte of the decoded text.
std::string Raw(std::string text) {
    std::replace(text.begin(), text.end(), '|', static_cast<char>(0xFF));
    return text;
}

struct Gs1Case {
    const char* name;
    const char* input;  // as the generator takes it
    const char* rawData;
    const char* data;
    const char* descriptor;
};

void PrintTo(const Gs1Case& c, std::ostream* os) {
    *os << c.name;
}

const Gs1Case kCases[] = {
    {"GtinExpiryBatch", "[01]09501101530003[17]261231[10]ABC", "|01095011015300031726123110ABC",
     "Packaging type: Case; Serial number: 9501101530003; 12/31/2026; ABC",
     "Serial Shipping Container Code (SSCC-14); Expiration Date; Batch Number"},
    {"Sscc", "[00]106141411234567897", "|00106141411234567897",
     "Packaging type: Pallet; Serial number: 06141411234567897",
     "Serial Shipping Container Code (SSCC-18)"},
    {"NetWeightAndSellByMonth", "[01]09501101530003[3103]001500[15]261200",
     "|0109501101530003310300150015261200",
     "Packaging type: Case; Serial number: 9501101530003; 1.500000 kg; 12/2026",
     "Serial Shipping Container Code (SSCC-14); Product Net Weight; Sell By Date"},
    // The price has no fixed length for the generator, so an FNC1 ends it.
    {"PriceAndProductionDate", "[8005]001299[11]991231", "|8005001299|11991231",
     "12.99; 12/31/1999", "Price per Unit; Production Date"},
    {"WeightInPoundsAndSerial", "[3202]012345[21]S1", "|320201234521S1", "123.450000 lbs; S1",
     "Product Net Weight; Serial Number"},
};

class Gs1128Reading : public ::testing::TestWithParam<Gs1Case> {};

TEST_P(Gs1128Reading, ThoroughSearchReadsAndDescribesTheSymbol) {
    const Gs1Case& c = GetParam();
    const struct {
        double angle;
        double moduleSize;
        double blur;
    } views[] = {{0, 3.0, 0.0}, {90, 2.5, 0.6}, {200, 3.0, 0.6}};
    for (const auto& view : views) {
        SCOPED_TRACE(testing::Message() << view.angle << " degrees");
        ImageOptions o;
        o.symbology = BARCODE_GS1_128;
        o.data = c.input;
        o.angle = view.angle;
        o.moduleSize = view.moduleSize;
        o.blurSigma = view.blur;
        o.noise = 4;
        const std::vector<MatchRecord> records = SearchPicture(RenderBarcode(o)).records;
        ASSERT_EQ(records.size(), 1u);
        const MatchRecord& r = records[0];
        EXPECT_EQ(XR_TextOf(r.rawData), Raw(c.rawData));
        EXPECT_EQ(XR_TextOf(r.data), c.data);
        EXPECT_EQ(XR_TextOf(r.descriptor), c.descriptor);
        EXPECT_EQ(XR_TextOf(r.barcodeType), "UCC/EAN-128");
        EXPECT_EQ(XR_TextOf(r.symbology), "CODE-128");
    }
}

INSTANTIATE_TEST_SUITE_P(Symbols, Gs1128Reading, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Gs1Case>& info) {
                             return std::string(info.param.name);
                         });

// The same digits without the leading FNC1 are plain Code 128 and are not
// interpreted.
TEST(Gs1128Reading, DigitsWithoutFnc1AreNotInterpreted) {
    ImageOptions o;
    o.symbology = BARCODE_CODE128;
    o.data = "0109501101530003";
    const std::vector<MatchRecord> records = SearchPicture(RenderBarcode(o)).records;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(XR_TextOf(records[0].rawData), "0109501101530003");
    EXPECT_EQ(XR_TextOf(records[0].data), "0109501101530003");
    EXPECT_EQ(XR_TextOf(records[0].barcodeType), "Generic");
    EXPECT_EQ(XR_TextOf(records[0].descriptor), "");
}

}  // namespace
