#include "engine/extended/symbol_windows.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace zeph::extended {
namespace {

// Runs closer than this many narrow widths may be a symbol and its add-on.
constexpr double kAddOnGap = 18.0;
// Bars an add-on run may hold: two digits (7) up to five digits with a
// stray bar or two (18).
constexpr int32_t kFewestAddOnBars = 7;
constexpr int32_t kMostAddOnBars = 18;
// Bars whose elements tell the narrow width of their neighbourhood.
constexpr int32_t kBlockBars = 8;

}  // namespace

double WindowFinder::LowerQuartile(std::span<const int32_t> starts, std::span<const int32_t> ends,
                                   int32_t first, int32_t last) {
    widths_.clear();
    int32_t least = std::numeric_limits<int32_t>::max();
    int32_t most = std::numeric_limits<int32_t>::min();
    for (int32_t k = first; k <= last; ++k) {
        const int32_t bar = ends[k] - starts[k];
        widths_.push_back(bar);
        least = std::min(least, bar);
        most = std::max(most, bar);
        if (k < last) {
            const int32_t space = starts[k + 1] - ends[k];
            widths_.push_back(space);
            least = std::min(least, space);
            most = std::max(most, space);
        }
    }
    if (widths_.empty()) return 0;
    const size_t rank = widths_.size() / 4;
    // Widths are small whole numbers: counting them finds the same element
    // as a selection, without the selection's unforeseeable branches.
    if (least >= 0 && most < kCountedWidths) {
        std::fill_n(widthCounts_.begin(), most + 1, 0u);
        for (const int32_t w : widths_)
            ++widthCounts_[static_cast<size_t>(w)];
        size_t below = 0;
        for (int32_t w = 0;; ++w) {
            below += widthCounts_[static_cast<size_t>(w)];
            if (below > rank) return std::max(1, w);
        }
    }
    const auto quartile = widths_.begin() + static_cast<std::ptrdiff_t>(rank);
    std::nth_element(widths_.begin(), quartile, widths_.end());
    return std::max(1, *quartile);
}

double WindowFinder::NarrowWidth(const BarList& bars, const Window& window) {
    return LowerQuartile(bars.starts, bars.ends, window.first, window.first + window.count - 1);
}

namespace {

// The free samples before and after a window.
std::pair<int32_t, int32_t> Margins(const BarList& bars, int32_t first, int32_t last) {
    const int32_t before = first == 0 ? bars.starts[first] - bars.signalStart
                                      : bars.starts[first] - bars.ends[first - 1];
    const int32_t after = last == bars.Count() - 1 ? bars.sampleCount - bars.ends[last]
                                                   : bars.starts[last + 1] - bars.ends[last];
    return {before, after};
}

// The widest narrow width (a whole number of samples, at least 1) at which
// `margin` samples still make a quiet zone, by the same division as
// QuietZonesOf's; 0 when none does.
int32_t WidestNarrowFor(int32_t margin) {
    const auto holds = [&](int32_t narrow) {
        return margin / double(narrow) >= WindowFinder::kQuietZone;
    };
    if (!holds(1)) return 0;
    auto widest = static_cast<int32_t>(margin / WindowFinder::kQuietZone);
    widest = std::max(widest, 1);
    while (widest > 1 && !holds(widest))
        --widest;
    while (widest < std::numeric_limits<int32_t>::max() && holds(widest + 1))
        ++widest;
    return widest;
}

}  // namespace

QuietZones WindowFinder::QuietZonesOf(const BarList& bars, const Window& window) {
    const int32_t first = window.first;
    const int32_t last = window.first + window.count - 1;
    const double narrow = NarrowWidth(bars, window);
    QuietZones q;
    q.startsAtSignalStart = first == 0;
    q.endsAtSignalEnd = last == bars.Count() - 1;
    const auto [before, after] = Margins(bars, first, last);
    q.before = before / narrow;
    q.after = after / narrow;
    return q;
}

