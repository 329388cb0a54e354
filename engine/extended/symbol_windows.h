// Symbol windows in the bar list of a long scan line. A line drawn across a
// label meets more than one symbol: printed text, a neighbouring symbol, an
// add-on, dirt. The decoders want a signal that is exactly one symbol, so the
// bar list is cut into runs of bars between quiet zones, and each run is also
// offered with a few stray bars left out at either end.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace zeph::extended {

// The bars of a signal: bar k covers samples [starts[k], ends[k]).
struct BarList {
    std::span<const int32_t> starts;
    std::span<const int32_t> ends;
    int32_t sampleCount = 0;
    // The first sample after a dark run the signal begins with (not a bar).
    int32_t signalStart = 0;

    int32_t Count() const { return static_cast<int32_t>(starts.size()); }
};

struct Window {
    int32_t first = 0;       // index of the window's first bar
    int32_t count = 0;       // number of bars
    bool trimmed = false;    // bars of the same run lie beyond either end
    bool withAddOn = false;  // a run and the short run after it, for a symbol and its add-on
};

// How far around a window the signal is free of bars, in the window's own
// narrow element widths. A side that reaches the end of the signal counts the
// samples up to that end.
struct QuietZones {
    double before = 0;
    double after = 0;
    bool startsAtSignalStart = false;
    bool endsAtSignalEnd = false;
};

class WindowFinder {
  public:
    // Bars left out at either end of a run, at most.
    static constexpr int32_t kMaxTrim = 3;
    // A space wider than this many narrow elements ends a run of bars: every
    // space inside a symbol is narrower.
    static constexpr double kRunBreak = 7.0;
    // Space a symbol keeps from other bars on either side, in narrow widths:
    // every space inside a symbol is narrower.
    static constexpr double kQuietZone = 5.0;
    // Fewest bars any symbology read here has (a Codabar symbol of start and
    // stop letters).
    static constexpr int32_t kFewestBars = 7;

    // The windows of the bar list, each run first untrimmed. The list is
    // rebuilt on every call; storage is kept for the next one.
    const std::vector<Window>& Find(const BarList& bars);
    // The most bars in one run of the last list searched.
    int32_t LongestRun() const { return longestRun_; }

    // The narrow element width of a window: the lower quartile of its bar and
    // space widths.
    double NarrowWidth(const BarList& bars, const Window& window);
    QuietZones QuietZonesOf(const BarList& bars, const Window& window);
    // Whether both quiet zones of the window reach kQuietZone, a side marked
    // free counting as reached: the same answer as QuietZonesOf gives,
    // without finding the narrow width.
    bool KeepsQuietZones(const BarList& bars, const Window& window, bool freeBefore,
                         bool freeAfter);

  private:
    double LowerQuartile(std::span<const int32_t> starts, std::span<const int32_t> ends,
                         int32_t first, int32_t last);

    std::vector<Window> windows_;
    int32_t longestRun_ = 0;
    std::vector<int32_t> runStarts_;  // first bar of each run, then the bar count
    std::vector<int32_t> widths_;
    // Widths below this are counted rather than selected.
    static constexpr int32_t kCountedWidths = 512;
    std::array<uint32_t, kCountedWidths> widthCounts_{};
    std::vector<double> blockNarrow_;
};

}  // namespace zeph::extended
