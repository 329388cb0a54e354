// Interleaved 2 of 5 read from measured widths: ink spread that makes narrow
// bars and narrow spaces differ, steep perspective, any wide/narrow ratio;
// and nothing where the widths do not make digit pairs.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>

#include "engine/profile/itf_widths.h"
#include "engine/reader.h"
#include "tests/support/signal_renderer.h"

namespace {

using zeph::profile::ItfWidths;
using zeph::test::RenderModules;
using zeph::test::RenderOptions;

// Wide elements of each digit: the symbology's own table, written out here
// so that the decoder's copy is checked against it.
constexpr std::string_view kDigits[] = {"NNWWN", "WNNNW", "NWNNW", "WWNNN", "NNWNW",
                                        "WNWNN", "NWWNN", "NNNWW", "WNNWN", "NWNWN"};

struct Widths {
    double narrowBar = 3, wideBar = 9, narrowSpace = 3, wideSpace = 9;
    double growth = 0;  // how much wider the stop's elements are than the start's
};

// Start, pairs, stop as element letters; `bad` replaces one digit's letters.
std::string Letters(std::string_view digits, std::string_view bad = "") {
    std::string letters = "NNNN";
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        std::string_view a = kDigits[digits[i] - '0'];
        const std::string_view b = kDigits[digits[i + 1] - '0'];
        if (i == 2 && !bad.empty()) a = bad;
        for (size_t e = 0; e < 5; ++e) {
            letters += a[e];
            letters += b[e];
        }
    }
    return letters + "WNN";
}

std::string Modules(std::string_view letters, const Widths& w) {
    std::string modules;
    for (size_t e = 0; e < letters.size(); ++e) {
        const bool bar = e % 2 == 0;
        const bool wide = letters[e] == 'W';
        const double width =
            wide ? (bar ? w.wideBar : w.wideSpace) : (bar ? w.narrowBar : w.narrowSpace);
        const double scale = 1 + w.growth * double(e) / double(letters.size() - 1);
        modules.append(static_cast<size_t>(std::lround(width * scale)), bar ? '1' : '0');
    }
    return modules;
}

struct Read {
    int result = 0;
    std::string text;
    float confidence = 0;
};

Read Decode(std::string_view letters, const Widths& w, float least = 0.81f) {
    RenderOptions o;
    o.samplesPerModule = 1.0;
    const ScanSignalPtr signal = RenderModules(Modules(letters, w), o);
    ItfWidths decoder;
    MatchRecord record;
    record.confidence = least;
    Read r;
    r.result = decoder.Decode(*signal, record);
    r.text = XR_TextOf(record.rawData);
    r.confidence = record.confidence;
    return r;
}

TEST(ItfWidths, ReadsInkSpreadSteepPerspectiveAndAnyRatio) {
    EXPECT_EQ(Decode(Letters("30712345000010"), {}).text, "30712345000010");
    EXPECT_EQ(Decode(Letters("0123456789"), {}).text, "0123456789");
    Widths thin;  // bars lost ink to the spaces, which grew by as much
    thin.narrowBar = 2;
    thin.wideBar = 8;
    thin.narrowSpace = 4;
    thin.wideSpace = 10;
    const Read spread = Decode(Letters("30712345000010"), thin);
    EXPECT_EQ(spread.text, "30712345000010");
    EXPECT_GT(spread.confidence, 0.9f);
    Widths low;  // wide only twice narrow
    low.narrowBar = low.narrowSpace = 4;
    low.wideBar = low.wideSpace = 8;
    EXPECT_EQ(Decode(Letters("123456"), low).text, "123456");
    // Seen at a slant: the far end's modules a quarter as wide as the near one's.
    Widths slant;
    slant.narrowBar = 2;
    slant.wideBar = 6;
    slant.narrowSpace = 2;
    slant.wideSpace = 6;
    slant.growth = 3;
    EXPECT_EQ(Decode(Letters("30712345000010"), slant).text, "30712345000010");
}

TEST(ItfWidths, RefusesWhatIsNoInterleaved2of5Symbol) {
    // A digit with three wide elements, or with one.
    EXPECT_EQ(Decode(Letters("30712345000010", "WWNWN"), {}).result, 0);
    EXPECT_EQ(Decode(Letters("30712345000010", "NNWNN"), {}).result, 0);
    // A start with a wide element, a stop without its wide bar.
    std::string letters = Letters("30712345000010");
    letters[1] = 'W';
    EXPECT_EQ(Decode(letters, {}).result, 0);
    letters = Letters("30712345000010");
    letters[letters.size() - 3] = 'N';
    EXPECT_EQ(Decode(letters, {}).result, 0);
    // Two pairs are too few to tell the classes apart; the templates read them.
    EXPECT_EQ(Decode(Letters("1234"), {}).result, 0);
    // Wide hardly wider than narrow.
    Widths flat;
    flat.narrowBar = flat.narrowSpace = 6;
    flat.wideBar = flat.wideSpace = 7;
    EXPECT_EQ(Decode(Letters("30712345000010"), flat).result, 0);
    // Pairs whose widths jump: no perspective does that.
    Widths jump;
    jump.growth = 6;
    EXPECT_EQ(Decode(Letters("123456"), jump).result, 0);
    // A record as confident as a read can be keeps its read.
    const Read beaten = Decode(Letters("30712345000010"), {}, 1.0f);
    EXPECT_EQ(beaten.result, 0);
    EXPECT_EQ(beaten.text, "");
}

}  // namespace
