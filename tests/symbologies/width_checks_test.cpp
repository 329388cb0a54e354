// Element widths that the correlation scores cannot judge: characters of one
// width in modules must measure alike, guards must fit the digits, and the
// wide elements of a two-width character must be its widest.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/symbologies/codabar_patterns.h"
#include "engine/symbologies/code128_patterns.h"
#include "engine/symbologies/decoders.h"
#include "engine/symbologies/element_classes.h"
#include "engine/symbologies/width_checks.h"
#include "tests/support/ean_encoder.h"
#include "tests/support/image_renderer.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;
namespace c128 = zeph::code128;

// Every module of `modules` repeated `times` times.
std::string Stretched(std::string_view modules, int times) {
    std::string out;
    for (const char m : modules)
        out.append(static_cast<size_t>(times), m);
    return out;
}

// Codabar "A123B" as narrow and wide elements, one narrow gap between characters.
std::string CodabarA123B() {
    std::string elements;
    for (const char c : std::string_view("A123B")) {
        const size_t k = zeph::codabar::kAlphabet.find(c);
        elements += k < 16 ? zeph::codabar::kData.substr(k * 8, 7)
                           : zeph::codabar::kStartStop.substr((k - 16) * 8, 7);
        elements += 'N';
    }
    elements.pop_back();
    return elements;
}

std::string_view Code128Token(std::string_view table, int index) {
    return table.substr(static_cast<size_t>(index) * (c128::kSymbolModules + 1),
                        c128::kSymbolModules);
}

// Start B, "Hi!" and the check character; `wide` (when >= 0) is the data
// character drawn at twice its width.
std::string Code128Hi(int wide) {
    const int values[] = {'H' - 32, 'i' - 32, '!' - 32};
    int total = c128::kFirstStartValue + 1;
    std::string modules(Code128Token(c128::kStarts, 1));
    for (int k = 0; k < 3; ++k) {
        total += (k + 1) * values[k];
        const std::string_view token = Code128Token(c128::kSymbols, values[k]);
        modules += k == wide ? Stretched(token, 2) : std::string(token);
    }
    return modules + std::string(Code128Token(c128::kSymbols, total % 103)) +
           std::string(c128::kStop);
}

TEST(WidthChecks, EvenWidthsFollowPerspectiveButNotAJump) {
    std::vector<float> widths;
    for (int k = 0; k < 24; ++k)
        widths.push_back(10.0f * std::pow(1.08f, static_cast<float>(k)));
    EXPECT_TRUE(zeph::EvenWidths(widths, zeph::kWidthTolerance));
    widths[11] *= 1.6f;
    EXPECT_FALSE(zeph::EvenWidths(widths, zeph::kWidthTolerance));
    widths[11] /= 1.6f * 1.6f;
    EXPECT_FALSE(zeph::EvenWidths(widths, zeph::kWidthTolerance));
}

TEST(WidthChecks, ACode128CharacterTwiceAsWideIsRefusedThoughItMatchesItsPattern) {
    // The length-normalising correlation scores the stretched character as
    // well as the others: only its width gives it away.
    MatchRecord record = Fresh();
    ASSERT_EQ(XR_DecodeCode128(*RenderModules(Code128Hi(-1), Clean()), record), 1);
    EXPECT_EQ(XR_TextOf(record.data), "Hi!");
    for (int wide = 0; wide < 3; ++wide) {
        record = Fresh();
        EXPECT_EQ(XR_DecodeCode128(*RenderModules(Code128Hi(wide), Clean()), record), 0) << wide;
    }
}

TEST(WidthChecks, AnEanGuardTwiceAsWideIsRefused) {
    const std::string modules = Ean13Modules("4006381333931");
    MatchRecord record = Fresh();
    ASSERT_EQ(XR_DecodeEan13(*RenderModules(modules, Clean()), record), 1);
    // Start guard "101" drawn at two modules per module.
    record = Fresh();
    EXPECT_EQ(
        XR_DecodeEan13(*RenderModules(Stretched("101", 2) + modules.substr(3), Clean()), record),
        0);
}

TEST(WidthChecks, WideElementsMustBeTheWidestOfTheirKind) {
    // Codabar "A" (NNWWNWN) at narrow 1, wide 3, one sample per module.
    ScanSignalPtr letter = Exact(WidthsToModules("1133131"));
    EXPECT_TRUE(zeph::FollowsWideNarrow(*letter, 0, "NNWWNWN"));
    // Bars and spaces are judged apart: ink spread may make a narrow bar as
    // wide as a wide space.
    ScanSignalPtr spread = Exact(WidthsToModules("4163434"));
    EXPECT_TRUE(zeph::FollowsWideNarrow(*spread, 0, "NNWWNWN"));
    // A narrow bar wider than the wide one.
    ScanSignalPtr wrong = Exact(WidthsToModules("4133131"));
    EXPECT_FALSE(zeph::FollowsWideNarrow(*wrong, 0, "NNWWNWN"));
}

