// Codabar read from measured widths: any wide/narrow ratio, bars and spaces
// spread apart by ink, perspective along the symbol; and nothing where the
// widths do not make Codabar characters.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>

#include "engine/profile/codabar_widths.h"
#include "engine/reader.h"
#include "tests/support/signal_renderer.h"

namespace {

using zeph::profile::CodabarWidths;
using zeph::test::RenderModules;
using zeph::test::RenderOptions;

// Elements of each character, bar first, 1 wide: the symbology's own table.
std::string_view Elements(char c) {
    switch (c) {
        case '0':
            return "0000011";
        case '1':
            return "0000110";
        case '3':
            return "1100000";
        case '4':
            return "0010010";
        case '5':
            return "1000010";
        case '9':
            return "1001000";
        case '+':
            return "0010101";
        case 'A':
            return "0011010";
        case 'B':
            return "0101001";
        default:
            return "";
    }
}

struct Widths {
    double narrowBar = 3, wideBar = 9, narrowSpace = 3, wideSpace = 9;
    double growth = 0;  // how much wider the last character is than the first
};

// The modules of `text` at these widths (in samples: one module a sample).
std::string Modules(std::string_view text, const Widths& w) {
    std::string modules;
    for (size_t c = 0; c < text.size(); ++c) {
        const double scale = 1 + w.growth * double(c) / double(text.size() - 1);
        const std::string_view e = c == 3 && text[c] == '?' ? "1111000" : Elements(text[c]);
        for (size_t i = 0; i < 7; ++i) {
            const bool bar = i % 2 == 0;
            const double width =
                e[i] == '1' ? (bar ? w.wideBar : w.wideSpace) : (bar ? w.narrowBar : w.narrowSpace);
            modules.append(static_cast<size_t>(std::lround(width * scale)), bar ? '1' : '0');
        }
        if (c + 1 < text.size())
            modules.append(static_cast<size_t>(std::lround(w.narrowSpace * scale)), '0');
    }
    return modules;
}

struct Read {
    int result = 0;
    std::string text;
    float confidence = 0;
};

Read Decode(std::string_view text, const Widths& w, float least = 0.81f) {
    RenderOptions o;
    o.samplesPerModule = 1.0;
    const ScanSignalPtr signal = RenderModules(Modules(text, w), o);
    CodabarWidths decoder;
    MatchRecord record;
    record.confidence = least;
    Read r;
    r.result = decoder.Decode(*signal, record);
    r.text = XR_TextOf(record.rawData);
    r.confidence = record.confidence;
    return r;
}

TEST(CodabarWidths, ReadsAnyRatioInkSpreadAndPerspective) {
    const Widths plain;
    EXPECT_EQ(Decode("A3419500A", plain).text, "A3419500A");
    Widths thin;  // bars lost ink to the spaces, which grew by as much
    thin.narrowBar = 2;
    thin.wideBar = 7;
    thin.narrowSpace = 4;
    thin.wideSpace = 11;
    const Read spread = Decode("A3419500A", thin);
    EXPECT_EQ(spread.text, "A3419500A");
    EXPECT_GT(spread.confidence, 0.9f);
    Widths low;  // wide only twice narrow
    low.narrowBar = low.narrowSpace = 4;
    low.wideBar = low.wideSpace = 8;
    EXPECT_EQ(Decode("B1+3B", low).text, "B1+3B");
    Widths turned = thin;
    turned.growth = 0.5;
    EXPECT_EQ(Decode("A3419500A", turned).text, "A3419500A");
}

TEST(CodabarWidths, RefusesWhatIsNoCodabarSymbol) {
    // A start or stop letter inside, none at an end, a character no table holds.
    EXPECT_EQ(Decode("A34A500A", {}).result, 0);
    EXPECT_EQ(Decode("A341950", {}).result, 0);
    EXPECT_EQ(Decode("A34?500A", {}).result, 0);
    // Start, one data character and stop are too few.
    EXPECT_EQ(Decode("A3A", {}).result, 0);
    // Wide hardly wider than narrow.
    Widths flat;
    flat.narrowBar = flat.narrowSpace = 6;
    flat.wideBar = flat.wideSpace = 7;
    EXPECT_EQ(Decode("A3419500A", flat).result, 0);
    // A record already more confident keeps its read.
    const Read beaten = Decode("A3419500A", {}, 0.999f);
    EXPECT_EQ(beaten.result, 0);
    EXPECT_EQ(beaten.text, "");
}

}  // namespace
