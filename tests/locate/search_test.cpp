#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/locate/candidate_read.h"
#include "engine/reader.h"
#include "tests/support/ean_encoder.h"

namespace {

using zeph::test::Ean13Modules;

// A white raster with symbols drawn as bars of `px` pixels per module, rotated
// by `degrees` about (cx, cy), `barHeight` pixels tall.
struct Canvas {
    int width;
    int height;
    std::vector<int32_t> raster;

    Canvas(int w, int h) : width(w), height(h), raster(static_cast<size_t>(w) * h, 2550) {}

    void Draw(const std::string& symbol, double px, double degrees, double cx, double cy,
              double barHeight = 80) {
        const std::string modules = std::string(10, '0') + symbol + std::string(10, '0');
        const double a = degrees * M_PI / 180, length = modules.size() * px;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
                const double u = dx * std::cos(a) + dy * std::sin(a) + length / 2;
                const double v = -dx * std::sin(a) + dy * std::cos(a);
                if (u < 0 || u >= length || std::fabs(v) >= barHeight / 2) continue;
                raster[static_cast<size_t>(y) * width + x] =
                    modules[static_cast<size_t>(u / px)] == '1' ? 0 : 2550;
            }
        }
    }
};

struct SearchRun {
    int count;
    std::vector<MatchRecord> records;
};

SearchRun Thorough(const Canvas& c, const char* settings = "", int maxRecords = 100) {
    ReaderConfigPtr config = XR_ParseConfig(settings);
    SearchRun run{0, std::vector<MatchRecord>(100)};
    run.count = XR_SearchThorough(c.raster, c.height, c.width, kMaxGrey, config.get(), run.records,
                                  maxRecords);
    return run;
}

SearchRun Standard(const Canvas& c, const char* settings = "") {
    ReaderConfigPtr config = XR_ParseConfig(settings);
    SearchRun run{0, std::vector<MatchRecord>(1)};
    run.count = XR_Search(c.raster, c.height, c.width, kMaxGrey, config.get(), run.records);
    return run;
}

TEST(Search, ReadsADrawnSymbolWithItsLine) {
    Canvas c(500, 300);
    c.Draw(Ean13Modules("4006381333931"), 3, 0, 250, 150);
    const SearchRun standard = Standard(c);
    ASSERT_EQ(standard.count, 1);
    const MatchRecord& r = standard.records[0];
    EXPECT_EQ(XR_TextOf(r.rawData), "4006381333931");
    EXPECT_GT(r.confidence, 0.81f);
    EXPECT_GT(r.redundancy, 5.0f);
    // The trimmed line spans the symbol (115 modules of 3 px centred at 250).
    EXPECT_NEAR((r.startX + r.stopX) / 2.0, 250, 40);
    EXPECT_LT(std::min(r.startX, r.stopX), 250 - 140);
    EXPECT_GT(std::max(r.startX, r.stopX), 250 + 140);

    const SearchRun thorough = Thorough(c);
    ASSERT_EQ(thorough.count, 1);
    EXPECT_EQ(XR_TextOf(thorough.records[0].rawData), "4006381333931");
}

TEST(Search, ThoroughFindsEachSymbolOnceAndMergesRepeats) {
    Canvas c(900, 700);
    c.Draw(Ean13Modules("4006381333931"), 3, 0, 250, 150);
    c.Draw(Ean13Modules("5012345678900"), 3, 90, 700, 400);
    c.Draw(Ean13Modules("4006381333931"), 3, 30, 300, 520);  // the first label again
    const SearchRun run = Thorough(c);
    ASSERT_EQ(run.count, 2);
    std::vector<std::string> texts;
    for (int i = 0; i < run.count; ++i)
        texts.emplace_back(XR_TextOf(run.records[i].rawData));
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"4006381333931", "5012345678900"}));

    const SearchRun capped = Thorough(c, "", 1);
    EXPECT_EQ(capped.count, 1);
}

