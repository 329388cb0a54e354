// The narrow width of a window against a plain sort of its element widths,
// for the small widths that are counted and the large ones that are not.
#include "engine/extended/symbol_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using zeph::extended::BarList;
using zeph::extended::Window;
using zeph::extended::WindowFinder;

struct Bars {
    std::vector<int32_t> starts, ends;
    BarList List() const { return {starts, ends, ends.empty() ? 0 : ends.back() + 1, 0}; }
};

// Bars and spaces of the given widths, alternating, from sample 0.
Bars BarsOf(const std::vector<int32_t>& widths) {
    Bars bars;
    int32_t at = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (i % 2 == 0) bars.starts.push_back(at);
        at += widths[i];
        if (i % 2 == 0) bars.ends.push_back(at);
    }
    return bars;
}

double SortedQuartile(std::vector<int32_t> widths) {
    std::sort(widths.begin(), widths.end());
    return std::max(1, widths[widths.size() / 4]);
}

TEST(SymbolWindows, NarrowWidthIsTheLowerQuartileOfTheWindowsElements) {
    std::mt19937 random(17);
    WindowFinder finder;
    // Ranges of widths: small ones with many ties, ones that reach past what
    // is counted, and widths of zero (touching bars).
    const std::pair<int32_t, int32_t> ranges[] = {{1, 4}, {0, 3}, {1, 60}, {400, 700}, {1, 2000}};
    for (const auto& [low, high] : ranges) {
        std::uniform_int_distribution<int32_t> width(low, high);
        for (int bars = 1; bars <= 40; bars += 3) {
            std::vector<int32_t> widths(size_t(2 * bars - 1));
            for (auto& w : widths)
                w = width(random);
            const Bars list = BarsOf(widths);
            const double narrow = finder.NarrowWidth(list.List(), Window{0, bars, false});
            EXPECT_EQ(narrow, SortedQuartile(widths))
                << "widths " << low << " to " << high << ", " << bars << " bars";
            // A window inside the list sees its own elements only.
            if (bars > 4) {
                const std::vector<int32_t> inner(widths.begin() + 2, widths.end() - 2);
                EXPECT_EQ(finder.NarrowWidth(list.List(), Window{1, bars - 2, true}),
                          SortedQuartile(inner));
            }
        }
    }
}

TEST(SymbolWindows, NarrowWidthOfOneWideSpaceAmongSmallBarsIsNotTheSpace) {
    WindowFinder finder;
    // 511 is the widest width counted, 512 the first selected.
    for (const int32_t wide : {511, 512, 100000}) {
        const Bars list = BarsOf({3, 2, 3, wide, 2, 5, 2});
        EXPECT_EQ(finder.NarrowWidth(list.List(), Window{0, 4, false}), 2) << wide;
    }
}

TEST(SymbolWindows, KeepsQuietZonesAnswersAsTheQuietZonesDo) {
    std::mt19937 random(23);
    WindowFinder finder;
    int kept = 0, refused = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        // Narrow elements of 1 to 9 samples, wide up to four times that, and
        // gaps around the quiet zone's edge (five narrow widths).
        const int32_t narrow = 1 + int32_t(random() % 9);
        const int bars = 7 + int(random() % 30);
        std::vector<int32_t> widths(size_t(2 * bars - 1));
        for (auto& w : widths)
            w = narrow * (1 + int32_t(random() % 4)) + int32_t(random() % 3) - 1;
        for (auto& w : widths)
            w = std::max(w, 0);
        Bars list = BarsOf(widths);
        // Shift everything right so that the first bar has room before it.
        const int32_t lead = int32_t(random() % (8 * narrow + 1));
        for (auto& v : list.starts)
            v += lead;
        for (auto& v : list.ends)
            v += lead;
        BarList signal = list.List();
        signal.sampleCount += int32_t(random() % (8 * narrow + 1));
        signal.signalStart = int32_t(random() % (lead + 1));
        const int32_t first = int32_t(random() % 4);
        const int32_t count = bars - first - int32_t(random() % 4);
        const Window window{first, count, first > 0};
        const bool freeBefore = random() % 4 == 0;
        const bool freeAfter = random() % 4 == 0;
        const auto q = finder.QuietZonesOf(signal, window);
        const bool want = (q.before >= WindowFinder::kQuietZone || freeBefore) &&
                          (q.after >= WindowFinder::kQuietZone || freeAfter);
        ASSERT_EQ(finder.KeepsQuietZones(signal, window, freeBefore, freeAfter), want)
            << "trial " << trial << ": before " << q.before << ", after " << q.after;
        (want ? kept : refused)++;
    }
    // Both answers came up often enough for the comparison to mean something.
    EXPECT_GT(kept, 200);
    EXPECT_GT(refused, 200);
}

}  // namespace
