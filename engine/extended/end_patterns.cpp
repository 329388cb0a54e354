#include "engine/extended/end_patterns.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/match/lazy_tables.h"
#include "engine/match/score_threshold.h"
#include "engine/symbologies/code128_patterns.h"
#include "engine/symbologies/code93_patterns.h"

namespace zeph::extended {
namespace {

// Widest elements must be this much wider than the narrowest wide-or-narrow
// boundary allows: a looser test than the decoders' ratio tables.
constexpr float kWideOverNarrow = 1.25f;
// Narrow spaces may be this many times narrow bars or the other way round
// where ink spread or loss moved every edge.
constexpr float kMostInkSpread = 2.0f;

// Element widths of N elements from bar k: bar, space, bar, ...
template <size_t N>
bool Elements(const BarList& s, int32_t k, std::array<float, N>& widths) {
    const int32_t bars = static_cast<int32_t>(N) / 2 + 1;
    if (k < 0 || k + bars > s.Count()) return false;
    for (size_t e = 0; e < N; ++e) {
        const int32_t bar = k + static_cast<int32_t>(e / 2);
        widths[e] = e % 2 == 0 ? float(s.ends[bar] - s.starts[bar])
                               : float(s.starts[bar + 1] - s.ends[bar]);
    }
    return true;
}

// Whether the elements are narrow and wide as the letters say (N narrow, W
// wide): every wide element clearly wider than every narrow one.
template <size_t N>
bool FollowsLetters(const std::array<float, N>& widths, std::string_view letters) {
    float widestNarrow = 0;
    float narrowestWide = 1e30f;
    for (size_t e = 0; e < N; ++e) {
        if (letters[e] == 'W')
            narrowestWide = std::min(narrowestWide, widths[e]);
        else
            widestNarrow = std::max(widestNarrow, widths[e]);
    }
    return widestNarrow > 0 && narrowestWide >= kWideOverNarrow * widestNarrow;
}

// Whether each of two tables' best scores over samples [a, b) reaches the
// least score of an end pattern.
std::array<bool, 2> Reached(std::span<const float> samples, int32_t a, int32_t b,
                            const PatternTable& first, const PatternTable& second) {
    std::array<bool, 2> reached{};
    if (a < 0 || b <= a || static_cast<size_t>(b) > samples.size()) return reached;
    const std::array<const PatternTable*, 2> tables = {&first, &second};
    match::ScoresReach(samples.subspan(static_cast<size_t>(a), static_cast<size_t>(b - a)), tables,
                       EndPatterns::kLeastScore, reached);
    return reached;
}

}  // namespace

EndPatterns::EndPatterns()
    : tables_({code128::kStarts, code128::kStop, code93::kStart, code93::kStop}) {}

bool EndPatterns::Reset(std::span<const float> samples, const BarList& bars) {
    if (!tables_.Build()) return false;
    samples_ = samples;
    bars_ = bars;
    const auto n = static_cast<size_t>(bars.Count());
    try {
        flags_.assign(n, 0);
        itf_.assign(n, 0);
    } catch (...) {
        return false;
    }
    return true;
}

void EndPatterns::ScoreStarts(int32_t k) {
    const BarList& s = bars_;
    uint8_t& f = flags_[static_cast<size_t>(k)];
    if (k + 3 < s.Count()) {
        const auto [start128, start93] =
            Reached(samples_, s.starts[k], s.starts[k + 3], tables_[kStarts128], tables_[kStart93]);
        if (start128) f |= kCode128Start;
        if (start93) f |= kCode93Start;
    }
    itf_[static_cast<size_t>(k)] |= kStartsScored;
}

void EndPatterns::ScoreStops(int32_t k) {
    const BarList& s = bars_;
    uint8_t& f = flags_[static_cast<size_t>(k)];
    if (k >= 3) {
        const auto [stop128, stop93] =
            Reached(samples_, s.starts[k - 3], s.ends[k], tables_[kStop128], tables_[kStop93]);
        if (stop128) f |= kCode128Stop;
        if (stop93) f |= kCode93Stop;
    }
    itf_[static_cast<size_t>(k)] |= kStopsScored;
}

void EndPatterns::Test(int32_t k) {
    const BarList& s = bars_;
    constexpr std::string_view kAsterisk = "NWNNWNWNN";
    constexpr std::string_view kLetters[] = {"NNWWNWN", "NWNWNNW", "NNNWNWW", "NNNWWWN"};
    {
        uint8_t f = 0;
        std::array<float, 9> nine{};
        if (Elements(s, k, nine) && FollowsLetters(nine, kAsterisk)) f |= kCode39End;
        if (k >= 4 && Elements(s, k - 4, nine) && FollowsLetters(nine, kAsterisk)) f |= kCode39Last;
        // The seven elements from this bar, and the seven ending at it.
        std::array<float, 7> from{};
        std::array<float, 7> to{};
        const bool hasFrom = Elements(s, k, from);
        const bool hasTo = k >= 3 && Elements(s, k - 3, to);
        for (const std::string_view letter : kLetters) {
            if (hasFrom && FollowsLetters(from, letter)) f |= kCodabarStart;
            if (hasTo && FollowsLetters(to, letter)) f |= kCodabarStop;
        }
        flags_[static_cast<size_t>(k)] |= f;

        // Interleaved 2 of 5 starts with four narrow elements and stops with a
        // wide bar, a narrow space and a narrow bar.
        uint8_t itf = kTested;
        std::array<float, 4> four{};
        if (Elements(s, k, four)) {
            // Bars against bars and spaces against spaces: ink spread makes
            // narrow bars and narrow spaces differ, up to kMostInkSpread.
            const auto [lo, hi] = std::minmax_element(four.begin(), four.end());
            const float most = kWideOverNarrow * 1.2f;
            if (std::max(four[0], four[2]) < most * std::min(four[0], four[2]) &&
                std::max(four[1], four[3]) < most * std::min(four[1], four[3]) &&
                *hi < kMostInkSpread * *lo) {
                itf |= kItfStart;
            }
        }
        std::array<float, 3> three{};
        if (k >= 1 && Elements(s, k - 1, three) &&
            three[0] >= kWideOverNarrow * std::max(three[1], three[2])) {
            itf |= kItfStop;
        }
        itf_[static_cast<size_t>(k)] |= itf;
    }
}

int32_t EndPatterns::Plausible(int32_t first, int32_t last) {
    int32_t mask = kEan13 | kEan8 | kUpcE | kSupplement;
    if (!(itf_[static_cast<size_t>(first)] & kTested)) Test(first);
    if (!(itf_[static_cast<size_t>(last)] & kTested)) Test(last);
    // The correlations of the Code 128 and Code 93 ends: the starts of the
    // first bar, and the stops of the last only where one of them starts.
    if (!(itf_[static_cast<size_t>(first)] & kStartsScored)) ScoreStarts(first);
    const uint8_t a = flags_[static_cast<size_t>(first)];
    if ((a & (kCode128Start | kCode93Start)) && !(itf_[static_cast<size_t>(last)] & kStopsScored))
        ScoreStops(last);
    const uint8_t b = flags_[static_cast<size_t>(last)];
    if ((a & kCode128Start) && (b & kCode128Stop)) mask |= kCode128;
    if ((a & kCode93Start) && (b & kCode93Stop)) mask |= kCode93;
    if ((a & kCode39End) && (b & kCode39Last)) mask |= kCode39;
    if ((a & kCodabarStart) && (b & kCodabarStop)) mask |= kCodabar;
    if ((itf_[static_cast<size_t>(first)] & kItfStart) &&
        (itf_[static_cast<size_t>(last)] & kItfStop))
        mask |= kInterleaved2of5;
    return mask;
}

}  // namespace zeph::extended
