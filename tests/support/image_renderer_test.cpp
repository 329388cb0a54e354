#include "tests/support/image_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using zeph::test::AddNoise;
using zeph::test::BlankImage;
using zeph::test::Blur;
using zeph::test::ElementsOf;
using zeph::test::Image;
using zeph::test::ImageOptions;
using zeph::test::JpegRoundTrip;
using zeph::test::NoiseImage;
using zeph::test::PasteBarcode;
using zeph::test::Placement;
using zeph::test::Point;
using zeph::test::RenderBarcode;
using zeph::test::SymbolModules;
using zeph::test::WideNarrowModules;

constexpr int kThreshold = 128;

ImageOptions Options(int symbology, std::string data, double moduleSize) {
    ImageOptions o;
    o.symbology = symbology;
    o.data = std::move(data);
    o.moduleSize = moduleSize;
    return o;
}

ImageOptions Ean13(double moduleSize) {
    return Options(BARCODE_EANX, "590123412345", moduleSize);
}

struct DarkRun {
    double start;
    double length;
};

// Dark runs of a sampled line, in samples.
std::vector<DarkRun> DarkRuns(const std::vector<double>& line) {
    std::vector<DarkRun> runs;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] >= kThreshold) continue;
        if (i > 0 && line[i - 1] < kThreshold) {
            runs.back().length += 1;
        } else {
            runs.push_back({double(i), 1});
        }
    }
    return runs;
}

// Dark runs of a module string, in modules.
std::vector<DarkRun> ModuleRuns(const std::string& modules) {
    std::vector<double> line;
    for (char m : modules)
        line.push_back(m == '1' ? 0 : 255);
    return DarkRuns(line);
}

std::vector<double> Row(const Image& image, int32_t y) {
    std::vector<double> line;
    for (int32_t x = 0; x < image.width; ++x)
        line.push_back(image.Grey(x, y));
    return line;
}

std::vector<double> Column(const Image& image, int32_t x) {
    std::vector<double> line;
    for (int32_t y = 0; y < image.height; ++y)
        line.push_back(image.Grey(x, y));
    return line;
}

// Bilinear grey at a point given in continuous pixel coordinates.
double GreyAt(const Image& image, double x, double y) {
    const double sx = x - 0.5, sy = y - 0.5;
    const auto x0 = static_cast<int32_t>(std::floor(sx));
    const auto y0 = static_cast<int32_t>(std::floor(sy));
    const double fx = sx - x0, fy = sy - y0;
    const auto at = [&](int32_t px, int32_t py) {
        return double(
            image.Grey(std::clamp(px, 0, image.width - 1), std::clamp(py, 0, image.height - 1)));
    };
    const double top = at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx;
    const double bottom = at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx;
    return top * (1 - fy) + bottom * fy;
}

// Samples every `step` pixels from a to b, reaching `beyond` pixels past both ends.
std::vector<double> Line(const Image& image, Point a, Point b, double step, double beyond) {
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const double ux = (b.x - a.x) / length, uy = (b.y - a.y) / length;
    std::vector<double> line;
    for (double t = -beyond; t <= length + beyond; t += step)
        line.push_back(GreyAt(image, a.x + t * ux, a.y + t * uy));
    return line;
}

struct DarkBox {
    int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;  // inclusive
    double CentreX() const { return (x0 + x1 + 1) / 2.0; }
    double CentreY() const { return (y0 + y1 + 1) / 2.0; }
};

DarkBox DarkBounds(const Image& image) {
    DarkBox box;
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            if (image.Grey(x, y) >= kThreshold) continue;
            box.x0 = std::min(box.x0, x), box.x1 = std::max(box.x1, x);
            box.y0 = std::min(box.y0, y), box.y1 = std::max(box.y1, y);
        }
    }
    return box;
}

bool OnlyInkAndPaper(const Image& image) {
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const int g = image.Grey(x, y);
            if (g != 0 && g != 255) return false;
        }
    }
    return true;
}

