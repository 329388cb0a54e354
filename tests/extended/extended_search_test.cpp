// The extended search on pictures of each kind the engine's own searches
// miss, drawn by an independent generator: it reads them, and the records of
// the engine's search come first, exactly as that search gave them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/reader.h"
#include "tests/support/clutter_renderer.h"
#include "tests/support/image_renderer.h"
#include "tests/support/missed_pictures.h"
#include "tests/support/picture_search.h"

namespace {

using namespace zeph::test;

struct Searches {
    PictureReads base;      // the engine's own search
    PictureReads extended;  // the same flavour, extended
};

GreyRaster RasterOf(const Image& image) {
    GreyRaster raster;
    EXPECT_EQ(XR_RasterFromBgrRows(image.pixels, image.width, image.height, image.stride, raster),
              1);
    return raster;
}

std::vector<std::string> Texts(const std::vector<MatchRecord>& records) {
    std::vector<std::string> texts;
    for (const MatchRecord& r : records)
        texts.emplace_back(XR_TextOf(r.rawData));
    return texts;
}

// Both searches of one flavour; the extended records begin with the base
// ones, field for field.
Searches Search(const Image& image, bool thorough = true) {
    Searches s;
    s.base = SearchPicture(image, thorough);
    const GreyRaster raster = RasterOf(image);
    ReaderConfigPtr config = XR_ParseConfig("");
    std::vector<MatchRecord> records(kMaxMatches);
    s.extended.count = XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                         config.get(), records, kMaxMatches, thorough);
    records.resize(static_cast<size_t>(std::max(0, s.extended.count)));
    s.extended.records = records;
    EXPECT_GE(s.extended.count, s.base.count);
    for (int i = 0; i < s.base.count && i < s.extended.count; ++i) {
        const MatchRecord& a = s.base.records[static_cast<size_t>(i)];
        const MatchRecord& b = s.extended.records[static_cast<size_t>(i)];
        EXPECT_EQ(XR_TextOf(a.rawData), XR_TextOf(b.rawData));
        EXPECT_EQ(XR_TextOf(a.data), XR_TextOf(b.data));
        EXPECT_EQ(a.confidence, b.confidence);
        EXPECT_EQ(a.startX, b.startX);
        EXPECT_EQ(a.startY, b.startY);
        EXPECT_EQ(a.stopX, b.stopX);
        EXPECT_EQ(a.stopY, b.stopY);
        EXPECT_EQ(a.centreX, b.centreX);
        EXPECT_EQ(a.centreY, b.centreY);
    }
    return s;
}

// The extended search reads exactly `raw` where the engine's search reads
// nothing.
void ExpectOnlyExtendedReads(const Image& image, const std::string& raw) {
    const Searches s = Search(image);
    EXPECT_EQ(s.base.count, 0);
    EXPECT_EQ(Texts(s.extended.records), std::vector<std::string>{raw});
}

TEST(ExtendedSearch, ReadsEveryKindOfPictureTheSearchMisses) {
    for (const MissedPicture& picture : MissedPictures()) {
        SCOPED_TRACE(picture.kind);
        ExpectOnlyExtendedReads(picture.image, picture.raw);
    }
}

TEST(ExtendedSearch, ReadsFaintSymbolsLevelAndTurned) {
    ImageOptions o = FaintLabel();
    o.ink = 180;
    o.paper = 200;
    o.noise = 4;
    o.canvasWidth = 360;
    o.canvasHeight = 360;
    for (const double angle : {0.0, 33.0, 101.0}) {
        o.angle = angle;
        SCOPED_TRACE(angle);
        ExpectOnlyExtendedReads(RenderBarcode(o), "4006381333931");
    }
}

