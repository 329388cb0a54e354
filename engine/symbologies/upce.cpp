// UPC-E: six digits whose odd/even parity word carries the number system and
// the check digit. 17 bars: 0-1 start guard, 2j and 2j+1 digit j (1..6), 14-16
// end guard. The reading is verified on its UPC-A expansion.
#include <array>

#include "engine/descriptors/ean_upc_descriptor.h"
#include "engine/match/lazy_tables.h"
#include "engine/symbologies/decoders.h"
#include "engine/symbologies/ean_upc_common.h"
#include "engine/symbologies/ean_upc_patterns.h"

namespace {

using namespace zeph::ean;

thread_local zeph::LazyTables<1> tables({kOddThenEven});

constexpr int32_t kBars = 17;
constexpr int kModules = 51;
// 8 scores are summed: two guards and six digits.
constexpr float kConfidencePerScore = 0.125f;

// Reading: number system, d1..d6, check digit.
using Reading = std::array<BestMatch, 8>;

// The 12 UPC-A digits the zero-suppressed number stands for; the last symbol
// digit selects where the zeros go.
std::array<int, 12> Expand(const Reading& r) {
    const int n = r[0].index, d1 = r[1].index, d2 = r[2].index, d3 = r[3].index, d4 = r[4].index,
              d5 = r[5].index, d6 = r[6].index, c = r[7].index;
    switch (d6) {
        case 0:
        case 1:
        case 2:
            return {n, d1, d2, d6, 0, 0, 0, 0, d3, d4, d5, c};
        case 3:
            return {n, d1, d2, d3, 0, 0, 0, 0, 0, d4, d5, c};
        case 4:
            return {n, d1, d2, d3, d4, 0, 0, 0, 0, 0, d5, c};
        default:
            return {n, d1, d2, d3, d4, d5, 0, 0, 0, 0, d6, c};
    }
}

}  // namespace

int XR_DecodeUpcE(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    if (!StandsAlone(scan, 0, kBars, kModules)) return 0;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();
    // Digits from bar end to bar end; the start guard's bars start two modules
    // apart, the end guard's first and last four.
    std::array<float, 6> digitWidths{};
    for (int j = 1; j <= 6; ++j)
        digitWidths[j - 1] = static_cast<float>(ends[2 * j + 1] - ends[2 * j - 1]);
    const std::array<GuardStretch, 2> guards = {
        {{starts[0], starts[1], 2}, {starts[14], starts[16], 4}}};
    if (!DigitsAndGuardsFit(digitWidths, guards)) return 0;

    Reading reading{};
    float e = ScoreSpan(scan, starts[0], ends[1], kOuterGuard) +
              ScoreSpan(scan, ends[13], ends[16], kUpcEEndGuard);
    std::array<char, 6> parity{};
    for (int j = 1; j <= 6; ++j) {
        reading[j] = MatchSpan(scan, ends[2 * j - 1], ends[2 * j + 1], tables[0]);
        e += reading[j].score;
        const bool even = reading[j].index >= 10;
        if (even) reading[j].index -= 10;
        parity[j - 1] = even ? 'e' : 'o';
    }

    const int v = ParityValue(kUpcEParity, std::string_view(parity.data(), parity.size()));
    reading[0].index = v < 0 ? -1 : v / 10;
    reading[7].index = v < 0 ? -1 : v % 10;

    const float confidence = kConfidencePerScore * e;
    if (!(confidence > record.confidence)) return 0;
    const std::array<int, 12> expansion = Expand(reading);
    if (!CheckSumHolds(expansion, 3, 1)) return 0;
    XR_DescribeUpcE(reading, expansion, record);
    record.confidence = confidence;

    AppendTrailingSupplement(scan, kBars, kModules, record);
    return 1;
}

void XR_FreeUpcETables() {
    if (tables.Built()) tables.Release();
}
