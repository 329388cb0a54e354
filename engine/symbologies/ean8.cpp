// EAN-8: 22 bars, 0-1 start guard, 2j+2 and 2j+3 left digit j (0..3, odd parity
// only), 10-11 centre guard, 2k+12 and 2k+13 right digit 4+k, 20-21 end guard.
#include <array>

#include "engine/descriptors/ean_upc_descriptor.h"
#include "engine/match/lazy_tables.h"
#include "engine/symbologies/decoders.h"
#include "engine/symbologies/ean_upc_common.h"
#include "engine/symbologies/ean_upc_patterns.h"

namespace {

using namespace zeph::ean;

enum Table { kOdd, kRightTable };
thread_local zeph::LazyTables<2> tables({kLeftOdd, kRight});

constexpr int32_t kBars = 22;
constexpr int kModules = 67;
// 11 scores are summed: three guards and eight digits.
constexpr float kConfidencePerScore = 0.0909f;

}  // namespace

int XR_DecodeEan8(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    if (!StandsAlone(scan, 0, kBars, kModules)) return 0;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();
    // Digits and guards measured as in EAN-13.
    std::array<float, 8> digitWidths{};
    for (int j = 0; j < 4; ++j) {
        digitWidths[j] = static_cast<float>(ends[2 * j + 3] - ends[2 * j + 1]);
        digitWidths[4 + j] = static_cast<float>(starts[14 + 2 * j] - starts[12 + 2 * j]);
    }
    const std::array<GuardStretch, 3> guards = {
        {{starts[0], starts[1], 2}, {starts[10], starts[12], 4}, {starts[20], starts[21], 2}}};
    if (!DigitsAndGuardsFit(digitWidths, guards)) return 0;

    std::array<BestMatch, 8> reading{};
    float g = ScoreSpan(scan, starts[0], ends[1], kOuterGuard) +
              ScoreSpan(scan, ends[9], starts[12], kCentreGuard) +
              ScoreSpan(scan, starts[20], ends[21], kOuterGuard);
    for (int j = 0; j < 4; ++j) {
        reading[j] = MatchSpan(scan, ends[2 * j + 1], ends[2 * j + 3], tables[kOdd]);
        g += reading[j].score;
    }
    for (int k = 0; k < 4; ++k) {
        reading[4 + k] =
            MatchSpan(scan, starts[12 + 2 * k], starts[14 + 2 * k], tables[kRightTable]);
        g += reading[4 + k].score;
    }

    const float confidence = kConfidencePerScore * g;
    if (!(confidence > record.confidence)) return 0;
    if (!CheckSumHolds(DigitsOf<8>(reading), 3, 1)) return 0;
    XR_DescribeEan8(reading, record);
    record.confidence = confidence;

    AppendTrailingSupplement(scan, kBars, kModules, record);
    return 1;
}

void XR_FreeEan8Tables() {
    if (tables.Built()) tables.Release();
}
