#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "engine/symbologies/code128_patterns.h"
#include "engine/symbologies/decoders.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;
namespace c128 = zeph::code128;

enum Start { kStartA, kStartB, kStartC };

std::string_view Token(std::string_view table, int index) {
    const size_t width = c128::kSymbolModules + 1;
    return table.substr(static_cast<size_t>(index) * width, c128::kSymbolModules);
}

// A symbol with the given check value.
std::string ModulesWithCheck(Start start, const std::vector<int>& data, int check) {
    std::string modules(Token(c128::kStarts, start));
    for (int v : data)
        modules += Token(c128::kSymbols, v);
    modules += Token(c128::kSymbols, check);
    return modules + std::string(c128::kStop);
}

// A symbol with its check character computed.
std::string Modules(Start start, const std::vector<int>& data) {
    int total = c128::kFirstStartValue + start;
    for (size_t k = 0; k < data.size(); ++k)
        total += static_cast<int>(k + 1) * data[k];
    return ModulesWithCheck(start, data, total % 103);
}

Read Decode(const std::string& modules, float confidence = 0.81f) {
    ScanSignalPtr scan = RenderModules(modules, Clean());
    Read read;
    read.record = Fresh(confidence);
    read.result = XR_DecodeCode128(*scan, read.record);
    return read;
}

// Values of printable characters in set B.
std::vector<int> SetB(std::string_view text) {
    std::vector<int> values;
    for (char c : text)
        values.push_back(c - 32);
    return values;
}

std::string Bytes(std::initializer_list<int> codes) {
    std::string s;
    for (int c : codes)
        s += static_cast<char>(c);
    return s;
}

TEST(Code128, StartBWithOneCharacterReadsA) {
    const std::string modules = ModulesWithCheck(kStartB, {33}, 34);
    ASSERT_EQ(RenderModules(modules, Clean())->barCount, 13);
    const Read read = Decode(modules);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "A");
    EXPECT_EQ(XR_TextOf(read.record.data), "A");
    EXPECT_EQ(XR_TextOf(read.record.symbology), "CODE-128");
    EXPECT_EQ(XR_TextOf(read.record.barcodeType), "Generic");
    EXPECT_EQ(XR_TextOf(read.record.descriptor), "");
    EXPECT_GT(read.record.confidence, 0.99f);
    EXPECT_LE(read.record.confidence, 1.0f);
}

TEST(Code128, WrongCheckCharacterLeavesTheRecordUntouched) {
    for (int check : {0, 33, 35, 102}) {
        const Read read = Decode(ModulesWithCheck(kStartB, {33}, check));
        EXPECT_EQ(read.result, 0) << check;
        EXPECT_EQ(XR_TextOf(read.record.rawData), "") << check;
        EXPECT_FLOAT_EQ(read.record.confidence, 0.81f) << check;
    }
}

TEST(Code128, StartAndCheckAloneGiveAnEmptyText) {
    for (Start start : {kStartA, kStartB, kStartC}) {
        ASSERT_EQ(RenderModules(Modules(start, {}), Clean())->barCount, 10);
        const Read read = Decode(Modules(start, {}));
        EXPECT_EQ(read.result, 1) << start;
        EXPECT_EQ(XR_TextOf(read.record.data), "") << start;
        EXPECT_EQ(XR_TextOf(read.record.symbology), "CODE-128") << start;
        EXPECT_EQ(Decode(ModulesWithCheck(start, {}, (start + 1) % 3)).result, 0) << start;
    }
}

struct TextCase {
    const char* name;
    Start start;
    std::vector<int> data;
    std::string text;
};

class Text : public ::testing::TestWithParam<TextCase> {};

TEST_P(Text, ValuesAreReadThroughTheCodeSets) {
    const TextCase& c = GetParam();
    const Read read = Decode(Modules(c.start, c.data));
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), c.text);
    EXPECT_EQ(XR_TextOf(read.record.data), c.text);
    EXPECT_EQ(XR_TextOf(read.record.barcodeType), "Generic");
}