// Expects the sampled runs to be the module runs scaled by `pixelsPerModule`,
// with the first bar at `firstBar` samples.
void ExpectRunsFollowModules(const std::vector<DarkRun>& runs, const std::string& modules,
                             double pixelsPerModule, double firstBar, double tolerance) {
    const std::vector<DarkRun> expected = ModuleRuns(modules);
    ASSERT_EQ(runs.size(), expected.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_NEAR(runs[i].start, firstBar + expected[i].start * pixelsPerModule, tolerance)
            << "bar " << i;
        EXPECT_NEAR(runs[i].length, expected[i].length * pixelsPerModule, tolerance) << "bar " << i;
    }
}

double MeanAbsDifference(const Image& a, const Image& b) {
    double sum = 0;
    for (int32_t y = 0; y < a.height; ++y) {
        for (int32_t x = 0; x < a.width; ++x)
            sum += std::abs(a.Grey(x, y) - b.Grey(x, y));
    }
    return sum / (double(a.width) * a.height);
}

// ---------------------------------------------------------------------------

TEST(SymbolModules, Ean13HasItsGuardsAndThirtyBars) {
    const std::string modules = SymbolModules(Ean13(3));
    ASSERT_EQ(modules.size(), 95u);
    EXPECT_EQ(modules.substr(0, 3), "101");
    EXPECT_EQ(modules.substr(45, 5), "01010");
    EXPECT_EQ(modules.substr(92), "101");
    EXPECT_EQ(ModuleRuns(modules).size(), 30u);
}

TEST(RenderBarcode, Ean13AtWholeModulesIsSharpAndExactlySized) {
    const ImageOptions o = Ean13(3);
    const Image image = RenderBarcode(o);
    EXPECT_EQ(image.width, (95 + 2 * 10) * 3);
    // 50 modules of bars (55 with the descending guards), 10 light above and below.
    EXPECT_GE(image.height, (50 + 2 * 10) * 3);
    EXPECT_LE(image.height, (55 + 2 * 10) * 3 + 1);
    EXPECT_TRUE(OnlyInkAndPaper(image));

    const std::vector<DarkRun> runs = DarkRuns(Row(image, image.height / 2));
    EXPECT_EQ(runs.size(), 30u);
    ExpectRunsFollowModules(runs, SymbolModules(o), 3, 10 * 3, 0);
}

TEST(RenderBarcode, EverySymbologyFollowsZintsModules) {
    const std::vector<ImageOptions> cases = {
        Options(BARCODE_EANX, "590123412345", 2),
        Options(BARCODE_EANX_CHK, "5901234123457", 2),
        Options(BARCODE_EANX, "590123412345+12", 2),  // add-on: the middle row crosses it
        Options(BARCODE_EANX, "1234567", 2),
        Options(BARCODE_UPCA, "01234567890", 2),
        Options(BARCODE_UPCE, "0123456", 2),
        Options(BARCODE_CODE128, "Hello123", 2),
        Options(BARCODE_GS1_128, "[01]09501101020917", 2),
        Options(BARCODE_CODE39, "CODE39", 2),
        Options(BARCODE_CODE93, "CODE93", 2),
        Options(BARCODE_C25INTER, "123456", 2),
        Options(BARCODE_CODABAR, "A123B", 2),
    };
    for (const ImageOptions& o : cases) {
        SCOPED_TRACE(o.data);
        const std::string modules = SymbolModules(o);
        const Image image = RenderBarcode(o);
        EXPECT_EQ(image.width, static_cast<int32_t>(modules.size() + 20) * 2);
        ExpectRunsFollowModules(DarkRuns(Row(image, image.height / 2)), modules, 2,
                                modules.find('1') * 2.0 + 20, 0);
    }
}

