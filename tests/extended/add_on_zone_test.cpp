// The add-on pass reads beside an EAN/UPC symbol only where something is
// printed there: an add-on after it (or before it, read the other way), even
// blurred or on a row off the symbol's middle, is seen; plain paper, or a
// stretch beyond the picture, is not.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/extended/add_on_zone.h"
#include "engine/reader.h"

namespace {

using namespace zeph::extended;

constexpr int32_t kWidth = 600;
constexpr int32_t kHeight = 200;
constexpr int32_t kModule = 2;
constexpr double kRows[] = {0.0, -0.12, 0.12, -0.24, 0.24};
constexpr int32_t kPaper = 2200;
constexpr int32_t kInk = 300;

// An EAN-13 sized block of alternating bars (95 modules) from x = 100, rows
// 40 to 160, and the record of its read line with five modules of margin.
struct Label {
    std::vector<int32_t> values = std::vector<int32_t>(size_t{kWidth} * kHeight, kPaper);
    MatchRecord record;

    Label() {
        Bars(100, 95, 40, 160, kInk);
        record.startX = 100 - 5 * kModule;
        record.stopX = 100 + 100 * kModule;
        record.startY = record.stopY = 100;
    }
    void Bars(int32_t x, int32_t modules, int32_t top, int32_t bottom, int32_t ink) {
        for (int32_t y = top; y < bottom; ++y) {
            for (int32_t m = 0; m < modules; m += 2) {
                for (int32_t k = 0; k < kModule; ++k)
                    values[size_t(y) * kWidth + size_t(x + m * kModule + k)] = ink;
            }
        }
    }
    bool MayHold() const {
        return MayHoldAddOn({values, kHeight, kWidth}, record, 95, 10, 66, kRows);
    }
};

TEST(AddOnZone, PlainPaperBesideTheSymbolHoldsNoAddOn) {
    const Label label;
    EXPECT_FALSE(label.MayHold());
}

TEST(AddOnZone, AnAddOnAfterOrBeforeTheSymbolIsSeen) {
    Label after;
    after.Bars(100 + 95 * kModule + 9 * kModule, 47, 60, 160, kInk);
    EXPECT_TRUE(after.MayHold());
    // Read the other way, the add-on lies before the record's start.
    std::swap(after.record.startX, after.record.stopX);
    EXPECT_TRUE(after.MayHold());
    // Short bars that do not reach the symbol's middle row.
    Label low;
    low.Bars(100 + 95 * kModule + 9 * kModule, 47, 120, 160, kInk);
    EXPECT_TRUE(low.MayHold());
}

TEST(AddOnZone, ABlurredOrPaleAddOnIsStillSeen) {
    // Merged bars: one grey block at a third of the symbol's contrast.
    Label blurred;
    blurred.Bars(100 + 95 * kModule + 9 * kModule, 1, 60, 160, kPaper - (kPaper - kInk) / 3);
    for (int32_t y = 60; y < 160; ++y) {
        for (int32_t x = 300; x < 390; ++x)
            blurred.values[size_t(y) * kWidth + size_t(x)] = kPaper - (kPaper - kInk) / 3;
    }
    EXPECT_TRUE(blurred.MayHold());
    // At a tenth of it, paper.
    Label faint;
    for (int32_t y = 60; y < 160; ++y) {
        for (int32_t x = 300; x < 390; ++x)
            faint.values[size_t(y) * kWidth + size_t(x)] = kPaper - (kPaper - kInk) / 10;
    }
    EXPECT_FALSE(faint.MayHold());
}

TEST(AddOnZone, StretchesOffThePictureHoldNothingAndAFlatSymbolTellsNothing) {
    // Bars from border to border: there is no room beside them.
    std::vector<int32_t> bars(200 * 100, kPaper);
    for (size_t i = 0; i < bars.size(); ++i) {
        if ((i % 200) / kModule % 2 == 0) bars[i] = kInk;
    }
    MatchRecord across;
    across.startX = 0;
    across.stopX = 199;
    across.startY = across.stopY = 50;
    EXPECT_FALSE(MayHoldAddOn({bars, 100, 200}, across, 95, 10, 66, kRows));
    const std::vector<int32_t> paper(size_t{kWidth} * kHeight, kPaper);
    MatchRecord r = Label().record;
    EXPECT_TRUE(MayHoldAddOn({paper, kHeight, kWidth}, r, 95, 10, 66, kRows));
    r.stopX = r.startX;
    EXPECT_TRUE(MayHoldAddOn({paper, kHeight, kWidth}, r, 95, 10, 66, kRows));
}

}  // namespace
