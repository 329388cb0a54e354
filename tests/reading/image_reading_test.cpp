// Whole pictures, drawn by an independent barcode generator, read through the
// searches the way the control reads them.
#include <gtest/gtest.h>

#include <algorithm>
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
    const char* data;      // as the generator takes it
    const char* expected;  // the raw data the engine reports
};

const Symbol kSymbols[] = {
    {"EAN-13", BARCODE_EANX, "400638133393", "4006381333931"},
    {"EAN-13 + 5", BARCODE_EANX, "978030640615+51234", "9780306406157 + 51234"},
    {"EAN-13 + 2", BARCODE_EANX, "501234567890+07", "5012345678900 + 07"},
    {"UPC-A", BARCODE_UPCA, "03600029145", "0036000291452"},
    {"UPC-A + 5", BARCODE_UPCA, "01234567890+52499", "0012345678905 + 52499"},
    {"EAN-8", BARCODE_EANX, "9638507", "96385074"},
    {"EAN-8 + 2", BARCODE_EANX, "5512345+14", "55123457 + 14"},
    {"UPC-E", BARCODE_UPCE, "0123456", "01234565"},
    {"UPC-E + 2", BARCODE_UPCE, "0123456+07", "01234565 + 07"},
};

class EveryAngle : public ::testing::TestWithParam<Symbol> {};

TEST_P(EveryAngle, ThoroughSearchReadsTheSymbolAllAroundTheCircle) {
    const Symbol& s = GetParam();
    const double sizes[] = {2.0, 2.5, 3.0, 3.5, 4.0};
    for (int step = 0; step < 24; ++step) {
        ImageOptions o;
        o.symbology = s.symbology;
        o.data = s.data;
        o.angle = 15.0 * step;
        o.moduleSize = sizes[step % 5];
        // Large enough for the longest symbol (EAN-13 with a 5-digit add-on at
        // 4 px per module) at any angle.
        o.canvasWidth = 760;
        o.canvasHeight = 760;
        o.blurSigma = 0.6;
        o.noise = 6;
        o.seed = static_cast<uint32_t>(step + 1);
        o.jpegQuality = step % 3 == 0 ? 85 : 0;
        const PictureReads reads = SearchPicture(RenderBarcode(o));
        EXPECT_EQ(reads.RawTexts(), std::vector<std::string>{s.expected})
            << s.name << " at " << o.angle << " degrees, " << o.moduleSize << " px/module";
    }
}

INSTANTIATE_TEST_SUITE_P(EanUpc, EveryAngle, ::testing::ValuesIn(kSymbols),
                         [](const ::testing::TestParamInfo<Symbol>& info) {
                             std::string name = info.param.name;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) {
                                     return !std::isalnum(static_cast<unsigned char>(c));
                                 },
                                 '_');
                             return name;
                         });

TEST(ImageReading, StandardSearchReadsAnUprightSymbol) {
    for (const Symbol& s : kSymbols) {
        ImageOptions o;
        o.symbology = s.symbology;
        o.data = s.data;
        o.moduleSize = 3;
        o.canvasWidth = 640;
        o.canvasHeight = 480;
        const PictureReads reads = SearchPicture(RenderBarcode(o), false);
        EXPECT_EQ(reads.RawTexts(), std::vector<std::string>{s.expected}) << s.name;
    }
}

TEST(ImageReading, SeveralLabelsAreEachReadOnce) {
    Image picture = BlankImage(1400, 1000);
    const struct {
        const Symbol& symbol;
        double angle, x, y;
    } placed[] =
        {
            {kSymbols[0], 0, 350, 200},   {kSymbols[5], 90, 1150, 300},
            {kSymbols[7], 200, 350, 750}, {kSymbols[3], 330, 900, 750},
            {kSymbols[0], 45, 800, 250},  // the first label again, elsewhere
        };
    for (const auto& p : placed) {
        ImageOptions o;
        o.symbology = p.symbol.symbology;
        o.data = p.symbol.data;
        o.angle = p.angle;
        o.moduleSize = 3;
        PasteBarcode(picture, o, p.x, p.y);
    }
    Blur(picture, 0.6);
    const PictureReads reads = SearchPicture(picture);
    std::vector<std::string> expected{"0036000291452", "01234565", "4006381333931", "96385074"};
    EXPECT_EQ(reads.RawTexts(), expected);
}

TEST(ImageReading, PicturesWithoutBarcodesGiveNoRead) {
    for (bool thorough : {false, true}) {
        EXPECT_EQ(SearchPicture(BlankImage(640, 480), thorough).count, 0);
        EXPECT_EQ(SearchPicture(BlankImage(640, 480, 0), thorough).count, 0);
        for (uint32_t seed = 1; seed <= 3; ++seed) {
            EXPECT_EQ(SearchPicture(NoiseImage(320, 240, seed), thorough).count, 0) << seed;
        }
    }
    // Text-like clutter: a grid of small dark blocks.
    Image blocks = BlankImage(400, 300);
    for (int y = 20; y < 280; y += 14) {
        for (int x = 20; x < 380; x += 9) {
            for (int dy = 0; dy < 8; ++dy) {
                for (int dx = 0; dx < 5; ++dx)
                    blocks.SetGrey(x + dx, y + dy, 30);
            }
        }
    }
    EXPECT_EQ(SearchPicture(blocks).count, 0);
}

TEST(ImageReading, OddRasterShapesAreSearchedSafely) {
    const int shapes[][2] = {{0, 0},   {1, 1},     {1, 300},  {300, 1}, {14, 14},
                             {15, 15}, {19, 21},   {20, 20},  {63, 63}, {64, 64},
                             {65, 65}, {2000, 16}, {16, 2000}};
    for (const auto& shape : shapes) {
        for (bool thorough : {false, true}) {
            const int count = SearchPicture(NoiseImage(shape[0], shape[1], 7), thorough).count;
            EXPECT_EQ(count, 0) << shape[0] << "x" << shape[1];  // noise: never a read
        }
    }
}

}  // namespace
