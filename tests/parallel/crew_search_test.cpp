// A search spread over a crew of threads gives, to the last digit, the records
// the same search gives on the calling thread alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/parallel/work_crew.h"
#include "engine/reader.h"
#include "tests/support/corpus.h"
#include "tests/support/image_renderer.h"
#include "tests/support/rendered_set.h"

namespace {

using namespace zeph::test;

class CrewSearch : public ::testing::Test {
  protected:
    // The thorough search, and the extended search in both flavours, alone
    // and on the crew; returns the records of the first, alone.
    std::string ExpectSameOnCrew(const GreyRaster& raster, const std::string& name) {
        std::string thoroughAlone;
        for (const int kind : {0, 1, 2}) {
            std::string blocks[2];
            for (const bool onCrew : {false, true}) {
                config_->crew = onCrew ? &crew_ : nullptr;
                const int n =
                    kind == 0
                        ? XR_SearchThorough(raster.Values(), raster.height, raster.width, kMaxGrey,
                                            config_.get(), records_, kMaxMatches)
                        : XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                            config_.get(), records_, kMaxMatches, kind == 1);
                EXPECT_GE(n, 0) << name;
                if (n < 0) return {};
                blocks[onCrew] = FormatRecords(name, std::span(records_).first(n));
            }
            config_->crew = nullptr;
            EXPECT_EQ(blocks[1], blocks[0]) << (kind == 0 ? "thorough" : "extended");
            if (kind == 0) thoroughAlone = blocks[0];
        }
        return thoroughAlone;
    }

    zeph::WorkCrew crew_{3};
    ReaderConfigPtr config_ = XR_ParseConfig("");
    std::vector<MatchRecord> records_ = std::vector<MatchRecord>(kMaxMatches);
};

TEST_F(CrewSearch, CorpusImagesGiveTheRecordsOfTheSerialSearch) {
    const auto folder = FindCorpus();
    if (!folder) GTEST_SKIP() << "no corpus beside the repository";
    ASSERT_EQ(crew_.Threads(), 3);
    GreyRaster raster;
    for (const CorpusImage& image : CorpusImages(*folder)) {
        ASSERT_TRUE(LoadCorpusImage(image, raster)) << image.name;
        ExpectSameOnCrew(raster, image.name);
    }
}

TEST_F(CrewSearch, RenderedPicturesGiveTheRecordsOfTheSerialSearch) {
    GreyRaster raster;
    for (const RenderedPicture& picture : RenderedSet()) {
        ASSERT_EQ(XR_RasterFromBgrRows(picture.image.pixels, picture.image.width,
                                       picture.image.height, picture.image.stride, raster),
                  1);
        ExpectSameOnCrew(raster, picture.name);
    }
}

TEST_F(CrewSearch, APatchCodeChangesTheReadsAfterItAsOnOneThread) {
    // Two patch codes and a symbol below: once the first patch code is read,
    // the second is not, which the crew must honour for reads it has already
    // made.
    const auto symbol = [](const char* elements, int wide, double narrowPixels) {
        ImageOptions o;
        o.modules = WideNarrowModules(elements, 1, wide);
        o.moduleSize = narrowPixels;
        o.heightModules = 40;
        return o;
    };
    Image picture = BlankImage(800, 800);
    PasteBarcode(picture, symbol("WNNNNNW", 2, 8), 200, 200);
    PasteBarcode(picture, symbol("NNWNWNN", 2, 8), 600, 350);
    ImageOptions itf;
    itf.symbology = BARCODE_C25INTER;
    itf.data = "1234567890";
    PasteBarcode(picture, symbol(ElementsOf(SymbolModules(itf)).c_str(), 3, 3), 400, 700);
    Blur(picture, 0.5);
    GreyRaster raster;
    ASSERT_EQ(
        XR_RasterFromBgrRows(picture.pixels, picture.width, picture.height, picture.stride, raster),
        1);
    const std::string records = ExpectSameOnCrew(raster, "patch codes");
    // The picture does what it is for: one patch code and the symbol.
    EXPECT_NE(records.find("Patch Code\t2"), std::string::npos) << records;
    EXPECT_EQ(records.find("Patch Code\t4"), std::string::npos) << records;
    EXPECT_NE(records.find("1234567890"), std::string::npos) << records;
}

}  // namespace
