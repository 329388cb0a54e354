#include <gtest/gtest.h>

#include <vector>

#include "engine/reader.h"

namespace {

ScanSignalPtr SignalOf(const std::vector<float>& values) {
    ScanSignalPtr s = XR_NewScanSignal(static_cast<int32_t>(values.size()), 21, 1, 0.5f, 1);
    EXPECT_TRUE(s);
    std::copy(values.begin(), values.end(), s->samples.get());
    return s;
}

std::vector<int32_t> Starts(const ScanSignal& s) {
    return {s.barStarts.get(), s.barStarts.get() + s.barCount};
}

TEST(NewScanSignal, StoresItsSettingsAndZeroedArrays) {
    ScanSignalPtr s = XR_NewScanSignal(64, 15, 2, 0.75f, 3);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->sampleCount, 64);
    EXPECT_EQ(s->pathCount, 15);
    EXPECT_EQ(s->pathSpacing, 2);
    EXPECT_FLOAT_EQ(s->sharpening, 0.75f);
    EXPECT_EQ(s->shiftRange, 3);
    EXPECT_EQ(s->barCount, 0);
    for (float v : s->Samples())
        EXPECT_EQ(v, 0.0f);
    XR_FreeScanSignal(std::move(s));
    XR_FreeScanSignal(nullptr);
}

TEST(FindBars, BarsStartOnFallingAndEndOnRisingEdges) {
    ScanSignalPtr s = SignalOf({5, -1, -2, 3, -4, 6});
    EXPECT_EQ(XR_FindBars(*s), 2);
    EXPECT_EQ(Starts(*s), (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(s->barEnds[0], 3);
    EXPECT_EQ(s->barEnds[1], 5);
    EXPECT_TRUE(XR_HasBarEnd(*s, 1));
}

TEST(FindBars, LeadingDarkRunIsNotABar) {
    ScanSignalPtr s = SignalOf({-1, -1, 2, -3, 4});
    EXPECT_EQ(XR_FindBars(*s), 1);
    EXPECT_EQ(s->barStarts[0], 3);
    EXPECT_EQ(s->barEnds[0], 4);
}

TEST(FindBars, ZeroCountsAsLight) {
    ScanSignalPtr s = SignalOf({0, -1, 0, 0, -1, 0});
    EXPECT_EQ(XR_FindBars(*s), 2);
    EXPECT_EQ(s->barEnds[0], 2);
    EXPECT_EQ(s->barEnds[1], 5);
}

TEST(FindBars, BarOpenAtTheEndHasNoRecordedEnd) {
    ScanSignalPtr s = SignalOf({1, -1, 2, -3});
    EXPECT_EQ(XR_FindBars(*s), 2);
    EXPECT_EQ(s->barEnds[0], 2);
    EXPECT_TRUE(XR_HasBarEnd(*s, 0));
    EXPECT_FALSE(XR_HasBarEnd(*s, 1));
    EXPECT_FALSE(XR_HasBarEnd(*s, 2));
    EXPECT_FALSE(XR_HasBarEnd(*s, -1));
    // The open slot never keeps a value from an earlier signal.
    EXPECT_EQ(s->barEnds[1], 4);
}

TEST(FindBars, RecountsFromScratchOnEveryCall) {
    ScanSignalPtr s = SignalOf({1, -1, 1, -1, 1, -1, 1});
    EXPECT_EQ(XR_FindBars(*s), 3);
    for (float& v : s->Samples())
        v = 1;
    EXPECT_EQ(XR_FindBars(*s), 0);
}

TEST(DropFirstBar, ShiftsBothListsDown) {
    ScanSignalPtr s = SignalOf({1, -1, 1, -1, 1, -1, 1});
    XR_FindBars(*s);
    XR_DropFirstBar(*s);
    EXPECT_EQ(s->barCount, 2);
    EXPECT_EQ(Starts(*s), (std::vector<int32_t>{3, 5}));
    EXPECT_EQ(s->barEnds[0], 4);
    EXPECT_EQ(s->barEnds[1], 6);
    XR_DropFirstBar(*s);
    XR_DropFirstBar(*s);
    EXPECT_EQ(s->barCount, 0);
    XR_DropFirstBar(*s);
    EXPECT_EQ(s->barCount, 0);
}

TEST(DropFirstBar, KeepsTheOpenLastBarOpen) {
    ScanSignalPtr s = SignalOf({1, -1, 2, -3, 1, -2});
    XR_FindBars(*s);
    XR_DropFirstBar(*s);
    EXPECT_EQ(s->barCount, 2);
    EXPECT_TRUE(XR_HasBarEnd(*s, 0));
    EXPECT_FALSE(XR_HasBarEnd(*s, 1));
}

TEST(ReverseSignal, ReversesSamplesSwapsEndsAndRecountsBars) {
    ScanSignalPtr s = SignalOf({1, -1, -1, 2, 3, -2, 4});
    s->startX = 10;
    s->startY = 20;
    s->stopX = 110;
    s->stopY = 25;
    XR_FindBars(*s);
    EXPECT_EQ(XR_ReverseSignal(s.get()), 1);
    EXPECT_EQ(std::vector<float>(s->Samples().begin(), s->Samples().end()),
              (std::vector<float>{4, -2, 3, 2, -1, -1, 1}));
    EXPECT_EQ(s->startX, 110);
    EXPECT_EQ(s->startY, 25);
    EXPECT_EQ(s->stopX, 10);
    EXPECT_EQ(s->stopY, 20);
    EXPECT_EQ(Starts(*s), (std::vector<int32_t>{1, 4}));

    EXPECT_EQ(XR_ReverseSignal(s.get()), 1);
    EXPECT_EQ(std::vector<float>(s->Samples().begin(), s->Samples().end()),
              (std::vector<float>{1, -1, -1, 2, 3, -2, 4}));
    EXPECT_EQ(s->startX, 10);
    EXPECT_EQ(s->stopY, 25);
    EXPECT_EQ(Starts(*s), (std::vector<int32_t>{1, 5}));
}

TEST(ReverseSignal, NoneAndEmptySignals) {
    EXPECT_EQ(XR_ReverseSignal(nullptr), 0);
    ScanSignalPtr empty = XR_NewScanSignal(0, 21, 1, 0.5f, 1);
    ASSERT_TRUE(empty);
    EXPECT_EQ(XR_ReverseSignal(empty.get()), 1);
    EXPECT_EQ(empty->barCount, 0);
}

TEST(Stretch, RefusesBoundsOutsideTheSignal) {
    ScanSignalPtr s = SignalOf({1, 2, 3, 4, 5});
    EXPECT_EQ(XR_Stretch(*s, 1, 4).size(), 3u);
    EXPECT_EQ(XR_Stretch(*s, 1, 4)[0], 2.0f);
    EXPECT_EQ(XR_Stretch(*s, 0, 5).size(), 5u);
    EXPECT_TRUE(XR_Stretch(*s, 3, 3).empty());
    EXPECT_TRUE(XR_Stretch(*s, 4, 2).empty());
    EXPECT_TRUE(XR_Stretch(*s, -1, 2).empty());
    EXPECT_TRUE(XR_Stretch(*s, 2, 6).empty());
}

}  // namespace