TEST(Search, NothingToReadReportsZero) {
    Canvas white(300, 200);
    EXPECT_EQ(Standard(white).count, 0);
    EXPECT_EQ(Thorough(white).count, 0);

    Canvas tiny(19, 14);  // smaller than a tile in both searches
    tiny.Draw("101", 1, 0, 9, 7, 10);
    EXPECT_EQ(Standard(tiny).count, 0);
    EXPECT_EQ(Thorough(tiny).count, 0);

    Canvas symbol(500, 300);
    symbol.Draw(Ean13Modules("4006381333931"), 3, 0, 250, 150);
    EXPECT_EQ(Thorough(symbol, "-bctypes 0").count, 0);
    EXPECT_EQ(Standard(symbol, "-bctypes 0").count, 0);
    // Too little contrast for the sensitivity.
    EXPECT_EQ(Thorough(symbol, "-sens 1").count, 0);
}

TEST(Search, FailuresReportMinusOne) {
    Canvas c(500, 300);
    c.Draw(Ean13Modules("4006381333931"), 3, 0, 250, 150);
    std::vector<MatchRecord> records(100);
    EXPECT_EQ(XR_Search(c.raster, c.height, c.width, kMaxGrey, nullptr, records), -1);
    EXPECT_EQ(XR_SearchThorough(c.raster, c.height, c.width, kMaxGrey, nullptr, records, 100), -1);
    // A signal of no samples cannot be extracted.
    EXPECT_EQ(Thorough(c, "-srnbs 0").count, -1);
    EXPECT_EQ(Standard(c, "-srnbs 0").count, -1);

    ReaderConfigPtr config = XR_ParseConfig("");
    // A raster shorter than its stated size, or nowhere to put a match.
    EXPECT_EQ(XR_Search(std::span(c.raster).first(1000), c.height, c.width, kMaxGrey, config.get(),
                        records),
              -1);
    EXPECT_EQ(XR_Search(c.raster, c.height, c.width, kMaxGrey, config.get(), {}), -1);
    EXPECT_EQ(XR_SearchThorough(c.raster, c.height, c.width, kMaxGrey, config.get(), records, 0),
              -1);
}

TEST(Search, ALineTrimmedToOnePointIsSkipped) {
    // A light strip 30 rows tall with three dark rows: the line down through
    // its centre finds too few edges for a quiet zone and is trimmed from both
    // ends to one point (20, 14). At a low contrast threshold such a candidate
    // turns up in real photos; it must not fail the picture.
    constexpr int kWidth = 40;
    constexpr int kHeight = 30;
    std::vector<int32_t> raster(kWidth * kHeight, 2000);
    for (int row : {9, 16, 25}) {
        std::fill_n(raster.begin() + row * kWidth, kWidth, 500);
    }
    ScanLine line;
    ASSERT_TRUE(XR_PlaceScanLine(20, 15, M_PI / 2, kWidth, kHeight, line));
    ASSERT_EQ(XR_TrimScanLine(raster, kHeight, kWidth, line, 20, 15), 1);
    ASSERT_EQ(line.x0, line.x1);
    ASSERT_EQ(line.y0, line.y1);

    ReaderConfigPtr config = XR_ParseConfig("");
    MatchRecord slot;
    EXPECT_EQ(zeph::locate::ReadCandidate(raster, kHeight, kWidth, *config->scan, *config,
                                          {20, 15, M_PI / 2}, slot, 4, false),
              zeph::locate::kUnusableLine);
}

TEST(Search, TileStoreFollowsTheRasterSize) {
    ReaderConfigPtr config = XR_ParseConfig("");
    std::vector<MatchRecord> records(100);
    Canvas a(300, 150);
    a.Draw(Ean13Modules("4006381333931"), 2, 0, 150, 75);
    ASSERT_EQ(XR_SearchThorough(a.raster, a.height, a.width, kMaxGrey, config.get(), records, 100),
              1);
    EXPECT_EQ(config->tileCount, (150 / 15) * (300 / 15));
    Canvas b(600, 450);
    b.Draw(Ean13Modules("5012345678900"), 3, 0, 300, 225);
    ASSERT_EQ(XR_Search(b.raster, b.height, b.width, kMaxGrey, config.get(), records), 1);
    EXPECT_EQ(config->tileCount, (450 / 20) * (600 / 20));
    EXPECT_EQ(XR_TextOf(records[0].rawData), "5012345678900");
    EXPECT_EQ(config->scan->imageWidth, 600);
    EXPECT_EQ(config->scan->imageHeight, 450);
}

}  // namespace