INSTANTIATE_TEST_SUITE_P(
    Code128, Text,
    ::testing::Values(
        TextCase{"SetCDigitPairs", kStartC, {12, 5, 0, 99}, "12050099"},
        TextCase{"SetCThenCodeB", kStartC, {12, 5, 100, 33}, "1205A"},
        TextCase{"SetCThenCodeA", kStartC, {7, 101, 65}, "07\x01"},
        TextCase{"SetAControlCharacters",
                 kStartA,
                 {65, 95, 33},
                 "\x01\x1f"
                 "A"},
        TextCase{"SetBLowerCaseAndDelete", kStartB, {65, 94, 95}, "a~\x7f"},
        TextCase{"ShiftReadsOneCharacterInTheOtherSet",
                 kStartA,
                 {65, 98, 65, 65},
                 "\x01"
                 "a\x01"},
        TextCase{"ShiftFromBReadsAControlCharacter", kStartB, {33, 98, 73, 33}, "A\tA"},
        TextCase{"ShiftWaitsAcrossSetC", kStartA, {98, 99, 12, 101, 65, 65}, "12a\x01"},
        TextCase{"SwitchesBetweenAAndB", kStartA, {100, 65, 101, 65}, "a\x01"},
        TextCase{"Fnc4InSetB", kStartB, {100, 33}, Bytes({0xFC, 'A'})},
        TextCase{"Fnc4InSetA", kStartA, {101, 33}, Bytes({0xFC, 'A'})},
        TextCase{"Fnc2AndFnc3", kStartB, {97, 96, 33}, Bytes({0xFE, 0xFD, 'A'})},
        TextCase{"Fnc1InsideTheText", kStartC, {12, 102, 34}, Bytes({'1', '2', 0xFF, '3', '4'})}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST(Code128, LeadingFnc1MakesAUccEan128Symbol) {
    for (Start start : {kStartB, kStartC}) {
        const std::vector<int> data =
            start == kStartC ? std::vector<int>{102, 0, 12, 34} : std::vector<int>{102, 16, 16};
        const std::string raw = start == kStartC ? Bytes({0xFF, '0', '0', '1', '2', '3', '4'})
                                                 : Bytes({0xFF, '0', '0'});
        const Read read = Decode(Modules(start, data));
        ASSERT_EQ(read.result, 1) << start;
        EXPECT_EQ(XR_TextOf(read.record.rawData), raw) << start;
        EXPECT_EQ(XR_TextOf(read.record.symbology), "CODE-128") << start;
        EXPECT_EQ(XR_TextOf(read.record.barcodeType), "UCC/EAN-128") << start;
    }
}

TEST(Code128, BarCountsOutsideThreeCPlusFourAreRefused) {
    // A lone bar after the stop, or two, make 14 and 12 bars.
    const std::string gap(12, '0');
    for (const std::string& modules :
         {Modules(kStartB, {33}) + gap + "1", Modules(kStartB, {}) + gap + "1" + gap + "1"}) {
        ScanSignalPtr scan = RenderModules(modules, Clean());
        ASSERT_NE(scan->barCount % 3, 1);
        MatchRecord record = Fresh();
        EXPECT_EQ(XR_DecodeCode128(*scan, record), 0);
        EXPECT_EQ(XR_TextOf(record.rawData), "");
    }
    // Seven bars: a stop behind a start.
    ScanSignalPtr shortScan =
        RenderModules(std::string(Token(c128::kStarts, 1)) + std::string(c128::kStop), Clean());
    ASSERT_EQ(shortScan->barCount, 7);
    MatchRecord record = Fresh(0.0f);
    EXPECT_EQ(XR_DecodeCode128(*shortScan, record), 0);
}

TEST(Code128, HundredCharactersAreReadAndRawDataIsCut) {
    std::vector<int> data;
    std::string digits;
    for (int k = 0; k < 98; ++k) {
        data.push_back((7 * k + 3) % 100);
        digits += std::to_string(data.back() / 10) + std::to_string(data.back() % 10);
    }
    RenderOptions o = Clean();
    o.samplesPerModule = 2;
    ScanSignalPtr scan = RenderModules(Modules(kStartC, data), o);
    ASSERT_EQ(scan->barCount, 304);
    MatchRecord record = Fresh();
    ASSERT_EQ(XR_DecodeCode128(*scan, record), 1);
    EXPECT_EQ(XR_TextOf(record.data), digits);
    EXPECT_EQ(XR_TextOf(record.rawData), digits.substr(0, kRawDataWidth - 1));

    data.push_back(42);
    ScanSignalPtr longer = RenderModules(Modules(kStartC, data), o);
    ASSERT_EQ(longer->barCount, 307);
    MatchRecord untouched = Fresh();
    EXPECT_EQ(XR_DecodeCode128(*longer, untouched), 0);
}

TEST(Code128, MustBeatTheRecordsConfidenceStrictly) {
    const std::string modules = Modules(kStartB, SetB("Hello"));
    const Read first = Decode(modules, 0.0f);
    ASSERT_EQ(first.result, 1);
    const float confidence = first.record.confidence;
    EXPECT_EQ(Decode(modules, confidence).result, 0);
    EXPECT_EQ(Decode(modules, std::nextafter(confidence, 0.0f)).result, 1);
}

TEST(Code128, SignalEndingInsideTheStopBarIsRefused) {
    const std::string modules = Modules(kStartB, SetB("He"));
    ScanSignalPtr cut = CutInsideLastBar(modules);
    ASSERT_EQ(cut->barCount, 16);
    MatchRecord record = Fresh();
    EXPECT_EQ(XR_DecodeCode128(*cut, record), 0);
    EXPECT_EQ(Decode(modules).result, 1);
}

TEST(Code128, ReadsSharpSymbolsInBothDirections) {
    ExpectSharpReads(Modules(kStartB, SetB("Hello")), kCode128, "Hello");
    ExpectSharpReads(Modules(kStartC, {12, 34, 56, 78, 90}), kCode128, "1234567890");
}

TEST(Code128, ReadsBlurredJitteredSymbolsAndNeverMisreads) {
    ExpectScannerReads(Modules(kStartB, SetB("Stop-;mm")), kCode128, "Stop-;mm", 0.9);
    ExpectScannerReads(Modules(kStartC, {1, 23, 45, 67, 89}), kCode128, "0123456789", 0.9);
}

// Widths of bars and spaces ("2331112") drawn at `scale` samples per module.
ScanSignalPtr Scaled(std::string_view widths, double scale, double blur = 0, double noise = 0,
                     uint32_t seed = 1) {
    RenderOptions o;
    o.samplesPerModule = scale;
    o.blurSigma = blur;
    o.noise = noise;
    o.seed = seed;
    return RenderModules(WidthsToModules(widths), o);
}

// Modules with every module of characters [first, first + count) drawn
// `wider` times as wide as the others, on a grid of ten samples a module.
ScanSignalPtr WithWiderCharacters(const std::string& modules, int first, int count, double wider) {
    std::string fine;
    const auto from = static_cast<size_t>(first) * c128::kSymbolModules;
    const auto to = from + static_cast<size_t>(count) * c128::kSymbolModules;
    const auto stretched = static_cast<size_t>(std::lround(10 * wider));
    for (size_t m = 0; m < modules.size(); ++m)
        fine.append(m >= from && m < to ? stretched : 10, modules[m]);
    RenderOptions o;
    o.samplesPerModule = 1;
    o.quietModules = 100;
    return RenderModules(fine, o);
}

int DecodeSignal(const ScanSignal& scan) {
    MatchRecord record = Fresh();
    return XR_DecodeCode128(scan, record);
}

// Twenty characters that score perfectly carry a mean far above the threshold
// whatever the stop scores: the stop must match on its own.
TEST(Code128, StopThatMatchesNothingIsRefusedWhateverTheMean) {
    const std::string modules = Modules(kStartB, SetB("Twenty characters!!"));
    ASSERT_EQ(Decode(modules).result, 1);
    std::string deadStop = modules.substr(0, modules.size() - c128::kStop.size());
    for (std::string_view stop : {"1111144", "1113232", "4111141"}) {
        SCOPED_TRACE(stop);
        const std::string symbol = deadStop + WidthsToModules(stop);
        ASSERT_EQ(symbol.size(), modules.size());
        EXPECT_EQ(Decode(symbol).result, 0);
    }
}

// Bars that fall into groups of about eleven modules by chance, rendered as a
// scan line would see them: the check character holds and the mean clears the
// threshold, but a character or the stop matches nothing.
TEST(Code128, RandomBarsWhoseCheckHoldsAreRefused) {
    struct Case {
        std::string_view widths;
        double scale;
        double blur;
        double noise;
        uint32_t seed;
    };
    const Case cases[] = {
        {"2121321131231232211113231231312141122113312342132", 2.9595565953597101,
         0.25385841942217391, 0.03947793318397276, 349},
        {"13131241121213132112141213132113212221411222132111323111323121131323121213222121412111"
         "13411223123132112131131221141214121412121321131314112112332",
         3.7895873305199084, 0.57939892118655401, 0.05611579928378279, 18750},
        {"22111413222131114112214124121121241112222213231113222112212313141111321312142111242111"
         "14221411313311213112222211232132214221114111131113213",
         2.8962486645588403, 0.079689114161792474, 0.092603038778201363, 82916},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seed);
        EXPECT_EQ(DecodeSignal(*Scaled(c.widths, c.scale, c.blur, c.noise, c.seed)), 0);
    }
}

// Every character is eleven modules wide: perspective changes that slowly, a
// wrong grouping of bars abruptly.
TEST(Code128, CharacterMuchWiderThanItsNeighboursIsRefused) {
    const std::string modules = Modules(kStartB, SetB("Neighbours"));
    EXPECT_EQ(DecodeSignal(*WithWiderCharacters(modules, 5, 1, 1.0)), 1);
    EXPECT_EQ(DecodeSignal(*WithWiderCharacters(modules, 5, 1, 1.1)), 1);
    EXPECT_EQ(DecodeSignal(*WithWiderCharacters(modules, 5, 1, 1.2)), 0);
    EXPECT_EQ(DecodeSignal(*WithWiderCharacters(modules, 5, 1, 1.3)), 0);
    // A gradual change, each character 6 % wider than the one before, is read.
    std::string fine;
    for (size_t m = 0; m < modules.size(); ++m) {
        const size_t character = m / c128::kSymbolModules;
        fine.append(static_cast<size_t>(std::lround(10 * std::pow(1.06, character))), modules[m]);
    }
    RenderOptions o;
    o.samplesPerModule = 1;
    o.quietModules = 100;
    MatchRecord record = Fresh();
    ASSERT_EQ(XR_DecodeCode128(*RenderModules(fine, o), record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "Neighbours");
}

// Reversed and regrouped one bar on, the characters of "*y?T" are those of
// "lQ?z", whose check character then holds: met from its stop end, the one
// symbol passes for the other unless the bars are also read backwards.
TEST(Code128, SymbolMetBackwardsIsNotReadAsAnother) {
    const std::string symbol = Modules(kStartB, SetB("*y?T"));
    EXPECT_EQ(Decode(Reversed(symbol)).result, 0);
    for (double k : {2.0, 3.0, 4.0}) {
        for (double phase : {0.0, 0.34, 0.68}) {
            for (double blur : {0.0, 0.15, 0.3}) {
                SCOPED_TRACE("k=" + std::to_string(k) + " phase=" + std::to_string(phase) +
                             " blur=" + std::to_string(blur));
                RenderOptions o;
                o.samplesPerModule = k;
                o.offset = phase * k;
                o.blurSigma = blur * k;
                MatchRecord record = Fresh();
                EXPECT_EQ(XR_DecodeCode128(*RenderModules(Reversed(symbol), o), record), 0)
                    << XR_TextOf(record.rawData);
                const Read read = ReadModules(Reversed(symbol), o, kCode128);
                ASSERT_EQ(read.result, 1);
                EXPECT_EQ(XR_TextOf(read.record.rawData), "*y?T");
            }
        }
    }
}

// The other symbol of the pair, printed, reads better forwards than backwards
// and keeps its own text.
TEST(Code128, SymbolWhoseBackwardReadingHoldsIsReadForwards) {
    ExpectSharpReads(Modules(kStartB, SetB("lQ?z")), kCode128, "lQ?z");
    ExpectScannerReads(Modules(kStartB, SetB("lQ?z")), kCode128, "lQ?z", 0.9);
    ExpectSharpReads(Modules(kStartB, SetB("*y?T")), kCode128, "*y?T");
    ExpectScannerReads(Modules(kStartB, SetB("*y?T")), kCode128, "*y?T", 0.9);
}

TEST(Code128, TablesAreBuiltAgainAfterRelease) {
    const std::string modules = Modules(kStartB, {33});
    ASSERT_EQ(Decode(modules).result, 1);
    XR_FreeCode128Tables();
    XR_FreeCode128Tables();
    EXPECT_EQ(Decode(modules).result, 1);
}

}  // namespace
