#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/symbologies/code39_patterns.h"
#include "engine/symbologies/decoders.h"
#include "engine/symbologies/wide_narrow.h"
#include "tests/support/image_renderer.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;

constexpr std::string_view kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

// Element widths (1 narrow, 2 wide) of every character, asterisk included, as
// the independent encoder draws them at its 2:1 ratio.
const std::map<char, std::string>& ElementsByCharacter() {
    static const std::map<char, std::string> elements = [] {
        ImageOptions o;
        o.symbology = BARCODE_CODE39;
        o.data = std::string(kAlphabet);
        const std::string modules = SymbolModules(o);
        std::vector<int> runs;
        for (size_t i = 0; i < modules.size(); ++i) {
            if (i > 0 && modules[i] == modules[i - 1])
                ++runs.back();
            else
                runs.push_back(1);
        }
        // Nine elements and a gap per character, start and stop included.
        EXPECT_EQ(runs.size(), 10 * (kAlphabet.size() + 2) - 1);
        const std::string characters = "*" + std::string(kAlphabet) + "*";
        std::map<char, std::string> byCharacter;
        for (size_t k = 0; k < characters.size(); ++k) {
            std::string widths;
            for (size_t e = 0; e < 9; ++e)
                widths += static_cast<char>('0' + runs[10 * k + e]);
            byCharacter[characters[k]] = widths;
        }
        return byCharacter;
    }();
    return elements;
}

// Modules of "*text*" with narrow elements (and gaps) `narrow` modules wide
// and wide elements `wide` modules wide.
std::string Code39(std::string_view text, int narrow = 1, int wide = 2) {
    const std::string characters = "*" + std::string(text) + "*";
    std::string modules;
    for (size_t k = 0; k < characters.size(); ++k) {
        if (k > 0) modules.append(static_cast<size_t>(narrow), '0');
        bool bar = true;
        for (char w : ElementsByCharacter().at(characters[k])) {
            modules.append(static_cast<size_t>(w == '2' ? wide : narrow), bar ? '1' : '0');
            bar = !bar;
        }
    }
    return modules;
}

Read ReadCode39(std::string_view text, const RenderOptions& options = Clean()) {
    return ReadModules(Code39(text), options, kCode39);
}

struct Texts {
    const char* raw;
    std::string data;
    const char* type;
    const char* descriptor;
};

class Code39Texts : public ::testing::TestWithParam<Texts> {};

TEST_P(Code39Texts, ReadingIsClassifiedAndExpanded) {
    const Texts& t = GetParam();
    const Read read = ReadCode39(t.raw);
    ASSERT_EQ(read.result, 1) << t.raw;
    EXPECT_EQ(XR_TextOf(read.record.rawData), t.raw);
    EXPECT_EQ(XR_TextOf(read.record.data), t.data);
    EXPECT_EQ(XR_TextOf(read.record.symbology), "CODE-39");
    EXPECT_EQ(XR_TextOf(read.record.barcodeType), t.type);
    EXPECT_EQ(XR_TextOf(read.record.descriptor), t.descriptor);
    EXPECT_GT(read.record.confidence, 0.95f);
}

constexpr const char* kExtended = "Extended ASCII formatting";

INSTANTIATE_TEST_SUITE_P(Code39, Code39Texts,
                         ::testing::Values(
                             // 10 + 11 = 21, "L": the check character stays in both texts.
                             Texts{"ABL", "ABL", "Generic with checksum", ""},
                             // One character: an empty sum checks against "0".
                             Texts{"0", "0", "Generic with checksum", ""},
                             Texts{"CODE 39", "CODE 39", "Generic", ""},
                             Texts{"CODE 39R", "CODE 39R", "Generic with checksum", ""},
                             Texts{"+H+I", "hi", "Generic", kExtended},
                             Texts{"$M", "\r", "Generic", kExtended},
                             // An escape without a partner is copied.
                             Texts{"A$1", "A$1", "Generic", kExtended},
                             Texts{"/A/L/O/Z/M", "!,/:/M", "Generic", kExtended},
                             Texts{"%A%E%F%J%K%O%P%T%V%W%X%Y%Z", "\x1b\x1f;?[_{\x7f@`\x7f\x7f\x7f",
                                   "Generic", kExtended},
                             Texts{"$A$Z+A+Z",
                                   "\x01\x1a"
                                   "az",
                                   "Generic", kExtended},
                             // A pair standing for NUL ends the data text.
                             Texts{"AB%UCD", "AB", "Generic", kExtended}));

