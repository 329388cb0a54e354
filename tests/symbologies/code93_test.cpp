#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "engine/symbologies/decoders.h"
#include "tests/support/image_renderer.h"
#include "tests/symbologies/read_helpers.h"

namespace {

using namespace zeph::test;

constexpr std::string_view kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
constexpr size_t kCharacterModules = 9;

std::string ZintModules(std::string_view data) {
    ImageOptions o;
    o.symbology = BARCODE_CODE93;
    o.data = std::string(data);
    return SymbolModules(o);
}

// Modules of the 47 values, the start and the stop, as the independent encoder
// draws them.
struct Encoding {
    std::array<std::string, 47> values;
    std::string start;
    std::string stop;
};

const Encoding& Code93Encoding() {
    static const Encoding encoding = [] {
        Encoding e;
        const std::string all = ZintModules(kAlphabet);
        // Start, 43 characters, C, K, stop and its termination bar.
        EXPECT_EQ(all.size(), kCharacterModules * (kAlphabet.size() + 4) + 1);
        for (size_t v = 0; v < kAlphabet.size(); ++v)
            e.values[v] = all.substr(kCharacterModules * (v + 1), kCharacterModules);
        e.start = all.substr(0, kCharacterModules);
        e.stop = all.substr(all.size() - kCharacterModules - 1);
        // Each shift comes first in the pair of a character outside the 43.
        const std::string_view shifted[] = {"\x01", "\x1b", "!", "a"};
        for (size_t s = 0; s < 4; ++s)
            e.values[43 + s] = ZintModules(shifted[s]).substr(kCharacterModules, kCharacterModules);
        return e;
    }();
    return encoding;
}

int CheckValue(const std::vector<int>& values, int cycle) {
    int sum = 0;
    for (size_t i = 0; i < values.size(); ++i)
        sum +=
            static_cast<int>((values.size() - 1 - i) % static_cast<size_t>(cycle) + 1) * values[i];
    return sum % 47;
}

// A symbol of the given values with its check characters C and K (or with the
// ones given).
std::string Code93(std::vector<int> values, int c = -1, int k = -1) {
    values.push_back(c >= 0 ? c : CheckValue(values, 20));
    values.push_back(k >= 0 ? k : CheckValue(values, 15));
    const Encoding& e = Code93Encoding();
    std::string modules = e.start;
    for (int v : values)
        modules += e.values[static_cast<size_t>(v)];
    return modules + e.stop;
}

std::vector<int> ValuesOf(std::string_view text) {
    std::vector<int> values;
    for (char ch : text)
        values.push_back(static_cast<int>(kAlphabet.find(ch)));
    return values;
}

int Decode(const std::string& modules, MatchRecord& record) {
    ScanSignalPtr scan = RenderModules(modules, Clean());
    return XR_DecodeCode93(*scan, record);
}

TEST(Code93, EncoderAgreesWithTheIndependentOne) {
    EXPECT_EQ(Code93(ValuesOf("AB")), ZintModules("AB"));
    EXPECT_EQ(Code93({46, 17, 46, 18}), ZintModules("hi"));
}

TEST(Code93, TwoCharactersWithTheirChecks) {
    // C = (2 x 10 + 11) mod 47 = 31 "V", K = (3 x 10 + 2 x 11 + 31) mod 47 = 36 "-".
    const std::string modules = Code93(ValuesOf("AB"), 31, 36);
    EXPECT_EQ(RenderModules(modules, Clean())->barCount, 19);
    const Read read = ReadModules(modules, Clean(), kCode93);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), "AB");
    EXPECT_EQ(XR_TextOf(read.record.data), "AB");
    EXPECT_EQ(XR_TextOf(read.record.symbology), "CODE-93");
    EXPECT_EQ(XR_TextOf(read.record.barcodeType), "Generic");
    EXPECT_EQ(XR_TextOf(read.record.descriptor), "");
    EXPECT_GT(read.record.confidence, 0.95f);
}

