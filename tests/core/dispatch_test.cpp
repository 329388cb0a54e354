#include <gtest/gtest.h>

#include <vector>

#include "engine/reader.h"
#include "tests/support/ean_encoder.h"
#include "tests/support/signal_renderer.h"

namespace {

// Fake decoders that log each call (which decoder, how many bars it saw, and
// where the scan line started) and answer from a script.
struct Call {
    int decoder;
    int32_t bars;
    int32_t startX;
};
std::vector<Call> calls;
int answers[10];
float confidences[10];

template <int I>
int Fake(const ScanSignal& scan, MatchRecord& record) {
    calls.push_back({I, scan.barCount, scan.startX});
    if (answers[I] == 1) {
        if (confidences[I] <= record.confidence) return 0;
        record.confidence = confidences[I];
        XR_SetText(record.symbology, "FAKE");
    }
    return answers[I];
}
void NoRelease() {}

constexpr DecoderEntry kFakes[] = {
    {kEan13, Fake<0>, NoRelease},      {kCode128, Fake<1>, NoRelease},
    {kCode39, Fake<2>, NoRelease},     {kCode93, Fake<3>, NoRelease},
    {kEan8, Fake<4>, NoRelease},       {kUpcE, Fake<5>, NoRelease},
    {kSupplement, Fake<6>, NoRelease}, {kInterleaved2of5, Fake<7>, NoRelease},
    {kCodabar, Fake<8>, NoRelease},    {kPatchCode, Fake<9>, NoRelease},
};

class Dispatch : public ::testing::Test {
  protected:
    void SetUp() override {
        calls.clear();
        for (int i = 0; i < 10; ++i) {
            answers[i] = 0;
            confidences[i] = 0.9f;
        }
        scan = XR_NewScanSignal(16, 21, 1, 0.5f, 1);
        scan->startX = 1;
        scan->startY = 2;
        scan->stopX = 3;
        scan->stopY = 4;
        scan->centreX = 5;
        scan->centreY = 6;
        record.confidence = 0.81f;
    }
    std::vector<int> Order() const {
        std::vector<int> order;
        for (const Call& c : calls)
            order.push_back(c.decoder);
        return order;
    }
    ScanSignalPtr scan;
    MatchRecord record;
};

TEST_F(Dispatch, CallsEnabledDecodersInMaskOrder) {
    EXPECT_EQ(XR_DecodeSignalWith(kFakes, *scan, 959, record, false), 0);
    EXPECT_EQ(Order(), (std::vector<int>{0, 1, 2, 3, 4, 5, 7, 8, 9}));
    calls.clear();
    XR_DecodeSignalWith(kFakes, *scan, kSupplement | kCodabar | kEan13, record, false);
    EXPECT_EQ(Order(), (std::vector<int>{0, 6, 8}));
}

TEST_F(Dispatch, MaskZeroTriesNothing) {
    EXPECT_EQ(XR_DecodeSignalWith(kFakes, *scan, 0, record, false), 0);
    EXPECT_TRUE(calls.empty());
    // Bits above Patch code select nothing.
    EXPECT_EQ(XR_DecodeSignalWith(kFakes, *scan, 1024 | 4096, record, false), 0);
    EXPECT_TRUE(calls.empty());
}

TEST_F(Dispatch, PatchLatchSkipsOnlyThePatchDecoder) {
    XR_DecodeSignalWith(kFakes, *scan, kPatchCode | kCodabar, record, true);
    EXPECT_EQ(Order(), (std::vector<int>{8}));
}

TEST_F(Dispatch, FailureStopsAtOnce) {
    answers[2] = -1;
    answers[0] = 1;
    EXPECT_EQ(XR_DecodeSignalWith(kFakes, *scan, 959, record, false), -1);
    EXPECT_EQ(Order(), (std::vector<int>{0, 1, 2}));
}

TEST_F(Dispatch, WrittenRecordGetsTheScanLine) {
    answers[4] = 1;
    EXPECT_EQ(XR_DecodeSignalWith(kFakes, *scan, 959, record, false), 1);
    EXPECT_EQ(record.startX, 1);
    EXPECT_EQ(record.startY, 2);
    EXPECT_EQ(record.stopX, 3);
    EXPECT_EQ(record.stopY, 4);
    EXPECT_EQ(record.centreX, 5);
    EXPECT_EQ(record.centreY, 6);
    EXPECT_FLOAT_EQ(record.confidence, 0.9f);
}

TEST_F(Dispatch, UnwrittenRecordKeepsItsLine) {
    record.startX = 77;
    EXPECT_EQ(XR_DecodeSignalWith(kFakes, *scan, 959, record, false), 0);
    EXPECT_EQ(record.startX, 77);
}

// A signal with exactly `bars` bars.
ScanSignalPtr BarSignal(int bars) {
    std::string modules;
    for (int i = 0; i < bars; ++i)
        modules += "10";
    zeph::test::RenderOptions options;
    options.samplesPerModule = 2;
    ScanSignalPtr s = zeph::test::RenderModules(modules, options);
    s->startX = 100;
    s->stopX = 900;
    return s;
}

TEST_F(Dispatch, AttemptsThreeForwardThenReverseWhileEnoughBarsRemain) {
    ScanSignalPtr s = BarSignal(10);
    ASSERT_EQ(s->barCount, 10);
    EXPECT_EQ(XR_DecodeAttemptsWith(kFakes, *s, kEan13, record, false), 0);
    std::vector<int32_t> bars;
    std::vector<int32_t> starts;
    for (const Call& c : calls) {
        bars.push_back(c.bars);
        starts.push_back(c.startX);
    }
    EXPECT_EQ(bars, (std::vector<int32_t>{10, 9, 8, 10, 9, 8}));
    EXPECT_EQ(starts, (std::vector<int32_t>{100, 100, 100, 900, 900, 900}));
}

TEST_F(Dispatch, ReverseAttemptsUseTheForwardBound) {
    // Cut inside a bar: forward sees 10 bars, the reversed signal loses the
    // leading dark run and has 9, so it gets only two attempts (9 and 8).
    zeph::test::RenderOptions options;
    options.samplesPerModule = 2;
    options.sampleCount = 20 + 36 + 1;  // quiet zone, 9 bar/space pairs, half the last bar
    ScanSignalPtr s = zeph::test::RenderModules("10101010101010101010", options);
    ASSERT_EQ(s->barCount, 10);
    XR_DecodeAttemptsWith(kFakes, *s, kEan13, record, false);
    std::vector<int32_t> bars;
    for (const Call& c : calls)
        bars.push_back(c.bars);
    EXPECT_EQ(bars, (std::vector<int32_t>{10, 9, 8, 9, 8}));
}

TEST_F(Dispatch, AttemptsKeepTheBestReadAndItsLine) {
    ScanSignalPtr s = BarSignal(8);
    answers[0] = 1;
    confidences[0] = 0.9f;
    answers[1] = 1;
    confidences[1] = 0.95f;
    EXPECT_EQ(XR_DecodeAttemptsWith(kFakes, *s, kEan13 | kCode128, record, false), 1);
    EXPECT_FLOAT_EQ(record.confidence, 0.95f);
    // Only the first dispatch wrote (no later read beat 0.95): its line stays.
    EXPECT_EQ(record.startX, 100);
    EXPECT_EQ(XR_TextOf(record.symbology), "FAKE");
}

// Fails only once the signal runs backwards (its line then starts at 900).
int FailWhenReversed(const ScanSignal& scan, MatchRecord&) {
    calls.push_back({3, scan.barCount, scan.startX});
    return scan.startX == 900 ? -1 : 0;
}

TEST_F(Dispatch, FailureInTheReversePassEndsTheCandidate) {
    ScanSignalPtr s = BarSignal(6);
    answers[3] = -1;
    EXPECT_EQ(XR_DecodeAttemptsWith(kFakes, *s, kCode93, record, false), -1);
    EXPECT_EQ(calls.size(), 1u);  // a forward failure ends it at once

    calls.clear();
    constexpr DecoderEntry kFailing[] = {{kCode93, FailWhenReversed, NoRelease}};
    EXPECT_EQ(XR_DecodeAttemptsWith(kFailing, *s, kCode93, record, false), -1);
    std::vector<int32_t> starts;
    for (const Call& c : calls)
        starts.push_back(c.startX);
    EXPECT_EQ(starts, (std::vector<int32_t>{100, 100, 100, 900}));
}

TEST_F(Dispatch, AttemptsEndForSignalsWithoutBars) {
    ScanSignalPtr s = XR_NewScanSignal(32, 21, 1, 0.5f, 1);
    EXPECT_EQ(XR_DecodeAttemptsWith(kFakes, *s, kEan13, record, false), 0);
    EXPECT_EQ(calls.size(), 2u);  // one per direction
}

TEST(DecodeSignal, UsesTheConfigMask) {
    const ScanSignalPtr ean13 =
        zeph::test::RenderModules(zeph::test::Ean13Modules("4006381333931"));
    ReaderConfigPtr none = XR_ParseConfig("-bctypes 0");
    ReaderConfigPtr ean = XR_ParseConfig("-bctypes 1");
    ASSERT_TRUE(none && ean);
    MatchRecord record;
    record.confidence = none->minConfidence;
    EXPECT_EQ(XR_DecodeSignal(*ean13, *none, record), 0);
    EXPECT_EQ(XR_TextOf(record.symbology), "");
    EXPECT_EQ(XR_DecodeSignal(*ean13, *ean, record), 1);
    EXPECT_EQ(XR_TextOf(record.rawData), "4006381333931");

    const ScanSignalPtr again =
        zeph::test::RenderModules(zeph::test::Ean13Modules("4006381333931"));
    MatchRecord unread;
    unread.confidence = none->minConfidence;
    EXPECT_EQ(XR_DecodeAttempts(*again, *none, unread), 0);
    EXPECT_EQ(XR_TextOf(unread.symbology), "");
}

}  // namespace
