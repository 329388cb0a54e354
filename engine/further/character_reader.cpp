#include "engine/further/character_reader.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "engine/symbologies/spans.h"
#include "engine/symbologies/width_checks.h"

namespace zeph::further {
namespace {

// Ratios of wide to narrow outside any printing practice.
constexpr float kMinRatio = 1.5f;
constexpr float kMaxRatio = 4.0f;
// Light before the start, in narrow widths: a symbol begins with a quiet
// zone, a piece of one with a narrow gap.
constexpr float kQuietNarrows = 3.0f;
// Every character must score this share of the mean.
constexpr float kFloorShare = 0.75f;
// Longest start or stop, in letters.
constexpr size_t kMostEndLetters = 16;

// The width of element e (bar, space, bar, ...) counted from bar `first`.
float ElementWidth(const ScanSignal& scan, int32_t first, size_t e) {
    const int32_t bar = first + static_cast<int32_t>(e / 2);
    return static_cast<float>(e % 2 == 0 ? scan.barEnds[bar] - scan.barStarts[bar]
                                         : scan.barStarts[bar + 1] - scan.barEnds[bar]);
}

// Sums of the narrow, wide and extra-wide elements of start and stop.
struct ElementSums {
    double narrow = 0;
    int narrowCount = 0;
    double wide = 0;
    int wideCount = 0;
    double extra = 0;
    int extraCount = 0;

    void Add(const ScanSignal& scan, int32_t first, std::string_view letters) {
        for (size_t e = 0; e < letters.size(); ++e) {
            const double w = ElementWidth(scan, first, e);
            if (letters[e] == 'W') {
                wide += w;
                ++wideCount;
            } else if (letters[e] == 'X') {
                extra += w;
                ++extraCount;
            } else {
                narrow += w;
                ++narrowCount;
            }
        }
    }
};

// The letters with X read as W, for the width-order test.
std::string_view AsWide(std::string_view letters, std::array<char, kMostEndLetters>& store) {
    const size_t n = std::min(letters.size(), store.size());
    for (size_t i = 0; i < n; ++i)
        store[i] = letters[i] == 'X' ? 'W' : letters[i];
    return {store.data(), n};
}

// Whether every space of bars [0, n) is narrower than halfway between the
// narrow and wide bars the letters of the reading name.
bool SpacesNarrow(const ScanSignal& scan, const CharacterTables& tables, const Reading& reading) {
    const Layout& layout = tables.layout();
    double narrow = 0;
    double wide = 0;
    int narrowCount = 0;
    int wideCount = 0;
    const auto add = [&](int32_t first, std::string_view letters) {
        for (size_t e = 0; e < letters.size(); e += 2) {
            const float w = ElementWidth(scan, first, e);
            if (letters[e] == 'N') {
                narrow += w;
                ++narrowCount;
            } else {
                wide += w;
                ++wideCount;
            }
        }
    };
    add(0, layout.startLetters);
    for (int32_t i = 0; i < reading.count; ++i)
        add(layout.startBars + i * layout.barsPerCharacter, tables.LettersOf(reading.values[i]));
    if (narrowCount == 0 || wideCount == 0) return false;
    const double limit = 0.5 * (narrow / narrowCount + wide / wideCount);
    for (int32_t k = 0; k + 1 < scan.barCount; ++k) {
        if (scan.barStarts[k + 1] - scan.barEnds[k] >= limit) return false;
    }
    return true;
}

// Whether the characters repeat one or two characters throughout: what a
// grating read as a symbol gives.
bool RepeatsShortUnit(const Reading& reading) {
    const auto repeats = [&](int32_t period) {
        for (int32_t i = period; i < reading.count; ++i) {
            if (reading.values[i] != reading.values[i - period]) return false;
        }
        return true;
    };
    return reading.count >= 3 && (repeats(1) || repeats(2));
}

}  // namespace

bool ReadCharacters(const ScanSignal& scan, const CharacterTables& tables, float least,
                    Reading& reading) {
    const Layout& layout = tables.layout();
    const int32_t n = scan.barCount;
    const int32_t inner = n - layout.startBars - layout.stopBars;
    if (inner < layout.fewestCharacters * layout.barsPerCharacter ||
        inner % layout.barsPerCharacter != 0) {
        return false;
    }
    const int32_t count = inner / layout.barsPerCharacter;
    if (count > layout.mostCharacters || count > kMostCharacters) return false;
    if (!XR_HasBarEnd(scan, n - 1)) return false;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();

    // The start's and stop's widths first: they turn most windows away.
    std::array<char, kMostEndLetters> letters{};
    if (!FollowsWideNarrow(scan, 0, AsWide(layout.startLetters, letters)) ||
        !FollowsWideNarrow(scan, n - layout.stopBars, AsWide(layout.stopLetters, letters))) {
        return false;
    }
    std::array<float, kMostCharacters> widths{};
    StretchWidths(scan, layout.startBars, layout.barsPerCharacter, count, widths);
    if (!EvenWidths(std::span<const float>(widths.data(), static_cast<size_t>(count)),
                    kWidthTolerance)) {
        return false;
    }

    ElementSums sums;
    sums.Add(scan, 0, layout.startLetters);
    sums.Add(scan, n - layout.stopBars, layout.stopLetters);
    if (sums.narrowCount == 0) return false;
    const double narrow = sums.narrow / sums.narrowCount;
    if (!(narrow > 0)) return false;
    // An extra-wide bar is a wide one and a narrow one.
    const double wide = (sums.wide + sums.extra - narrow * sums.extraCount) /
                        std::max(1, sums.wideCount + sums.extraCount);
    const auto ratio = static_cast<float>(wide / narrow);
    if (!(ratio >= kMinRatio && ratio <= kMaxRatio)) return false;
    if (!LightBefore(scan, static_cast<float>(narrow), kQuietNarrows)) return false;
    const size_t variant = CharacterTables::Choose(ratio);

    std::array<BestMatch, kMostCharacters> matches{};
    float sum = ScoreSpan(scan, starts[0], starts[layout.startBars], tables.Start(variant));
    for (int32_t i = 0; i < count; ++i) {
        const int32_t first = layout.startBars + i * layout.barsPerCharacter;
        matches[i] = MatchSpan(scan, starts[first], starts[first + layout.barsPerCharacter],
                               tables.Characters(variant));
        sum += matches[i].score;
    }
    sum += ScoreSpan(scan, starts[n - layout.stopBars], ends[n - 1], tables.Stop(variant));
    const float confidence = sum / static_cast<float>(count + 2);
    if (!(confidence > least)) return false;

    for (int32_t i = 0; i < count; ++i) {
        const BestMatch& m = matches[i];
        if (m.index < 0 || m.score < kFloorShare * confidence) return false;
        if (!FollowsWideNarrow(scan, layout.startBars + i * layout.barsPerCharacter,
                               tables.LettersOf(m.index))) {
            return false;
        }
        reading.values[i] = m.index;
    }
    reading.count = count;
    reading.confidence = confidence;
    if (RepeatsShortUnit(reading)) return false;
    if (layout.narrowSpaces && !SpacesNarrow(scan, tables, reading)) return false;
    return true;
}

}  // namespace zeph::further
