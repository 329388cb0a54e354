// Every record the extended search gives (texts, end points, confidences as
// the report prints them), on every corpus image in both flavours and on a
// fixed set of rendered pictures, as kept in tests/data. Work on the engine's
// speed must leave them exactly so.
//
// With ZEPH_WRITE_RESULT_RECORDS=FOLDER the records are written to
// FOLDER/extended_corpus_records.txt and FOLDER/extended_rendered_records.txt
// instead of compared.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/reader.h"
#include "tests/support/corpus.h"
#include "tests/support/rendered_set.h"

namespace {

using namespace zeph::test;

const std::string kData = std::string(ZEPH_SOURCE_DIR) + "/tests/data/";

class ResultRecords : public ::testing::Test {
  protected:
    // Compares (or writes) the block of records of one picture.
    void Check(const std::map<std::string, std::string>& expected, const std::string& heading,
               int count) {
        ASSERT_GE(count, 0) << heading;
        const std::string block =
            FormatRecords(heading, std::span(records_).first(static_cast<size_t>(count)),
                          Confidence::kAsReported);
        written_ += block;
        if (writeTo_) return;
        const auto it = expected.find(heading);
        ASSERT_NE(it, expected.end()) << heading;
        EXPECT_EQ(block, it->second);
    }
    void Finish(const std::string& file) {
        if (writeTo_) std::ofstream(std::string(writeTo_) + "/" + file) << written_;
    }
    int Extended(const GreyRaster& raster, bool thorough) {
        return XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                 config_.get(), records_, kMaxMatches, thorough);
    }

    const char* writeTo_ = std::getenv("ZEPH_WRITE_RESULT_RECORDS");
    ReaderConfigPtr config_ = XR_ParseConfig("");
    std::vector<MatchRecord> records_ = std::vector<MatchRecord>(kMaxMatches);
    std::string written_;
};

TEST_F(ResultRecords, CorpusImagesGiveTheKeptRecords) {
    const auto folder = FindCorpus();
    if (!folder) GTEST_SKIP() << "no corpus beside the repository";
    const auto expected = ReadRecordBlocks(kData + "extended_corpus_records.txt");
    GreyRaster raster;
    for (const CorpusImage& image : CorpusImages(*folder)) {
        ASSERT_TRUE(LoadCorpusImage(image, raster)) << image.name;
        Check(expected, image.name + " T", Extended(raster, true));
        Check(expected, image.name + " S", Extended(raster, false));
    }
    Finish("extended_corpus_records.txt");
}

TEST_F(ResultRecords, RenderedPicturesGiveTheKeptRecords) {
    const auto expected = ReadRecordBlocks(kData + "extended_rendered_records.txt");
    GreyRaster raster;
    for (const RenderedPicture& picture : RenderedSet()) {
        ASSERT_EQ(XR_RasterFromBgrRows(picture.image.pixels, picture.image.width,
                                       picture.image.height, picture.image.stride, raster),
                  1);
        Check(expected, picture.name + " T", Extended(raster, true));
    }
    Finish("extended_rendered_records.txt");
}

}  // namespace
