#include "tests/support/picture_search.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zeph::test {

std::vector<std::string> PictureReads::RawTexts() const {
    std::vector<std::string> texts;
    for (const MatchRecord& r : records)
        texts.emplace_back(XR_TextOf(r.rawData));
    std::sort(texts.begin(), texts.end());
    return texts;
}

PictureReads SearchPicture(const Image& image, bool thorough, const char* settings) {
    GreyRaster raster;
    EXPECT_EQ(XR_RasterFromBgrRows(image.Bytes(), image.width, image.height, image.stride, raster),
              1);
    const ReaderConfigPtr config = XR_ParseConfig(settings);
    PictureReads reads;
    reads.records.resize(kMaxMatches);
    reads.count = thorough ? XR_SearchThorough(raster.Values(), raster.height, raster.width,
                                               kMaxGrey, config.get(), reads.records, kMaxMatches)
                           : XR_Search(raster.Values(), raster.height, raster.width, kMaxGrey,
                                       config.get(), reads.records);
    reads.records.resize(static_cast<size_t>(std::max(reads.count, 0)));
    return reads;
}

PictureReads ExtendedSearchPicture(const Image& image, int32_t mask, const char* settings) {
    GreyRaster raster;
    EXPECT_EQ(XR_RasterFromBgrRows(image.Bytes(), image.width, image.height, image.stride, raster),
              1);
    const ReaderConfigPtr config = XR_ParseConfig(settings);
    PictureReads reads;
    if (!config) return reads;
    config->protocolMask = mask;
    reads.records.resize(kMaxMatches);
    reads.count = XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                    config.get(), reads.records, kMaxMatches, true);
    reads.records.resize(static_cast<size_t>(std::max(reads.count, 0)));
    return reads;
}

}  // namespace zeph::test