bool WindowFinder::KeepsQuietZones(const BarList& bars, const Window& window, bool freeBefore,
                                   bool freeAfter) {
    const int32_t first = window.first;
    const int32_t last = window.first + window.count - 1;
    const auto [before, after] = Margins(bars, first, last);
    // A side holds while the narrow width is at most its widest; the narrow
    // width is the max of 1 and the element of rank n / 4, which is at most
    // w exactly when more than n / 4 elements are at most w.
    const int32_t widestBefore =
        freeBefore ? std::numeric_limits<int32_t>::max() : WidestNarrowFor(before);
    const int32_t widestAfter =
        freeAfter ? std::numeric_limits<int32_t>::max() : WidestNarrowFor(after);
    if (widestBefore == 0 || widestAfter == 0) return false;
    int32_t withinBefore = 0;
    int32_t withinAfter = 0;
    for (int32_t k = first; k <= last; ++k) {
        const int32_t bar = bars.ends[k] - bars.starts[k];
        withinBefore += bar <= widestBefore;
        withinAfter += bar <= widestAfter;
        if (k < last) {
            const int32_t space = bars.starts[k + 1] - bars.ends[k];
            withinBefore += space <= widestBefore;
            withinAfter += space <= widestAfter;
        }
    }
    const int32_t rank = (2 * window.count - 1) / 4;
    return withinBefore > rank && withinAfter > rank;
}

const std::vector<Window>& WindowFinder::Find(const BarList& bars) {
    windows_.clear();
    runStarts_.clear();
    longestRun_ = 0;
    const int32_t n = bars.Count();
    if (n == 0) return windows_;
    // The last bar of a signal that ends inside it has no end.
    const int32_t usable = bars.ends[n - 1] >= bars.sampleCount ? n - 1 : n;

    // The narrow width around a space: the lower quartile of the elements of
    // its block of bars (and of the next block, so that a block's edge sees
    // both sides).
    blockNarrow_.clear();
    for (int32_t b = 0; b * kBlockBars < usable; ++b) {
        const int32_t first = b * kBlockBars;
        const int32_t last = std::min(usable - 1, first + 2 * kBlockBars - 1);
        blockNarrow_.push_back(LowerQuartile(bars.starts, bars.ends, first, last));
    }
    runStarts_.push_back(0);
    for (int32_t k = 0; k + 1 < usable; ++k) {
        const int32_t gap = bars.starts[k + 1] - bars.ends[k];
        const int32_t block = k / kBlockBars;
        const double narrow = block > 0 ? std::min(blockNarrow_[static_cast<size_t>(block)],
                                                   blockNarrow_[static_cast<size_t>(block) - 1])
                                        : blockNarrow_[0];
        if (gap > kRunBreak * narrow) runStarts_.push_back(k + 1);
    }
    runStarts_.push_back(usable);

    const size_t runs = runStarts_.size() - 1;
    for (size_t r = 0; r < runs; ++r) {
        const int32_t first = runStarts_[r];
        const int32_t count = runStarts_[r + 1] - first;
        longestRun_ = std::max(longestRun_, count);
        if (count < kFewestBars) continue;
        // A symbol and the add-on after it are two runs; the EAN/UPC decoders
        // read them as one. They come first: a stretch read is not read again,
        // and the symbol alone would hide its add-on.
        if (r + 1 < runs) {
            const int32_t next = runStarts_[r + 1];
            const int32_t nextCount = runStarts_[r + 2] - next;
            const int32_t gap = bars.starts[next] - bars.ends[next - 1];
            const Window run{first, count, false};
            if (nextCount >= kFewestAddOnBars && nextCount <= kMostAddOnBars &&
                gap <= kAddOnGap * NarrowWidth(bars, run)) {
                for (int32_t front = 0; front <= kMaxTrim && front < count; ++front)
                    windows_.push_back({first + front, count + nextCount - front, front > 0, true});
            }
        }
        for (int32_t front = 0; front <= kMaxTrim; ++front) {
            for (int32_t back = 0; back <= kMaxTrim; ++back) {
                if (count - front - back < kFewestBars) continue;
                windows_.push_back({first + front, count - front - back, front + back > 0});
            }
        }
    }
    return windows_;
}

}  // namespace zeph::extended
