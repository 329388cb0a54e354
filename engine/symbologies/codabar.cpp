// Codabar: four bars per character, the first and last characters a start and
// stop letter. Widths are measured on the start letter and every character is
// matched on its own seven elements, without the gap after it.
#include <array>
#include <string_view>

#include "engine/symbologies/codabar_patterns.h"
#include "engine/symbologies/decoders.h"
#include "engine/symbologies/element_classes.h"
#include "engine/symbologies/spans.h"
#include "engine/symbologies/wide_narrow.h"
#include "engine/symbologies/width_checks.h"

namespace {

using namespace zeph::codabar;

enum Source { kDataTable, kStartStopTable };
thread_local zeph::wide_narrow::VariantTables<7, 2> tables({kData, kStartStop});

constexpr int32_t kMaxCharacters = 100;
constexpr float kMinRatio = 1.25f;
constexpr float kMaxRatio = 4.25f;
// Light before the start letter, in narrow widths: a symbol begins with a
// quiet zone, a piece of one with a narrow gap after one of its own bars.
constexpr float kQuietNarrows = 3.0f;
// Every character must score this share of the mean: there is no check character.
constexpr float kFloorShare = 0.75f;

BestMatch MatchCharacter(const ScanSignal& scan, int32_t firstBar, const PatternTable& table) {
    return zeph::MatchSpan(scan, scan.barStarts[firstBar], scan.barEnds[firstBar + 3], table);
}

BestMatch MatchLetter(const ScanSignal& scan, int32_t firstBar, const PatternTable& table) {
    BestMatch best = MatchCharacter(scan, firstBar, table);
    if (best.index >= 0) best.index += kFirstLetter;
    return best;
}

// The widths of every character's bars and inner spaces (the gaps between
// characters have no width of their own), classed into narrow and wide.
zeph::ElementClasses MeasureSymbol(const ScanSignal& scan, int32_t count) {
    std::array<float, 4 * kMaxCharacters> bars{};
    std::array<float, 3 * kMaxCharacters> spaces{};
    size_t b = 0;
    size_t s = 0;
    for (int32_t k = 0; k < count; ++k) {
        for (int32_t j = 4 * k; j < 4 * k + 4; ++j) {
            bars[b++] = static_cast<float>(scan.barEnds[j] - scan.barStarts[j]);
            if (j < 4 * k + 3)
                spaces[s++] = static_cast<float>(scan.barStarts[j + 1] - scan.barEnds[j]);
        }
    }
    return zeph::ClassifyElements({bars.data(), b}, {spaces.data(), s});
}

// The narrow and wide elements of character k of the alphabet.
std::string_view LettersOf(int k) {
    constexpr size_t kToken = 8;  // seven letters and a blank
    return k < kFirstLetter
               ? kData.substr(static_cast<size_t>(k) * kToken, kToken - 1)
               : kStartStop.substr(static_cast<size_t>(k - kFirstLetter) * kToken, kToken - 1);
}

}  // namespace

int XR_DecodeCodabar(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    const int32_t n = scan.barCount;
    if (n < 8 || n % 4 != 0) return 0;
    const int32_t count = n / 4;  // start and stop included
    if (count > kMaxCharacters) return 0;
    if (!XR_HasBarEnd(scan, n - 1)) return 0;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();
    // Characters have two or three wide elements of seven: their widths differ
    // by less than the tolerance.
    if (!zeph::EvenCharactersAndGaps(scan, 4, count)) return 0;

    // The start letter's bars are 3 narrow + 1 wide, its spaces 1 narrow + 2 wide.
    int32_t bars = 0;
    int32_t spaces = 0;
    for (int32_t k = 0; k < 4; ++k)
        bars += ends[k] - starts[k];
    for (int32_t k = 0; k < 3; ++k)
        spaces += starts[k + 1] - ends[k];
    auto narrow = static_cast<float>(0.2 * (2 * bars - spaces));
    const auto wide = static_cast<float>(0.2 * (3.0 * spaces - bars));
    float ratio = narrow > 0 ? wide / narrow : 0;
    if (!(ratio >= kMinRatio && ratio <= kMaxRatio)) {
        // In a coarse print the start letter's few edges, each placed to a
        // pixel, say little of its widths; the whole symbol's elements still do.
        const zeph::ElementClasses classes = MeasureSymbol(scan, count);
        if (!zeph::IsCoarse(scan, classes.narrow)) return 0;
        narrow = classes.narrow;
        ratio = classes.ratio;
        if (!(ratio >= kMinRatio && ratio <= kMaxRatio)) return 0;
    }
    if (!zeph::LightOrNoBarBefore(scan, narrow, ratio * narrow, kQuietNarrows)) return 0;
    const size_t variant = tables.Choose(ratio);
    const PatternTable& letters = tables.Table(variant, kStartStopTable);
    const PatternTable& characters = tables.Table(variant, kDataTable);

    std::array<BestMatch, kMaxCharacters> reading{};
    reading[0] = MatchLetter(scan, 0, letters);
    for (int32_t k = 1; k < count - 1; ++k)
        reading[k] = MatchCharacter(scan, 4 * k, characters);
    reading[count - 1] = MatchLetter(scan, 4 * (count - 1), letters);

    float sum = 0;
    for (int32_t k = 0; k < count; ++k)
        sum += reading[k].score;
    const float confidence = sum / static_cast<float>(count);
    if (!(confidence > record.confidence)) return 0;
    std::array<char, kMaxCharacters> text{};
    for (int32_t k = 0; k < count; ++k) {
        if (reading[k].index < 0 || reading[k].score < kFloorShare * confidence) return 0;
        if (!zeph::FollowsWideNarrow(scan, 4 * k, LettersOf(reading[k].index))) return 0;
        text[k] = kAlphabet[static_cast<size_t>(reading[k].index)];
    }

    const std::string_view characterText(text.data(), static_cast<size_t>(count));
    XR_SetText(record.rawData, characterText);
    XR_SetText(record.data, characterText);
    XR_SetText(record.symbology, "CODABAR");
    XR_SetText(record.barcodeType, "Generic");
    XR_SetText(record.descriptor, "");
    record.confidence = confidence;
    return 1;
}

void XR_FreeCodabarTables() {
    if (tables.Built()) tables.Release();
}
