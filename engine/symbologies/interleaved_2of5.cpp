// Interleaved 2 of 5: bars 0-1 start, 5i+2 to 5i+6 digit pair i, the last two
// bars the stop. The narrow width is measured on the start, the wide/narrow
// ratio on the first pair, and every pair is read with one table lookup.
#include <array>
#include <string_view>

#include "engine/symbologies/decoders.h"
#include "engine/symbologies/interleaved_2of5_patterns.h"
#include "engine/symbologies/spans.h"
#include "engine/symbologies/wide_narrow.h"
#include "engine/symbologies/width_checks.h"

namespace {

using namespace zeph::itf;

enum Source { kPairTable, kStopPattern };
thread_local zeph::wide_narrow::VariantTables<5, 2> tables({kPairs, kStop});

constexpr int32_t kMaxPairs = 100;
constexpr float kMinRatio = 1.75f;
constexpr float kMaxRatio = 3.25f;
// Light before the start, in narrow widths: a symbol begins with a quiet
// zone, a piece of one (whose pairs look like starts) with a narrow gap.
constexpr float kQuietNarrows = 3.0f;
// Every pair must score this share of the mean: there is no check digit.
constexpr float kFloorShare = 0.75f;

// The start (narrow bar, space, bar, space) and the stop (wide bar, narrow
// space, narrow bar) as narrow and wide elements.
constexpr std::string_view kStartLetters = "NNNN";
constexpr std::string_view kStopLetters = "WNN";

// The narrow and wide elements of pair p, bar first.
std::string_view PairLetters(int p) {
    return kPairs.substr(static_cast<size_t>(p) * (kPairTokenLength + 1), kPairTokenLength);
}

}  // namespace

int XR_DecodeInterleaved2of5(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    // Two start bars, five per pair, two stop bars.
    const int32_t n = scan.barCount;
    if (n <= 8 || n % 5 != 4) return 0;
    const int32_t pairs = (n - 4) / 5;
    if (pairs > kMaxPairs) return 0;
    if (!XR_HasBarEnd(scan, n - 1)) return 0;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();
    // Every pair has four wide and six narrow elements.
    std::array<float, kMaxPairs> widths{};
    zeph::StretchWidths(scan, 2, 5, pairs, widths);
    if (!zeph::EvenWidths(std::span<const float>(widths.data(), static_cast<size_t>(pairs)),
                          zeph::kWidthTolerance)) {
        return 0;
    }

    // The start is four narrow modules; the first pair six narrow and four wide.
    const float narrow = 0.25f * static_cast<float>(starts[2] - starts[0]);
    if (!(narrow > 0)) return 0;
    if (!zeph::LightBefore(scan, narrow, kQuietNarrows)) return 0;
    const auto ratio =
        static_cast<float>((static_cast<double>(starts[7] - starts[2]) - 6.0 * narrow) * 0.25 /
                           static_cast<double>(narrow));
    if (ratio < kMinRatio || ratio > kMaxRatio) return 0;
    const size_t variant = tables.Choose(ratio);

    std::array<BestMatch, kMaxPairs> reading{};
    float sum = zeph::ScoreSpan(scan, starts[0], starts[2], kStart);
    for (int32_t i = 0; i < pairs; ++i) {
        reading[i] = zeph::MatchSpan(scan, starts[5 * i + 2], starts[5 * i + 7],
                                     tables.Table(variant, kPairTable));
        sum += reading[i].score;
    }
    sum += zeph::ScoreSpan(scan, starts[5 * pairs + 2], ends[n - 1],
                           tables.Pattern(variant, kStopPattern));

    const float confidence = sum / static_cast<float>(pairs + 2);
    if (!(confidence > record.confidence)) return 0;
    std::array<char, 2 * kMaxPairs> text{};
    for (int32_t i = 0; i < pairs; ++i) {
        const BestMatch& pair = reading[i];
        if (pair.index < 0 || pair.score < kFloorShare * confidence) return 0;
        if (!zeph::FollowsWideNarrow(scan, 5 * i + 2, PairLetters(pair.index))) return 0;
        text[2 * i] = static_cast<char>('0' + pair.index / 10);
        text[2 * i + 1] = static_cast<char>('0' + pair.index % 10);
    }
    // The start's four elements are narrow and the stop's first bar wide, as
    // the pairs beside them measure.
    std::array<char, 4 + kPairTokenLength + 3> letters{};
    const std::string_view first = PairLetters(reading[0].index);
    const std::string_view last = PairLetters(reading[pairs - 1].index);
    std::copy(kStartLetters.begin(), kStartLetters.end(), letters.begin());
    std::copy(first.begin(), first.end(), letters.begin() + 4);
    if (!zeph::FollowsWideNarrow(scan, 0, {letters.data(), 4 + kPairTokenLength})) return 0;
    std::copy(last.begin(), last.end(), letters.begin());
    std::copy(kStopLetters.begin(), kStopLetters.end(), letters.begin() + kPairTokenLength);
    if (!zeph::FollowsWideNarrow(scan, 5 * pairs - 3, {letters.data(), kPairTokenLength + 3}))
        return 0;

    // The raw data field holds 99 digits; the data field takes all of them.
    const std::string_view digits(text.data(), static_cast<size_t>(2 * pairs));

    XR_SetText(record.rawData, digits);
    XR_SetText(record.data, digits);
    XR_SetText(record.symbology, "Interleaved 2 of 5");
    XR_SetText(record.barcodeType, "Generic");
    XR_SetText(record.descriptor, "");
    record.confidence = confidence;
    return 1;
}

void XR_FreeInterleaved2of5Tables() {
    if (tables.Built()) tables.Release();
}