TEST(Code93, SymbolOfTheCheckCharactersAloneIsEmpty) {
    const std::string modules = Code93({});
    ASSERT_EQ(RenderModules(modules, Clean())->barCount, 13);
    MatchRecord record = Fresh(0.0f);
    XR_SetText(record.rawData, "earlier");
    XR_SetText(record.descriptor, "earlier");
    ASSERT_EQ(Decode(modules, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "");
    EXPECT_EQ(XR_TextOf(record.data), "");
    EXPECT_EQ(XR_TextOf(record.descriptor), "");
    EXPECT_EQ(XR_TextOf(record.symbology), "CODE-93");
}

TEST(Code93, OneCharacterCannotHoldBothChecks) {
    const Encoding& e = Code93Encoding();
    const std::string modules = e.start + e.values[0] + e.stop;
    ASSERT_EQ(RenderModules(modules, Clean())->barCount, 10);
    MatchRecord record = Fresh(0.0f);
    EXPECT_EQ(Decode(modules, record), 0);
}

TEST(Code93, WrongCheckCharactersAreRefused) {
    const std::vector<int> ab = ValuesOf("AB");
    MatchRecord record = Fresh(0.0f);
    EXPECT_EQ(Decode(Code93(ab, 30, 36), record), 0);
    EXPECT_EQ(Decode(Code93(ab, 31, 35), record), 0);
    EXPECT_EQ(XR_TextOf(record.rawData), "");
    EXPECT_EQ(Decode(Code93(ab, 31, 36), record), 1);
}

TEST(Code93, CheckWeightsRestartAfterTwentyAndFifteen) {
    // The encoder computes the checks itself; leftmost characters other than
    // "0" make the restarted weight count.
    for (std::string_view text :
         {"Z123456789ABCDEFGHIJKLMNO", "ZYXWVUTSRQPONMLKJIHGF", "Z123456789ABCDEF",
          "Z123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%Z123456789"}) {
        const Read read = ReadModules(ZintModules(text), Clean(), kCode93);
        ASSERT_EQ(read.result, 1) << text;
        EXPECT_EQ(XR_TextOf(read.record.rawData), text);
    }
}

struct Texts {
    std::vector<int> values;
    std::string raw;
    std::string data;
};

class Code93Texts : public ::testing::TestWithParam<Texts> {};

TEST_P(Code93Texts, ShiftsAreWrittenAsBytesAndReadInPairs) {
    const Texts& t = GetParam();
    const Read read = ReadModules(Code93(t.values), Clean(), kCode93);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData), t.raw);
    EXPECT_EQ(XR_TextOf(read.record.data), t.data);
    EXPECT_EQ(XR_TextOf(read.record.descriptor), "");
}

INSTANTIATE_TEST_SUITE_P(Code93, Code93Texts,
                         ::testing::Values(
                             // (+) then a digit is no pair.
                             Texts{{46, 8},
                                   "\xFC"
                                   "8",
                                   "\xFC"
                                   "8"},
                             Texts{{46, 17}, "\xFCH", "h"},
                             // ($) A, (%) A, (/) A, (/) O, (/) Z, (%) V, (%) X.
                             Texts{{43, 10, 44, 10, 45, 10, 45, 24, 45, 35, 44, 31, 44, 33},
                                   "\xFF"
                                   "A\xFE"
                                   "A\xFD"
                                   "A\xFDO\xFDZ\xFEV\xFEX",
                                   "\x01\x1b!/:@\x7f"},
                             // The literal $, /, + and % are no shifts.
                             Texts{{39, 10, 40, 10, 41, 10, 42, 10}, "$A/A+A%A", "$A/A+A%A"},
                             // (%) U stands for NUL, which ends the data text.
                             Texts{{10, 44, 30, 11}, "A\xFEUB", "A"}));

TEST(Code93, FullAsciiFromTheIndependentEncoder) {
    const Read read = ReadModules(ZintModules("Code 93!"), Clean(), kCode93);
    ASSERT_EQ(read.result, 1);
    EXPECT_EQ(XR_TextOf(read.record.rawData),
              "C\xFCO\xFC"
              "D\xFC"
              "E 93\xFD"
              "A");
    EXPECT_EQ(XR_TextOf(read.record.data), "Code 93!");
}

TEST(Code93, ReadsSharpAndBlurredSymbolsAndNeverMisreads) {
    ExpectSharpReads(ZintModules("CODE-93"), kCode93, "CODE-93");
    ExpectScannerReads(ZintModules("ZEPH 93"), kCode93, "ZEPH 93", 0.9);
}

TEST(Code93, HundredCharactersAtMost) {
    std::vector<int> values;
    std::string expected;
    for (int i = 0; i < 98; ++i) {
        values.push_back(i * 7 % 43);
        expected += kAlphabet[size_t(values.back())];
    }
    RenderOptions o = Clean();
    o.samplesPerModule = 2;
    ScanSignalPtr scan = RenderModules(Code93(values), o);
    MatchRecord record = Fresh(0.0f);
    ASSERT_EQ(XR_DecodeCode93(*scan, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), expected);

    values.push_back(0);
    scan = RenderModules(Code93(values), o);
    record = Fresh(0.0f);
    EXPECT_EQ(XR_DecodeCode93(*scan, record), 0);
}

TEST(Code93, SignalEndingInsideTheLastBarIsRefused) {
    ScanSignalPtr cut = CutInsideLastBar(Code93(ValuesOf("AB")));
    ASSERT_EQ(cut->barCount, 19);
    MatchRecord record = Fresh(0.0f);
    EXPECT_EQ(XR_DecodeCode93(*cut, record), 0);
}

TEST(Code93, MustBeatTheRecordsConfidenceStrictly) {
    ScanSignalPtr scan = RenderModules(Code93(ValuesOf("AB")), Clean());
    MatchRecord first = Fresh(0.0f);
    ASSERT_EQ(XR_DecodeCode93(*scan, first), 1);
    MatchRecord record = Fresh(first.confidence);
    EXPECT_EQ(XR_DecodeCode93(*scan, record), 0);
    record.confidence = first.confidence - 1e-6f;
    EXPECT_EQ(XR_DecodeCode93(*scan, record), 1);
}

}  // namespace
