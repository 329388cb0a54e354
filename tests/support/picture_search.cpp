#include "tests/support/picture_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace zeph::test {

std::vector<std::string> PictureReads::RawTexts() const {
    std::vector<std::string> texts;
    for (const MatchRecord& r : records)
        texts.emplace_back(XR_TextOf(r.rawData));
    std::sort(texts.begin(), texts.end());
    return texts;
}

namespace {

GreyRaster RasterOf(const Image& image) {
    GreyRaster raster;
    EXPECT_EQ(XR_RasterFromBgrRows(image.Bytes(), image.width, image.height, image.stride, raster),
              1);
    return raster;
}

// The first `count` records (none for a failed search).
PictureReads Kept(std::vector<MatchRecord> records, int count) {
    PictureReads reads;
    reads.count = count;
    records.resize(static_cast<size_t>(std::max(count, 0)));
    reads.records = std::move(records);
    return reads;
}

}  // namespace

PictureReads SearchPicture(const Image& image, bool thorough, const char* settings) {
    const GreyRaster raster = RasterOf(image);
    const ReaderConfigPtr config = XR_ParseConfig(settings);
    std::vector<MatchRecord> records(kMaxMatches);
    const int count = thorough ? XR_SearchThorough(raster.Values(), raster.height, raster.width,
                                                   kMaxGrey, config.get(), records, kMaxMatches)
                               : XR_Search(raster.Values(), raster.height, raster.width, kMaxGrey,
                                           config.get(), records);
    return Kept(std::move(records), count);
}

PictureReads SearchExtendedPicture(const Image& image, int32_t mask, bool thorough,
                                   const char* settings) {
    const GreyRaster raster = RasterOf(image);
    const ReaderConfigPtr config = XR_ParseConfig(settings);
    if (!config) return {};
    config->protocolMask = mask;
    std::vector<MatchRecord> records(kMaxMatches);
    const int count = XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                        config.get(), records, kMaxMatches, thorough);
    return Kept(std::move(records), count);
}

}  // namespace zeph::test