TEST(ExtendedSearch, TheStandardFlavourAddsOneReadAndOnlyWhenTheSearchFoundNone) {
    // Two faint symbols: one is added.
    Image faint = BlankImage(640, 300, 205);
    ImageOptions o;
    o.symbology = BARCODE_EANX;
    o.moduleSize = 2.5;
    o.ink = 170;
    o.data = "400638133393";
    PasteBarcode(faint, o, 170, 150);
    o.data = "501234567890";
    PasteBarcode(faint, o, 470, 150);
    Blur(faint, 0.8);
    const Searches one = Search(faint, false);
    EXPECT_EQ(one.base.count, 0);
    EXPECT_EQ(one.extended.count, 1);

    // A clear symbol beside a faint one: the search's read is all there is.
    Image mixed = BlankImage(640, 300, 205);
    o.ink = 0;
    o.data = "400638133393";
    PasteBarcode(mixed, o, 170, 150);
    o.ink = 170;
    o.data = "501234567890";
    PasteBarcode(mixed, o, 470, 150);
    Blur(mixed, 0.8);
    const Searches both = Search(mixed, false);
    EXPECT_EQ(both.base.count, 1);
    EXPECT_EQ(both.extended.count, 1);
    // The thorough flavour adds the faint one.
    const Searches thorough = Search(mixed, true);
    EXPECT_EQ(thorough.extended.count, thorough.base.count + 1);
}

TEST(ExtendedSearch, ReadsNothingWhereThereIsNoBarcode) {
    // Random bars at barcode widths, gratings, text, noise, gradients and
    // textures, rotated, blurred and JPEG-damaged.
    int pictures = 0;
    for (int kind = 0; kind < kClutterKinds; ++kind) {
        for (uint32_t seed = 1; seed <= 50; ++seed) {
            const Image image = ClutterImage(static_cast<Clutter>(kind), seed);
            const Searches s = Search(image);
            EXPECT_EQ(s.extended.count, 0)
                << ClutterName(static_cast<Clutter>(kind)) << " " << seed << ": "
                << (s.extended.count > 0 ? XR_TextOf(s.extended.records[0].rawData) : "");
            ++pictures;
        }
    }
    EXPECT_EQ(pictures, 300);
}

TEST(ExtendedSearch, OddPicturesAreSafe) {
    ReaderConfigPtr config = XR_ParseConfig("");
    std::vector<MatchRecord> records(kMaxMatches);
    const std::vector<std::pair<int32_t, int32_t>> shapes = {
        {0, 0}, {1, 1}, {1, 300}, {300, 1}, {2, 2}, {3, 900}, {900, 3}, {17, 17}, {2000, 16}};
    for (const auto& [w, h] : shapes) {
        const std::vector<int32_t> raster(static_cast<size_t>(w) * static_cast<size_t>(h), 1200);
        for (const bool thorough : {true, false}) {
            EXPECT_EQ(XR_SearchExtended(raster, h, w, kMaxGrey, config.get(), records, kMaxMatches,
                                        thorough),
                      0)
                << w << " x " << h;
        }
    }
    const std::vector<int32_t> raster(100, 0);
    EXPECT_EQ(XR_SearchExtended(raster, 10, 10, kMaxGrey, nullptr, records, kMaxMatches, true), -1);
    EXPECT_EQ(XR_SearchExtended(raster, 20, 10, kMaxGrey, config.get(), records, kMaxMatches, true),
              -1);
}

TEST(ExtendedSearch, PicturesOnePixelThinWithDataBarHintsReadWithoutAFailure) {
    // A row of bars a single pixel high: lines through it are sampled doubled,
    // and the DataBar hints they leave must be read again the same way, not
    // end the search as a failure. Its column twin too.
    constexpr std::string_view kRow =
        "a..##..##...##.##.#.#..###.#..#.#.##.#..##.#..#..#.##...##.###.."
        "##..##.#..............................#...##..##...##.##.#.#..##";
    std::vector<int32_t> raster;
    for (const char c : kRow)
        raster.push_back(c == '#' ? 40 : c == '.' ? 460 : 84);
    ReaderConfigPtr config = XR_ParseConfig("-bctypes 67108863 -sens 0.01");
    ASSERT_NE(config, nullptr);
    std::vector<MatchRecord> records(kMaxMatches);
    const auto n = static_cast<int32_t>(raster.size());
    for (const auto& [w, h] : {std::pair{n, 1}, std::pair{1, n}}) {
        for (const bool thorough : {false, true}) {
            const int base = thorough ? XR_SearchThorough(raster, h, w, kMaxGrey, config.get(),
                                                          records, kMaxMatches)
                                      : XR_Search(raster, h, w, kMaxGrey, config.get(), records);
            const int extended = XR_SearchExtended(raster, h, w, kMaxGrey, config.get(), records,
                                                   kMaxMatches, thorough);
            EXPECT_GE(base, 0) << w << " x " << h;
            EXPECT_GE(extended, base) << w << " x " << h << (thorough ? " thorough" : "");
        }
    }
}

}  // namespace
