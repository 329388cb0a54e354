// Interleaved 2 of 5, Codabar and Patch codes drawn into whole pictures and read
// through the thorough search, at the wide/narrow ratios printers use.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "engine/reader.h"
#include "tests/support/image_renderer.h"
#include "tests/support/picture_search.h"

namespace {

using namespace zeph::test;

constexpr std::array<double, 4> kAngles = {0, 90, 180, 270};

struct Expected {
    std::string rawData;
    std::string data;
    std::string symbology;
    std::string descriptor;
};

void ExpectOneRead(const Image& image, const Expected& e) {
    const std::vector<MatchRecord> reads = SearchPicture(image).records;
    std::string texts;
    for (const MatchRecord& r : reads)
        texts += " \"" + std::string(XR_TextOf(r.rawData)) + "\"";
    ASSERT_EQ(reads.size(), 1u) << "read:" << texts;
    const MatchRecord& r = reads[0];
    EXPECT_EQ(XR_TextOf(r.rawData), e.rawData);
    EXPECT_EQ(XR_TextOf(r.data), e.data);
    EXPECT_EQ(XR_TextOf(r.symbology), e.symbology);
    EXPECT_EQ(XR_TextOf(r.barcodeType), "Generic");
    EXPECT_EQ(XR_TextOf(r.descriptor), e.descriptor);
    EXPECT_GT(r.confidence, 0.81f);
}

// A symbol of the given elements whose narrow element is narrowPixels wide, at
// `narrow` and `wide` modules per element.
ImageOptions WideNarrow(const std::string& elements, int narrow, int wide, double narrowPixels) {
    ImageOptions o;
    o.modules = WideNarrowModules(elements, narrow, wide);
    o.moduleSize = narrowPixels / narrow;
    o.quietModules = 10 * narrow;
    o.heightModules = 40.0 * narrow;  // bars 40 narrow widths long
    o.blurSigma = 0.5;
    return o;
}

std::string ItfElements(const std::string& digits) {
    ImageOptions o;
    o.symbology = BARCODE_C25INTER;
    o.data = digits;
    return ElementsOf(SymbolModules(o));
}

TEST(WideNarrowReading, InterleavedTwoOfFiveAtRatiosTwoToThree) {
    const std::string digits = "30712345000010";
    const Expected expected{digits, digits, "Interleaved 2 of 5", ""};
    const struct { int narrow, wide; } ratios[] = {{1, 2}, {2, 5}, {1, 3}};
    for (const auto& ratio : ratios) {
        for (double narrowPixels : {2.0, 3.0}) {
            for (double angle : kAngles) {
                SCOPED_TRACE(testing::Message() << ratio.narrow << ":" << ratio.wide << ", "
                                                << narrowPixels << " px, " << angle << " deg");
                ImageOptions o =
                    WideNarrow(ItfElements(digits), ratio.narrow, ratio.wide, narrowPixels);
                o.angle = angle;
                o.canvasWidth = 640;
                o.canvasHeight = 640;
                ExpectOneRead(RenderBarcode(o), expected);
            }
        }
    }
}

TEST(WideNarrowReading, CodabarWithEveryStartAndStopLetter) {
    for (const char* text : {"A40156B", "B31117C", "C2/4.6D", "D5:7+9-$A"}) {
        for (double moduleSize : {2.0, 3.0}) {
            for (double angle : kAngles) {
                SCOPED_TRACE(testing::Message()
                             << text << ", " << moduleSize << " px, " << angle << " deg");
                ImageOptions o;
                o.symbology = BARCODE_CODABAR;
                o.data = text;
                o.moduleSize = moduleSize;
                o.angle = angle;
                o.canvasWidth = 640;
                o.canvasHeight = 640;
                o.blurSigma = 0.5;
                ExpectOneRead(RenderBarcode(o), {text, text, "CODABAR", ""});
            }
        }
    }
}

TEST(WideNarrowReading, CodabarAtLittleMoreThanOnePixelPerNarrowElement) {
    // Narrow elements of 1.6 pixels, slightly blurred: one letter's edges,
    // each placed to a pixel, give ratios from 1 to 4.
    const std::string text = "A40156B";
    ImageOptions symbol;
    symbol.symbology = BARCODE_CODABAR;
    symbol.data = text;
    const std::string elements = ElementsOf(SymbolModules(symbol));
    const struct { int narrow, wide; } ratios[] = {{1, 2}, {5, 11}};
    for (const auto& ratio : ratios) {
        for (double angle : {0.0, 90.0, 180.0, 5.0}) {
            SCOPED_TRACE(testing::Message()
                         << ratio.narrow << ":" << ratio.wide << ", " << angle << " deg");
            ImageOptions o = WideNarrow(elements, ratio.narrow, ratio.wide, 1.6);
            o.angle = angle;
            o.canvasWidth = 400;
            o.canvasHeight = 400;
            ExpectOneRead(RenderBarcode(o), {text, text, "CODABAR", ""});
        }
    }
}

// Patch types 1 to 4; 6 and T are 1 and 3 read towards the picture's centre.
constexpr std::array<const char*, 4> kMarks = {"NNNNWNW", "WNNNNNW", "NNWNNNW", "NNWNWNN"};

struct Patch {
    const char* name;
    int mark;      // 1 to 4
    bool inwards;  // its reading direction points at the picture's centre
};

// The mark drawn beside the centre of a 400 x 400 picture, along its reading
// direction or against it.
ImageOptions PatchAt(const Patch& p, int narrow, int wide, double narrowPixels, double angle) {
    ImageOptions o =
        WideNarrow(kMarks[static_cast<size_t>(p.mark - 1)], narrow, wide, narrowPixels);
    o.angle = angle;
    o.canvasWidth = 400;
    o.canvasHeight = 400;
    // Counter-clockwise on screen, where y points down.
    const double a = angle * std::numbers::pi / 180;
    const double offset = p.inwards ? -90 : 90;
    o.centreX = 200 + offset * std::cos(a);
    o.centreY = 200 - offset * std::sin(a);
    return o;
}

TEST(WideNarrowReading, PatchCodesOfEveryTypeAtEveryRatio) {
    const Patch patches[] = {{"1", 1, false}, {"2", 2, false}, {"3", 3, false},
                             {"4", 4, true},  {"6", 1, true},  {"T", 3, true}};
    const struct { int narrow, wide; } ratios[] = {{1, 2}, {4, 9}, {2, 5}, {4, 11}};
    for (const Patch& p : patches) {
        const Expected expected{p.name, std::string("Patch code ") + p.name, "Patch Code",
                                "Document separator"};
        for (const auto& ratio : ratios) {
            // Patch codes are printed large. Their narrow width is measured on the
            // spaces alone, so in prints of a few pixels the slight widening of
            // bars by the signal's edges moves the measured ratio by a variant.
            for (double narrowPixels : {8.0, 10.0}) {
                for (double angle : kAngles) {
                    SCOPED_TRACE(testing::Message()
                                 << "type " << p.name << ", " << ratio.narrow << ":" << ratio.wide
                                 << ", " << narrowPixels << " px, " << angle << " deg");
                    ExpectOneRead(
                        RenderBarcode(PatchAt(p, ratio.narrow, ratio.wide, narrowPixels, angle)),
                        expected);
                }
            }
        }
    }
}

TEST(WideNarrowReading, OnlyTheFirstPatchCodeOfARunIsRead) {
    // Two patch codes, the upper one met first, and a symbol below them.
    const ImageOptions upper = WideNarrow(kMarks[1], 1, 2, 8);
    const ImageOptions lower = WideNarrow(kMarks[3], 1, 2, 8);
    Image picture = BlankImage(800, 800);
    PasteBarcode(picture, upper, 200, 200);
    PasteBarcode(picture, lower, 600, 350);
    PasteBarcode(picture, WideNarrow(ItfElements("1234567890"), 1, 3, 3), 400, 700);
    Blur(picture, 0.5);

    std::vector<std::string> texts;
    for (const MatchRecord& r : SearchPicture(picture).records)
        texts.emplace_back(XR_TextOf(r.rawData));
    EXPECT_EQ(texts, (std::vector<std::string>{"2", "1234567890"}));

    // Alone, the lower one is read.
    Image alone = BlankImage(800, 800);
    PasteBarcode(alone, lower, 600, 350);
    Blur(alone, 0.5);
    const std::vector<MatchRecord> reads = SearchPicture(alone).records;
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(XR_TextOf(reads[0].rawData), "4");
}

}  // namespace