TEST(Code39, VinIsBrokenDownIntoItsParts) {
    const Read read = ReadCode39("I1M8GDM9AXKP042788");
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "I1M8GDM9AXKP042788");
    EXPECT_EQ(XR_TextOf(read.record.barcodeType), "VIN");
    EXPECT_EQ(XR_TextOf(read.record.descriptor), "Vehicle Identification Number");
    EXPECT_EQ(XR_TextOf(read.record.data),
              "WMI: 1M8; VDS: GDM9A; Year: 1989; Plant: P; Serial#: 042788");

    const Read digit = ReadCode39("I1HGCM82633A004352");
    ASSERT_EQ(digit.result, 1);
    EXPECT_EQ(XR_TextOf(digit.record.barcodeType), "VIN");
    EXPECT_EQ(XR_TextOf(digit.record.data),
              "WMI: 1HG; VDS: CM826; Year: 2003; Plant: A; Serial#: 004352");

    // Year characters that name no model year.
    const Read unknownYear = ReadCode39("IWP0ZZZ997ZS392124");
    ASSERT_EQ(unknownYear.result, 1);
    EXPECT_EQ(XR_TextOf(unknownYear.record.data),
              "WMI: WP0; VDS: ZZZ99; Year: ????; Plant: S; Serial#: 392124");
}

TEST(Code39, VinWithoutItsCheckOrPrefixIsAPlainSymbol) {
    for (const char* raw : {"I1M8GDM9A0KP042788", "1M8GDM9AXKP042788", "I5YJ3E1EA7KF317823"}) {
        const Read read = ReadCode39(raw);
        ASSERT_EQ(read.result, 1) << raw;
        EXPECT_EQ(XR_TextOf(read.record.barcodeType), "Generic") << raw;
        EXPECT_EQ(XR_TextOf(read.record.data), raw);
        EXPECT_EQ(XR_TextOf(read.record.descriptor), "");
    }
}

// Every printing ratio the decoder has a table for, and ratios between them.
class Code39Ratios : public ::testing::TestWithParam<zeph::wide_narrow::Widths> {};

TEST_P(Code39Ratios, SharpSymbolsAreReadInBothDirections) {
    const zeph::wide_narrow::Widths w = GetParam();
    ExpectSharpReads(Code39("ZEPH-39A", w.narrow, w.wide), kCode39, "ZEPH-39A");
}

INSTANTIATE_TEST_SUITE_P(
    Code39, Code39Ratios,
    ::testing::Values(zeph::wide_narrow::Widths{1, 2}, zeph::wide_narrow::Widths{4, 9},
                      zeph::wide_narrow::Widths{2, 5}, zeph::wide_narrow::Widths{4, 11},
                      zeph::wide_narrow::Widths{1, 3}, zeph::wide_narrow::Widths{4, 13},
                      zeph::wide_narrow::Widths{2, 7}, zeph::wide_narrow::Widths{5, 11},
                      zeph::wide_narrow::Widths{5, 14}, zeph::wide_narrow::Widths{5, 19}));

TEST(Code39, RatioPicksOneOfSevenTables) {
    using zeph::wide_narrow::VariantFor;
    const auto& bounds = zeph::wide_narrow::kVariantBounds;
    const std::pair<float, size_t> cases[] = {{1.3f, 0},   {2.124f, 0}, {2.125f, 1}, {2.375f, 2},
                                              {2.625f, 3}, {2.875f, 4}, {3.124f, 4}, {3.125f, 5},
                                              {3.375f, 6}, {4.2f, 6}};
    for (const auto& [ratio, variant] : cases)
        EXPECT_EQ(VariantFor(ratio, bounds), variant) << ratio;
}

TEST(Code39, StartCharacterOutsideTheRatioRangeIsRefused) {
    RenderOptions o = Clean();
    o.samplesPerModule = 1;
    // 1.2 and 4.3 lie outside, 1.4 and 4.1 inside the measured range.
    for (const auto& [narrow, wide] : {std::pair{5, 6}, std::pair{10, 43}}) {
        ScanSignalPtr scan = RenderModules(Code39("AB", narrow, wide), o);
        MatchRecord record = Fresh(0.0f);
        EXPECT_EQ(XR_DecodeCode39(*scan, record), 0) << narrow << ":" << wide;
    }
    for (const auto& [narrow, wide] : {std::pair{5, 7}, std::pair{10, 41}}) {
        ScanSignalPtr scan = RenderModules(Code39("AB", narrow, wide), o);
        MatchRecord record = Fresh(0.0f);
        EXPECT_EQ(XR_DecodeCode39(*scan, record), 1) << narrow << ":" << wide;
        EXPECT_EQ(XR_TextOf(record.rawData), "AB");
    }
}