TEST(RenderBarcode, OwnModulesAreDrawnLikeZintsSymbol) {
    for (double angle : {0.0, 90.0, 30.0}) {
        SCOPED_TRACE(angle);
        ImageOptions zint = Options(BARCODE_C25INTER, "123456", 2.5);
        zint.angle = angle;
        zint.heightModules = 30;
        ImageOptions own = zint;
        own.modules = SymbolModules(zint);
        own.symbology = BARCODE_CODE128;  // ignored
        own.data = "ignored";
        Placement zintWhere, ownWhere;
        const Image expected = RenderBarcode(zint, zintWhere);
        const Image drawn = RenderBarcode(own, ownWhere);
        ASSERT_EQ(drawn.width, expected.width);
        ASSERT_EQ(drawn.height, expected.height);
        EXPECT_EQ(drawn.pixels, expected.pixels);
        EXPECT_NEAR(ownWhere.start.x, zintWhere.start.x, 1e-9);
        EXPECT_NEAR(ownWhere.stop.y, zintWhere.stop.y, 1e-9);
        EXPECT_EQ(SymbolModules(own), own.modules);
    }
    ImageOptions bad = Ean13(2);
    bad.modules = "1012";
    EXPECT_THROW(RenderBarcode(bad), std::invalid_argument);
}

TEST(WideNarrowModules, ElementsExpandAndComeBackFromModules) {
    EXPECT_EQ(WideNarrowModules("NWNNW", 1, 3), "100010111");
    EXPECT_EQ(WideNarrowModules("WN", 4, 9), "1111111110000");
    EXPECT_THROW(WideNarrowModules("NX", 1, 2), std::invalid_argument);
    // Interleaved 2 of 5 "1234": start, pairs 12 and 34, stop.
    const std::string elements =
        "NNNN"
        "WNNWNNNNWW"
        "WNWNNWNNNW"
        "WNN";
    EXPECT_EQ(ElementsOf(SymbolModules(Options(BARCODE_C25INTER, "1234", 1))), elements);
    EXPECT_EQ(ElementsOf("00" + WideNarrowModules(elements, 2, 5) + "000"), elements);
    EXPECT_EQ(ElementsOf("000"), "");
}

TEST(RenderBarcode, QuietZoneAndHeightFollowTheOptions) {
    ImageOptions o = Options(BARCODE_CODE128, "Hello123", 2);
    o.quietModules = 4;
    o.heightModules = 20;
    const Image image = RenderBarcode(o);
    const DarkBox box = DarkBounds(image);
    EXPECT_EQ(box.x0, 4 * 2);
    EXPECT_EQ(image.width - 1 - box.x1, 4 * 2);
    EXPECT_EQ(box.y0, 4 * 2);
    EXPECT_EQ(box.y1 - box.y0 + 1, 20 * 2);

    o.quietModules = 0;
    const Image bare = RenderBarcode(o);
    const DarkBox all = DarkBounds(bare);
    EXPECT_EQ(all.x0, 0);
    EXPECT_EQ(all.x1, bare.width - 1);
    EXPECT_EQ(bare.width, static_cast<int32_t>(SymbolModules(o).size()) * 2);
}

TEST(RenderBarcode, ShowingTextAddsMarksBesideAndBelowTheBars) {
    ImageOptions o = Ean13(2);
    const DarkBox bars = DarkBounds(RenderBarcode(o));
    o.showText = true;
    const Image withText = RenderBarcode(o);
    const DarkBox all = DarkBounds(withText);
    EXPECT_GT(all.y1, bars.y1);
    // The leading digit sits left of the first bar.
    const std::vector<DarkRun> topRow = DarkRuns(Row(withText, all.y0));
    ASSERT_FALSE(topRow.empty());
    EXPECT_LT(all.x0, topRow.front().start);

    Placement where;
    RenderBarcode(o, where);
    EXPECT_NEAR(where.start.x, topRow.front().start, 1e-9);
    EXPECT_NEAR(where.stop.x, topRow.back().start + topRow.back().length, 1e-9);
}