TEST(WidthChecks, ElementClassesCancelInkSpread) {
    // Narrow 4 and wide 10, bars two samples wider and spaces two narrower.
    std::vector<float> bars = {6, 12, 6, 6, 12, 6};
    std::vector<float> spaces = {2, 8, 8, 2, 2};
    const zeph::ElementClasses c = zeph::ClassifyElements(bars, spaces);
    EXPECT_FLOAT_EQ(c.narrow, 4);
    EXPECT_FLOAT_EQ(c.wide, 10);
    EXPECT_FLOAT_EQ(c.ratio, 2.5f);
    // Widths that rise by small steps, or one kind of one width, split nowhere.
    std::vector<float> ramp = {4, 4.4f, 4.8f, 5.2f, 5.7f};
    std::vector<float> spacesAgain = {2, 8, 8, 2, 2};
    EXPECT_EQ(zeph::ClassifyElements(ramp, spacesAgain).ratio, 0);
    std::vector<float> same = {5, 5, 5};
    std::vector<float> spacesOnceMore = {2, 8};
    EXPECT_EQ(zeph::ClassifyElements(same, spacesOnceMore).ratio, 0);
}

TEST(WidthChecks, SymbolsWithoutACheckNeedLightBeforeTheirStart) {
    // Codabar "A123B" (narrow 1, wide 3 modules) behind a stray bar: read
    // with the stray bar dropped only when the gap before the start letter is
    // a quiet zone, not a space inside a longer run.
    const std::string symbol = WideNarrowModules(CodabarA123B(), 1, 3);
    ReaderConfigPtr config = XR_ParseConfig("-bctypes 256");
    for (const int gap : {1, 2, 3, 6}) {
        ScanSignalPtr scan =
            RenderModules("11" + std::string(static_cast<size_t>(gap), '0') + symbol, Clean());
        MatchRecord record = Fresh();
        const int r = XR_DecodeAttempts(*scan, *config, record);
        EXPECT_EQ(r, gap >= 3 ? 1 : 0) << gap;
        EXPECT_EQ(XR_TextOf(record.rawData), r == 1 ? "A123B" : "") << gap;
    }
}

TEST(WidthChecks, CodabarMayFollowASpeckOrAnEdgeClosely) {
    // Codabar "A123B" at narrow 4, wide 12 modules: a stray bar of its own
    // widths close before the start makes it a piece of a longer symbol; a
    // speck of dirt or the edge of a dark ground does not.
    const std::string symbol = WideNarrowModules(CodabarA123B(), 4, 12);
    ReaderConfigPtr config = XR_ParseConfig("-bctypes 256");
    const struct {
        int stray;  // modules of dark before the gap
        bool read;
    } cases[] = {{1, true}, {4, false}, {12, false}, {17, false}, {19, true}, {60, true}};
    for (const auto& c : cases) {
        for (const int gap : {4, 8}) {
            ScanSignalPtr scan =
                RenderModules(std::string(static_cast<size_t>(c.stray), '1') +
                                  std::string(static_cast<size_t>(gap), '0') + symbol,
                              Clean());
            MatchRecord record = Fresh();
            const int r = XR_DecodeAttempts(*scan, *config, record);
            EXPECT_EQ(r, c.read ? 1 : 0) << c.stray << " " << gap;
            EXPECT_EQ(XR_TextOf(record.rawData), c.read ? "A123B" : "") << c.stray << " " << gap;
        }
    }
}

TEST(WidthChecks, RandomBarsAreNoSymbol) {
    // Bars and spaces of one to four modules, 12 to 71 bars, sharp and
    // blurred, read as every symbology in both directions. (Before these
    // checks, 4 of these 6000 read: UPC-E numbers.)
    ReaderConfigPtr config = XR_ParseConfig("-bctypes 1023");
    std::mt19937 rng(7);
    int reads = 0;
    for (int trial = 0; trial < 6000; ++trial) {
        const int bars = 12 + trial % 60;
        std::string widths;
        for (int b = 0; b < 2 * bars - 1; ++b)
            widths += static_cast<char>('1' + rng() % 4);
        RenderOptions o;
        o.samplesPerModule = 2.0 + (trial % 5) * 0.5;
        o.blurSigma = (trial % 3) * 0.4;
        o.seed = static_cast<uint32_t>(trial);
        ScanSignalPtr scan = RenderModules(WidthsToModules(widths), o);
        MatchRecord record = Fresh();
        const int r = XR_DecodeAttempts(*scan, *config, record);
        ASSERT_GE(r, 0);
        if (r == 1) {
            ++reads;
            ADD_FAILURE() << widths << " read as " << XR_TextOf(record.symbology) << " "
                          << XR_TextOf(record.rawData);
        }
    }
    EXPECT_EQ(reads, 0);
}

}  // namespace
