// One-track Pharmacode: bars only, narrow (one unit) or wide (three), with
// spaces of two units between them. Read from the left, bar j of k stands for
// 2^(k-1-j), twice that when wide. There is no start, stop or check: a read
// needs clean widths in two tight classes, bars not repeating a short unit (a
// grating), a whole run between wide quiet zones, and the picture's
// left-to-right direction, since a symbol read the other way is another
// number (so one turned upside down reads as its mirror image's number, and
// one standing upright is not read).
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/further/decoders.h"
#include "engine/symbologies/spans.h"
#include "engine/symbologies/width_checks.h"

namespace {

// Fewer bars than this are too little structure to tell from stray marks;
// sixteen reach the largest number, 131070.
constexpr int32_t kFewestBars = 7;
constexpr int32_t kMostBars = 16;
// Narrow and wide bars within this share of their class's median; the
// distances between bar centres within this share of what their widths make
// them.
constexpr float kBarTolerance = 0.3f;
constexpr float kPitchTolerance = 0.08f;
// A wide bar is three narrow ones; ink spread brings them nearer.
constexpr float kLeastRatio = 2.2f;
// Light on either side, in spaces.
constexpr float kQuietSpaces = 4.0f;
// tan(70 degrees): lines steeper than this are too near upright.
constexpr double kUprightSlope = 2.747;
// Bars that repeat a unit of this many bars or fewer throughout are a grating
// as much as a symbol.
constexpr int32_t kLongestGratingUnit = 3;
constexpr float kFloorShare = 0.75f;

bool Within(std::span<const float> values, float reference, float tolerance) {
    return std::all_of(values.begin(), values.end(), [&](float v) {
        return v <= reference * (1 + tolerance) && v * (1 + tolerance) >= reference;
    });
}

// Whether the line runs from the picture's left to its right, the
// direction a Pharmacode is read in: not where it lies within 20 degrees of
// upright, as neither end is then the left one.
bool LeftToRight(const ScanSignal& scan) {
    const double dx = double(scan.stopX) - scan.startX;
    const double dy = double(scan.stopY) - scan.startY;
    return dx > 0 && std::fabs(dy) < kUprightSlope * dx;
}

// Whether the signal is light for `widths` samples after the last bar.
bool LightAfter(const ScanSignal& scan, int32_t last, float widths) {
    int32_t j = scan.barEnds[last];
    const int32_t stop = std::min(scan.sampleCount, j + static_cast<int32_t>(std::ceil(widths)));
    if (stop - j < static_cast<int32_t>(std::ceil(widths))) return false;
    for (; j < stop; ++j) {
        if (scan.samples[j] < 0) return false;
    }
    return true;
}

// Whether the bar widths repeat a unit of a few bars throughout.
bool Periodic(std::span<const int> units) {
    const auto n = static_cast<int32_t>(units.size());
    for (int32_t period = 1; period <= kLongestGratingUnit && 2 * period < n; ++period) {
        bool repeats = true;
        for (int32_t k = period; k < n && repeats; ++k)
            repeats = units[k] == units[k - period];
        if (repeats) return true;
    }
    return false;
}

}  // namespace

int XR_DecodePharmacode(const ScanSignal& scan, MatchRecord& record) {
    const int32_t n = scan.barCount;
    if (n < kFewestBars || n > kMostBars || !XR_HasBarEnd(scan, n - 1)) return 0;
    if (!LeftToRight(scan)) return 0;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();

    // Narrow and wide bars: split where the sorted widths step up most.
    std::array<float, kMostBars> bars{};
    for (int32_t k = 0; k < n; ++k)
        bars[k] = static_cast<float>(ends[k] - starts[k]);
    std::array<float, kMostBars> sorted = bars;
    std::sort(sorted.begin(), sorted.begin() + n);
    if (!(sorted[0] > 0)) return 0;
    int32_t split = 1;
    for (int32_t k = 2; k < n; ++k) {
        if (sorted[k] / sorted[k - 1] > sorted[split] / sorted[split - 1]) split = k;
    }
    const auto narrowBars = std::span<const float>(sorted.data(), static_cast<size_t>(split));
    const auto wideBars =
        std::span<const float>(sorted.data() + split, static_cast<size_t>(n - split));
    const float narrow = narrowBars[narrowBars.size() / 2];
    const float wide = wideBars[wideBars.size() / 2];
    if (wide < kLeastRatio * narrow) return 0;
    if (!Within(narrowBars, narrow, kBarTolerance) || !Within(wideBars, wide, kBarTolerance))
        return 0;
    const float threshold = 0.5f * (narrow + wide);

    // Blur thins narrow bars more than wide ones, but about their centres:
    // from centre to centre, bars of one and three units with two between
    // lie 3, 4 or 5 units apart. Every distance must be its share of the
    // whole.
    std::array<int, kMostBars> units{};
    for (int32_t k = 0; k < n; ++k)
        units[k] = bars[k] > threshold ? 3 : 1;
    if (Periodic(std::span<const int>(units.data(), static_cast<size_t>(n)))) return 0;
    const auto centre = [&](int32_t k) { return 0.5f * static_cast<float>(starts[k] + ends[k]); };
    int expected = 0;
    for (int32_t k = 0; k + 1 < n; ++k)
        expected += 2 + (units[k] + units[k + 1]) / 2;
    const float unit = (centre(n - 1) - centre(0)) / static_cast<float>(expected);
    if (!(unit > 0)) return 0;
    for (int32_t k = 0; k + 1 < n; ++k) {
        const float pitch = (centre(k + 1) - centre(k)) / unit;
        const auto want = static_cast<float>(2 + (units[k] + units[k + 1]) / 2);
        if (std::fabs(pitch - want) > kPitchTolerance * want) return 0;
    }
    const float space = 2 * unit;
    if (!zeph::LightBefore(scan, space, kQuietSpaces) ||
        !LightAfter(scan, n - 1, kQuietSpaces * space)) {
        return 0;
    }

    // The modules of the reading against the samples, bar by bar.
    std::array<float, kMostBars> scores{};
    float sum = 0;
    uint32_t value = 0;
    for (int32_t k = 0; k < n; ++k) {
        const bool wideBar = units[k] == 3;
        value = 2 * value + (wideBar ? 2 : 1);
        // The last bar is scored with a space's width of the quiet zone after it.
        const std::string_view modules = wideBar ? "11100" : "100";
        const int32_t end =
            k + 1 < n ? starts[k + 1] : ends[k] + static_cast<int32_t>(std::lround(space));
        scores[k] = zeph::ScoreSpan(scan, starts[k], end, modules);
        sum += scores[k];
    }
    const float confidence = sum / static_cast<float>(n);
    if (!(confidence > record.confidence)) return 0;
    for (int32_t k = 0; k < n; ++k) {
        if (scores[k] < kFloorShare * confidence) return 0;
    }

    std::array<char, 8> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    const std::string_view text(digits.data(), static_cast<size_t>(written.ptr - digits.data()));
    XR_SetText(record.rawData, text);
    XR_SetText(record.data, text);
    XR_SetText(record.symbology, "PHARMACODE");
    XR_SetText(record.barcodeType, "One-track");
    XR_SetText(record.descriptor, "");
    record.confidence = confidence;
    return 1;
}

// Pharmacode is read from its widths alone: it keeps no tables.
void XR_FreePharmacodeTables() {}