TEST(RenderBarcode, RefusesWhatZintOrTheOptionsRefuse) {
    const auto zintMessage = [](const ImageOptions& o) {
        try {
            RenderBarcode(o);
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_NE(zintMessage(Options(BARCODE_EANX_CHK, "5901234123458", 3)), "");  // check digit
    EXPECT_NE(zintMessage(Options(BARCODE_CODABAR, "123", 3)), "");  // no start character
    EXPECT_NE(zintMessage(Options(BARCODE_EANX, "59012A", 3)), "");
    EXPECT_THROW(SymbolModules(Options(BARCODE_EANX, "", 3)), std::runtime_error);

    ImageOptions o = Ean13(0);
    EXPECT_THROW(RenderBarcode(o), std::invalid_argument);
    o = Ean13(3);
    o.jpegQuality = 101;
    EXPECT_THROW(RenderBarcode(o), std::invalid_argument);
    o = Ean13(3);
    o.canvasWidth = -1;
    EXPECT_THROW(RenderBarcode(o), std::invalid_argument);
}

TEST(RenderBarcode, FractionalModulesKeepPitchAndWidth) {
    for (double m : {1.5, 2.5, 3.25, 4.7}) {
        SCOPED_TRACE(m);
        const ImageOptions o = Ean13(m);
        const Image image = RenderBarcode(o);
        EXPECT_NEAR(image.width, 115 * m, 1.0);
        const std::vector<DarkRun> runs = DarkRuns(Row(image, image.height / 2));
        ASSERT_EQ(runs.size(), 30u);
        EXPECT_NEAR(runs.back().start + runs.back().length - runs.front().start, 95 * m, 2.0);
        // Thresholding moves each edge by under a pixel.
        ExpectRunsFollowModules(runs, SymbolModules(o), m, 10 * m, 1.0);
    }
}

TEST(RenderBarcode, QuarterTurnsPermuteTheBars) {
    // At 3 px per module the upright picture's width is odd and its height even.
    for (double m : {2.0, 3.0}) {
        for (double angle : {90.0, 180.0, 270.0, -90.0, 450.0}) {
            SCOPED_TRACE(testing::Message() << m << " px/module, " << angle << " degrees");
            const ImageOptions upright = Options(BARCODE_CODE128, "Hello123", m);
            const Image image0 = RenderBarcode(upright);
            const std::vector<double> row0 = Row(image0, image0.height / 2);
            ImageOptions o = upright;
            o.angle = angle;
            const Image image = RenderBarcode(o);
            EXPECT_TRUE(OnlyInkAndPaper(image));
            std::vector<double> line;
            const int quarter = static_cast<int>(std::lround(angle / 90)) % 4;
            if (quarter == 2) {
                EXPECT_EQ(image.width, image0.width);
                EXPECT_EQ(image.height, image0.height);
                line = Row(image, image.height / 2);
                std::reverse(line.begin(), line.end());  // the symbol's start is now on the right
            } else {
                EXPECT_EQ(image.width, image0.height);
                EXPECT_EQ(image.height, image0.width);
                line = Column(image, image.width / 2);
                // Counter-clockwise: a quarter turn brings the start to the bottom.
                if (quarter == 1 || quarter == -3) std::reverse(line.begin(), line.end());
            }
            EXPECT_EQ(line, row0);
        }
    }
}

TEST(RenderBarcode, AnyAngleKeepsTheBarsAlongThePlacedLine) {
    for (double angle : {17.0, 30.0, 45.0, 90.0, 133.0, -60.0, 200.0}) {
        SCOPED_TRACE(angle);
        ImageOptions o = Ean13(3);
        o.angle = angle;
        Placement where;
        const Image image = RenderBarcode(o, where);
        if (std::fmod(angle, 90) != 0) {
            EXPECT_FALSE(OnlyInkAndPaper(image));  // anti-aliased
        }
        EXPECT_NEAR(std::hypot(where.stop.x - where.start.x, where.stop.y - where.start.y), 95 * 3,
                    1e-6);
        const double theta = angle * std::acos(-1.0) / 180;
        // Counter-clockwise on screen, where y points down.
        EXPECT_NEAR(std::atan2(-(where.stop.y - where.start.y), where.stop.x - where.start.x),
                    std::remainder(theta, 2 * std::acos(-1.0)), 1e-6);
        EXPECT_NEAR((where.start.x + where.stop.x) / 2, where.centre.x, 1e-6);

        const std::vector<double> line = Line(image, where.start, where.stop, 0.25, 6);
        const std::vector<DarkRun> runs = DarkRuns(line);
        ASSERT_EQ(runs.size(), 30u);
        // The first bar begins at the start point and the last ends at the stop point.
        EXPECT_NEAR(runs.front().start * 0.25 - 6, 0, 1.0);
        EXPECT_NEAR((runs.back().start + runs.back().length) * 0.25 - 6, 95 * 3, 1.0);
    }
}

TEST(RenderBarcode, SymbolSitsWhereAsked) {
    ImageOptions o = Options(BARCODE_CODE128, "Hello123", 2);
    o.canvasWidth = 640;
    o.canvasHeight = 480;
    o.centreX = 200;
    o.centreY = 150;
    Image image = RenderBarcode(o);
    ASSERT_EQ(image.width, 640);
    ASSERT_EQ(image.height, 480);
    DarkBox box = DarkBounds(image);
    EXPECT_NEAR(box.CentreX(), 200, 1.0);
    EXPECT_NEAR(box.CentreY(), 150, 1.0);

    // Unturned symbols land on whole pixels wherever their centre is asked to be.
    o.centreX = 200.3;
    o.centreY = 150.5;
    image = RenderBarcode(o);
    EXPECT_TRUE(OnlyInkAndPaper(image));
    box = DarkBounds(image);
    EXPECT_NEAR(box.CentreX(), 200.3, 1.0);
    EXPECT_NEAR(box.CentreY(), 150.5, 1.0);

    // By default, centred (odd sizes included).
    o.canvasWidth = 641;
    o.canvasHeight = 481;
    o.centreX.reset();
    o.centreY.reset();
    image = RenderBarcode(o);
    EXPECT_TRUE(OnlyInkAndPaper(image));
    box = DarkBounds(image);
    EXPECT_NEAR(box.CentreX(), 641 / 2.0, 1.0);
    EXPECT_NEAR(box.CentreY(), 481 / 2.0, 1.0);
}

TEST(RenderBarcode, LargeCanvasKeepsTheSymbolAndTheBackground) {
    ImageOptions o = Ean13(4);
    o.canvasWidth = 4000;
    o.canvasHeight = 3000;
    o.centreX = 3000;
    o.centreY = 700;
    o.angle = 10;
    o.blurSigma = 1.0;
    o.paper = 230;
    Placement where;
    const Image image = RenderBarcode(o, where);
    EXPECT_EQ(DarkRuns(Line(image, where.start, where.stop, 0.5, 8)).size(), 30u);
    EXPECT_EQ(image.Grey(0, 0), 230);
    EXPECT_EQ(image.Grey(3999, 2999), 230);
    EXPECT_EQ(image.Grey(1000, 2000), 230);
}

// ---------------------------------------------------------------------------

TEST(ImageLayout, RowsAreStoredBottomUp) {
    ImageOptions o = Options(BARCODE_CODE128, "Hi", 1);
    o.quietModules = 2;
    o.heightModules = 20;
    o.canvasWidth = 200;
    o.canvasHeight = 120;
    o.centreY = 20;  // near the top of the picture
    const Image image = RenderBarcode(o);
    // Read the raw bytes: the first stored rows are the bottom of the picture.
    int firstDarkRow = -1, lastDarkRow = -1;
    for (int32_t r = 0; r < image.height; ++r) {
        for (size_t i = 0; i < 3 * size_t(image.width); ++i) {
            if (image.pixels[r * image.stride + i] < kThreshold) {
                if (firstDarkRow < 0) firstDarkRow = r;
                lastDarkRow = r;
                break;
            }
        }
    }
    // Bars span rows 10..29 from the top, so stored rows 90..109.
    EXPECT_EQ(firstDarkRow, 120 - 30);
    EXPECT_EQ(lastDarkRow, 120 - 1 - 10);
    // The accessors count from the top.
    EXPECT_FALSE(DarkRuns(Row(image, 20)).empty());
    EXPECT_TRUE(DarkRuns(Row(image, 100)).empty());
}

TEST(ImageLayout, RowsArePaddedToFourBytes) {
    for (int32_t w : {1, 2, 3, 4, 5, 7, 101}) {
        SCOPED_TRACE(w);
        const Image image = BlankImage(w, 3, 77);
        EXPECT_EQ(image.stride % 4, 0u);
        EXPECT_GE(image.stride, 3u * w);
        EXPECT_LT(image.stride, 3u * w + 4);
        EXPECT_EQ(image.Bytes().size(), image.stride * 3);
        EXPECT_EQ(image.Bytes().data(), image.pixels.data());
    }
    // An odd-width symbol: every row's first bar starts at the same byte, so
    // rows are neither sheared nor short.
    const Image image = RenderBarcode(Ean13(3));
    ASSERT_EQ(image.width % 2, 1);
    ASSERT_NE(3 * size_t(image.width) % 4, 0u);
    for (int32_t r = image.height / 3; r < 2 * image.height / 3; ++r) {
        const uint8_t* row = image.pixels.data() + r * image.stride;
        EXPECT_EQ(row[3 * 30], 0) << r;
        EXPECT_EQ(row[3 * 29 + 2], 255) << r;
    }
}

TEST(ImageLayout, BlankAndNoisePictures) {
    const Image blank = BlankImage(13, 7, 90);
    EXPECT_EQ(blank.width, 13);
    EXPECT_EQ(blank.height, 7);
    for (int32_t y = 0; y < 7; ++y) {
        for (int32_t x = 0; x < 13; ++x)
            EXPECT_EQ(blank.Grey(x, y), 90);
    }
    EXPECT_THROW(BlankImage(-1, 5), std::invalid_argument);

    const Image noise = NoiseImage(64, 48, 5);
    EXPECT_EQ(noise.pixels, NoiseImage(64, 48, 5).pixels);
    EXPECT_NE(noise.pixels, NoiseImage(64, 48, 6).pixels);
    int lo = 255, hi = 0;
    double sum = 0;
    for (int32_t y = 0; y < 48; ++y) {
        for (int32_t x = 0; x < 64; ++x) {
            const int g = noise.Grey(x, y);
            lo = std::min(lo, g), hi = std::max(hi, g);
            sum += g;
        }
    }
    EXPECT_LT(lo, 10);
    EXPECT_GT(hi, 245);
    EXPECT_NEAR(sum / (64 * 48), 127.5, 6);
}

// ---------------------------------------------------------------------------

TEST(ImageEffects, BlurSoftensEdgesAndKeepsTheMean) {
    ImageOptions o = Ean13(3);
    o.canvasWidth = 600;  // larger than the symbol: the renderer blurs only around it
    o.canvasHeight = 400;
    const Image sharp = RenderBarcode(o);
    o.blurSigma = 1.0;
    const Image soft = RenderBarcode(o);
    ASSERT_EQ(soft.width, sharp.width);
    ASSERT_EQ(soft.height, sharp.height);
    EXPECT_FALSE(OnlyInkAndPaper(soft));
    const std::vector<double> a = Row(sharp, sharp.height / 2), b = Row(soft, soft.height / 2);
    double sumA = 0, sumB = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sumA += a[i], sumB += b[i];
    EXPECT_NEAR(sumB / b.size(), sumA / a.size(), 0.5);
    EXPECT_EQ(DarkRuns(b).size(), 30u);

    // Blurring only around the symbol must agree with blurring everything.
    Image whole = sharp;
    Blur(whole, 1.0);
    EXPECT_EQ(whole.pixels, soft.pixels);

    o.quietModules = 0;
    o.blurSigma = 0;
    Image bare = RenderBarcode(o);
    Blur(bare, 1.5);
    o.blurSigma = 1.5;
    EXPECT_EQ(RenderBarcode(o).pixels, bare.pixels);

    Image flat = BlankImage(31, 17, 123);
    Blur(flat, 2.0);
    EXPECT_EQ(flat.pixels, BlankImage(31, 17, 123).pixels);
}

TEST(ImageEffects, NoiseIsBoundedAndSeeded) {
    Image image = BlankImage(64, 64, 128);
    AddNoise(image, 20, 7);
    int largest = 0;
    double sum = 0;
    for (int32_t y = 0; y < 64; ++y) {
        for (int32_t x = 0; x < 64; ++x) {
            const int d = image.Grey(x, y) - 128;
            largest = std::max(largest, std::abs(d));
            sum += d;
        }
    }
    EXPECT_LE(largest, 20);
    EXPECT_GE(largest, 15);
    EXPECT_NEAR(sum / (64 * 64), 0, 1.5);

    ImageOptions o = Ean13(3);
    o.noise = 20;
    o.seed = 3;
    const Image a = RenderBarcode(o);
    EXPECT_EQ(a.pixels, RenderBarcode(o).pixels);
    o.seed = 4;
    EXPECT_NE(a.pixels, RenderBarcode(o).pixels);
    EXPECT_EQ(DarkRuns(Row(a, a.height / 2)).size(), 30u);
}

TEST(ImageEffects, JpegAddsArtefactsButKeepsTheBars) {
    ImageOptions o = Ean13(3);
    o.angle = 7;  // edges off the 8x8 block grid
    const Image clean = RenderBarcode(o);
    o.jpegQuality = 40;
    Placement where;
    const Image jpeg = RenderBarcode(o, where);
    ASSERT_EQ(jpeg.width, clean.width);
    ASSERT_EQ(jpeg.height, clean.height);
    ASSERT_EQ(jpeg.stride, clean.stride);
    const double change = MeanAbsDifference(jpeg, clean);
    EXPECT_GT(change, 0.5);
    EXPECT_LT(change, 15);
    EXPECT_EQ(DarkRuns(Line(jpeg, where.start, where.stop, 0.25, 6)).size(), 30u);

    Image image = clean;
    EXPECT_THROW(JpegRoundTrip(image, 0), std::invalid_argument);
    JpegRoundTrip(image, 95);
    EXPECT_LT(MeanAbsDifference(image, clean), change);  // better quality, smaller change
}

// ---------------------------------------------------------------------------

TEST(PasteBarcode, SeveralSymbolsShareOneCanvas) {
    Image canvas = BlankImage(800, 400, 200);
    const ImageOptions ean = Ean13(3);
    ImageOptions code128 = Options(BARCODE_CODE128, "Hello123", 2);
    code128.angle = 90;
    PasteBarcode(canvas, ean, 200, 200);
    PasteBarcode(canvas, code128, 600, 200);

    std::vector<double> row = Row(canvas, 200);
    row.resize(400);  // the left half, where the first symbol lies
    EXPECT_EQ(DarkRuns(row).size(), 30u);
    std::vector<double> column = Column(canvas, 600);
    std::reverse(column.begin(), column.end());
    const std::string modules = SymbolModules(code128);
    const std::vector<DarkRun> runs = DarkRuns(column);
    ASSERT_FALSE(runs.empty());
    ExpectRunsFollowModules(runs, modules, 2, runs.front().start, 0);

    // The quiet zones leave the canvas as it was.
    EXPECT_EQ(canvas.Grey(200 - 95 * 3 / 2 - 15, 200), 200);
    EXPECT_EQ(canvas.Grey(400, 10), 200);
    EXPECT_EQ(canvas.Grey(600, 200 - static_cast<int>(modules.size()) - 10), 200);
}

TEST(PasteBarcode, SymbolsPartlyOffTheCanvasAreClipped) {
    Image canvas = BlankImage(300, 200, 255);
    ImageOptions o = Ean13(3);
    o.angle = 37;
    const Placement corner = PasteBarcode(canvas, o, 0, 0);
    EXPECT_NEAR(corner.centre.x, 0, 1.0);
    PasteBarcode(canvas, o, 300, 200);
    PasteBarcode(canvas, o, -5000, 5000);  // wholly outside: nothing drawn
    const DarkBox box = DarkBounds(canvas);
    EXPECT_EQ(box.x0, 0);
    EXPECT_EQ(box.y0, 0);
    EXPECT_EQ(box.x1, 299);
    EXPECT_EQ(box.y1, 199);
    EXPECT_EQ(canvas.Grey(150, 100), 255);
}

}  // namespace