TEST(Code39, ReadsBlurredJitteredSymbolsAndNeverMisreads) {
    ExpectScannerReads(Code39("CODE 39"), kCode39, "CODE 39", 0.9);
    ExpectScannerReads(Code39("A1B2C3", 2, 5), kCode39, "A1B2C3", 0.9);
}

TEST(Code39, BarCountsOtherThanStartCharactersAndStopAreRefused) {
    const auto decode = [](const std::string& modules) {
        ScanSignalPtr scan = RenderModules(modules, Clean());
        MatchRecord record = Fresh(0.0f);
        return XR_DecodeCode39(*scan, record);
    };
    // Start and stop with nothing between them: 10 bars.
    EXPECT_EQ(RenderModules(Code39(""), Clean())->barCount, 10);
    EXPECT_EQ(decode(Code39("")), 0);
    // A stray bar after the stop: 21 bars.
    EXPECT_EQ(decode(Code39("AB") + "00000001"), 0);
    EXPECT_EQ(decode(Code39("AB")), 1);
}

TEST(Code39, SignalEndingInsideTheLastBarIsRefused) {
    ScanSignalPtr cut = CutInsideLastBar(Code39("ABL"));
    ASSERT_EQ(cut->barCount, 25);
    MatchRecord record = Fresh(0.0f);
    EXPECT_EQ(XR_DecodeCode39(*cut, record), 0);
}

TEST(Code39, MustBeatTheRecordsConfidenceStrictly) {
    ScanSignalPtr scan = RenderModules(Code39("ABL"), Clean());
    MatchRecord first = Fresh(0.0f);
    ASSERT_EQ(XR_DecodeCode39(*scan, first), 1);
    MatchRecord record = Fresh(first.confidence);
    EXPECT_EQ(XR_DecodeCode39(*scan, record), 0);
    EXPECT_EQ(XR_TextOf(record.rawData), "");
    record.confidence = first.confidence - 1e-6f;
    EXPECT_EQ(XR_DecodeCode39(*scan, record), 1);
}

TEST(Code39, OneWeakCharacterSinksAPlainSymbolButNotACheckedOne) {
    // The "E" printed with heavy ink spread: bars two modules wider, spaces two
    // narrower than in the rest of the symbol (3 and 6 modules). It still wins
    // its entry, but scores well below the other characters.
    const auto withSpreadE = [](std::string_view text) {
        std::string modules = Code39(text, 3, 6);
        std::string e;
        const std::string_view elements = "WNNNWWNNN";
        for (size_t k = 0; k < elements.size(); ++k) {
            const bool bar = k % 2 == 0;
            const int width = (elements[k] == 'W' ? 6 : 3) + (bar ? 2 : -2);
            e.append(static_cast<size_t>(width), bar ? '1' : '0');
        }
        // Character 4 of "*CODE...", 39 modules with its gap.
        modules.replace(39 * 4, 36, e);
        return modules;
    };
    ScanSignalPtr scan = RenderModules(withSpreadE("CODE 39R"), Clean());
    MatchRecord record = Fresh(0.0f);
    ASSERT_EQ(XR_DecodeCode39(*scan, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "CODE 39R");
    EXPECT_EQ(XR_TextOf(record.barcodeType), "Generic with checksum");

    scan = RenderModules(withSpreadE("CODE 39"), Clean());
    record = Fresh(0.0f);
    EXPECT_EQ(XR_DecodeCode39(*scan, record), 0);
}

TEST(Code39, HundredCharactersAtMost) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += kAlphabet[static_cast<size_t>(i * 7 % 36)];
    RenderOptions o = Clean();
    o.samplesPerModule = 2;
    ScanSignalPtr scan = RenderModules(Code39(text), o);
    MatchRecord record = Fresh(0.0f);
    ASSERT_EQ(XR_DecodeCode39(*scan, record), 1);
    // The raw text is cut at its field; the data text holds every character.
    EXPECT_EQ(XR_TextOf(record.rawData), text.substr(0, kRawDataWidth - 1));
    EXPECT_EQ(XR_TextOf(record.data), text);

    scan = RenderModules(Code39(text + "A"), o);
    record = Fresh(0.0f);
    EXPECT_EQ(XR_DecodeCode39(*scan, record), 0);
}

TEST(Code39, TablesAreBuiltAgainAfterRelease) {
    ScanSignalPtr scan = RenderModules(Code39("ABL"), Clean());
    MatchRecord record = Fresh(0.0f);
    ASSERT_EQ(XR_DecodeCode39(*scan, record), 1);
    XR_FreeCode39Tables();
    XR_FreeCode39Tables();
    record = Fresh(0.0f);
    EXPECT_EQ(XR_DecodeCode39(*scan, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "ABL");
}

}  // namespace
