// Code 39 and Code 93 pictures drawn by an independent generator, read through
// the thorough search at the four quarter turns and two module sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "engine/reader.h"
#include "tests/support/image_renderer.h"
#include "tests/support/picture_search.h"

namespace {

using namespace zeph::test;

struct Symbol {
    const char* name;
    int symbology;
    std::string data;  // as the generator takes it
    std::string rawData;
    std::string text;
    const char* symbologyName;
    const char* barcodeType;
    const char* descriptor;
};

const Symbol kSymbols[] = {
    {"Code39", BARCODE_CODE39, "CODE 39", "CODE 39", "CODE 39", "CODE-39", "Generic", ""},
    // The generator appends no check character here, so the data carries it.
    {"Code39Checked", BARCODE_CODE39, "CODE 39R", "CODE 39R", "CODE 39R", "CODE-39",
     "Generic with checksum", ""},
    // Drawn with wide elements three times the narrow ones.
    {"Logmars", BARCODE_LOGMARS, "ZEPH-39A", "ZEPH-39A", "ZEPH-39A", "CODE-39",
     "Generic with checksum", ""},
    {"Code39FullAscii", BARCODE_EXCODE39, "Zeph 39!", "Z+E+P+H 39/A", "Zeph 39!", "CODE-39",
     "Generic", "Extended ASCII formatting"},
    // The VIN symbology as the generator draws it by default: the 17 characters
    // without the import prefix, an ordinary symbol.
    {"Vin", BARCODE_VIN, "1M8GDM9AXKP042788", "1M8GDM9AXKP042788", "1M8GDM9AXKP042788", "CODE-39",
     "Generic", ""},
    // With the import prefix "I", which the generator draws exactly like Code 39.
    {"VinWithPrefix", BARCODE_CODE39, "I1M8GDM9AXKP042788", "I1M8GDM9AXKP042788",
     "WMI: 1M8; VDS: GDM9A; Year: 1989; Plant: P; Serial#: 042788", "CODE-39", "VIN",
     "Vehicle Identification Number"},
    {"Code93FullAscii", BARCODE_CODE93, "Code 93!",
     "C\xFCO\xFC"
     "D\xFC"
     "E 93\xFD"
     "A",
     "Code 93!", "CODE-93", "Generic", ""},
};

void PrintTo(const Symbol& s, std::ostream* os) {
    *os << s.name;
}

class QuarterTurns : public ::testing::TestWithParam<Symbol> {};

TEST_P(QuarterTurns, ThoroughSearchReadsEveryText) {
    const Symbol& s = GetParam();
    for (double angle : {0.0, 90.0, 180.0, 270.0}) {
        for (double moduleSize : {2.0, 3.0}) {
            ImageOptions o;
            o.symbology = s.symbology;
            o.data = s.data;
            o.angle = angle;
            o.moduleSize = moduleSize;
            // Room for the longest symbol (the VIN at 3 px per module) across
            // the whole picture.
            o.canvasWidth = 1000;
            o.canvasHeight = 1000;
            o.blurSigma = 0.5;
            const std::vector<MatchRecord> records = SearchPicture(RenderBarcode(o)).records;
            const std::string where =
                std::to_string(angle) + " degrees, " + std::to_string(moduleSize) + " px";
            if (records.size() != 1) {
                ADD_FAILURE() << records.size() << " reads at " << where;
                for (const MatchRecord& r : records)
                    ADD_FAILURE() << XR_TextOf(r.rawData) << " " << XR_TextOf(r.symbology);
                continue;
            }
            const MatchRecord& r = records[0];
            EXPECT_EQ(XR_TextOf(r.rawData), s.rawData) << where;
            EXPECT_EQ(XR_TextOf(r.data), s.text) << where;
            EXPECT_EQ(XR_TextOf(r.symbology), s.symbologyName) << where;
            EXPECT_EQ(XR_TextOf(r.barcodeType), s.barcodeType) << where;
            EXPECT_EQ(XR_TextOf(r.descriptor), s.descriptor) << where;
            EXPECT_GT(r.confidence, 0.81f) << where;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Code39Code93, QuarterTurns, ::testing::ValuesIn(kSymbols),
                         [](const ::testing::TestParamInfo<Symbol>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
