// 2- and 5-digit EAN/UPC add-ons. From the first bar b0: b0 and b0+1 start
// guard, b0+2+3i and b0+3+3i digit i, b0+4+3i the separator after digit i.
// The odd/even parity word of the digits carries the check value.
#include <array>

#include "engine/descriptors/supplement_descriptor.h"
#include "engine/match/lazy_tables.h"
#include "engine/symbologies/decoders.h"
#include "engine/symbologies/ean_upc_common.h"
#include "engine/symbologies/ean_upc_patterns.h"
#include "engine/symbologies/width_checks.h"

namespace {

using namespace zeph::ean;

thread_local zeph::LazyTables<1> tables({kOddThenEven});

// Least ratio of the guard's second bar to its first: two modules to one,
// with room for ink spread and blur.
constexpr float kGuardBarGrowth = 1.4f;

int CheckValue(std::string_view parity) {
    if (parity.size() == 2) return ParityValue(kSupplement2Parity, parity);
    if (parity.size() == 5) return ParityValue(kSupplement5Parity, parity);
    return -1;
}

bool CheckHolds(std::span<const BestMatch> reading, int k) {
    for (int i = 0; i <= k; ++i) {
        if (reading[i].index < 0) return false;
    }
    const int check = reading[k].index;
    if (k == 2) return (10 * reading[0].index + reading[1].index) % 4 == check;
    const int sum = 3 * reading[0].index + 9 * reading[1].index + 3 * reading[2].index +
                    9 * reading[3].index + 3 * reading[4].index;
    return sum % 10 == check;
}

}  // namespace

int XR_DecodeSupplement(const ScanSignal& scan, int32_t b0, MatchRecord& record) {
    if (!tables.Build()) return -1;
    if (b0 < 0 || b0 > scan.barCount) return 0;
    const int32_t n = scan.barCount - b0;
    int k;
    if (n > 18) return 0;
    if (n >= 16) {
        k = 5;
    } else if (n < 7) {
        return 0;
    } else {
        k = 2;
    }
    // 3k + 1 bars of 4 + 7k + 2(k - 1) modules; the quiet zone after them also
    // keeps the start of a five-digit add-on from reading as a two-digit one.
    if (!StandsAlone(scan, b0, 3 * k + 1, 9 * k + 2)) return 0;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();
    // The guard 1011 has a bar of two modules after one of one; the start guard
    // of an EAN/UPC symbol, which can stand where an add-on would, does not.
    if (static_cast<float>(ends[b0 + 1] - starts[b0 + 1]) <
        kGuardBarGrowth * static_cast<float>(ends[b0] - starts[b0])) {
        return 0;
    }
    // Every digit is seven modules wide; the guard's bars start two modules
    // apart, and each separator spans two from the bar end before it.
    std::array<float, 5> digitWidths{};
    for (int i = 0; i < k; ++i)
        digitWidths[i] = static_cast<float>(ends[b0 + 3 + 3 * i] - ends[b0 + 1 + 3 * i]);
    std::array<GuardStretch, 5> guards{};
    guards[0] = {starts[b0], starts[b0 + 1], 2};
    for (int i = 0; i + 1 < k; ++i)
        guards[1 + i] = {ends[b0 + 3 + 3 * i], ends[b0 + 4 + 3 * i], 2};
    if (!DigitsAndGuardsFit({digitWidths.data(), static_cast<size_t>(k)},
                            {guards.data(), static_cast<size_t>(k)})) {
        return 0;
    }

    std::array<BestMatch, 6> reading{};
    std::array<char, 5> parity{};
    float c = ScoreSpan(scan, starts[b0], ends[b0 + 1], kSupplementGuard);
    for (int i = 0; i < k; ++i) {
        reading[i] = MatchSpan(scan, ends[b0 + 1 + 3 * i], ends[b0 + 3 + 3 * i], tables[0]);
        c += reading[i].score;
        const bool even = reading[i].index >= 10;
        if (even) reading[i].index -= 10;
        parity[i] = even ? 'e' : 'o';
        if (i < k - 1) {
            c += ScoreSpan(scan, ends[b0 + 3 + 3 * i], ends[b0 + 4 + 3 * i], kSupplementSeparator);
        }
    }
    reading[k].index = CheckValue(std::string_view(parity.data(), static_cast<size_t>(k)));

    // The mean of 2k scores: the guard, k digits and k - 1 separators.
    const float confidence = c / static_cast<float>(2 * k);
    if (!(confidence > record.confidence)) return 0;
    if (!CheckHolds(reading, k)) return 0;
    XR_DescribeSupplement(std::span<const BestMatch>(reading.data(), k + 1), k + 1, record);
    record.confidence = confidence;
    return 1;
}

int XR_DecodeSupplementAlone(const ScanSignal& scan, MatchRecord& record) {
    return XR_DecodeSupplement(scan, 0, record);
}

void XR_FreeSupplementTables() {
    if (tables.Built()) tables.Release();
}
