// EAN-13, and UPC-A read as EAN-13 with first digit 0.
//
// The 30 bars: 0-1 start guard, 2j and 2j+1 left digit j (1..6), 14-15 centre
// guard, 2m+2 and 2m+3 right digit m (7..12), 28-29 end guard. Two readings are
// formed: A takes every left digit as odd parity (the UPC-A view), B lets digits
// 2 to 6 take even parity and derives the first digit from the parity word.
#include <array>
#include <string_view>

#include "engine/descriptors/ean_upc_descriptor.h"
#include "engine/match/lazy_tables.h"
#include "engine/symbologies/decoders.h"
#include "engine/symbologies/ean_upc_common.h"
#include "engine/symbologies/ean_upc_patterns.h"

namespace {

using namespace zeph::ean;

enum Table { kOdd, kEven, kRightTable };
thread_local zeph::LazyTables<3> tables({kLeftOdd, kLeftEven, kRight});

constexpr int32_t kBars = 30;
constexpr int kModules = 95;
// 15 scores are summed: three guards and twelve digits.
constexpr float kConfidencePerScore = 0.0666f;

using Reading = std::array<BestMatch, 13>;
// Which left digits of a reading take even parity.
using Parities = std::array<bool, 13>;

// 1 and 7, and 2 and 8, differ by where one bar edge lies: under heavy blur
// the best shifted template may take one for the other. A digit is
// contradicted when the unshifted pattern of its twin outscores its own by
// this much; a reading with such a digit is no reading (no real read of the
// corpus or of 1,100 blurred, noisy renders has one).
constexpr float kContradiction = 0.15f;

int TwinOf(int digit) {
    switch (digit) {
        case 1:
            return 7;
        case 7:
            return 1;
        case 2:
            return 8;
        case 8:
            return 2;
        default:
            return -1;
    }
}

bool Contradicted(const ScanSignal& scan, const Reading& reading, const Parities& even) {
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();
    for (int j = 1; j <= 12; ++j) {
        const int digit = reading[j].index;
        const int twin = TwinOf(digit);
        if (twin < 0) continue;
        const std::string_view table = j > 6 ? kRight : even[j] ? kLeftEven : kLeftOdd;
        const int32_t a = j > 6 ? starts[2 * j + 2] : ends[2 * j - 1];
        const int32_t b = j > 6 ? starts[2 * j + 4] : ends[2 * j + 1];
        const auto pattern = [&](int d) { return table.substr(static_cast<size_t>(d) * 8, 7); };
        if (ScoreSpan(scan, a, b, pattern(twin)) >
            ScoreSpan(scan, a, b, pattern(digit)) + kContradiction) {
            return true;
        }
    }
    return false;
}

bool Accept(const ScanSignal& scan, const Reading& reading, const Parities& even, float confidence,
            MatchRecord& record) {
    if (reading[0].index < 0) return false;
    if (!(confidence > record.confidence)) return false;
    const auto digits = DigitsOf<13>(reading);
    if (!CheckSumHolds(digits, 1, 3)) return false;
    if (Contradicted(scan, reading, even)) return false;
    XR_DescribeEan13(reading, record);
    record.confidence = confidence;
    return true;
}

}  // namespace

int XR_DecodeEan13(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    if (!StandsAlone(scan, 0, kBars, kModules)) return 0;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();
    // Left digits measure from bar end to bar end, right digits from bar start
    // to bar start; the guards' bars start two modules apart, four across the
    // centre guard.
    std::array<float, 12> digitWidths{};
    for (int j = 1; j <= 6; ++j)
        digitWidths[j - 1] = static_cast<float>(ends[2 * j + 1] - ends[2 * j - 1]);
    for (int m = 7; m <= 12; ++m)
        digitWidths[m - 1] = static_cast<float>(starts[2 * m + 4] - starts[2 * m + 2]);
    const std::array<GuardStretch, 3> guards = {
        {{starts[0], starts[1], 2}, {starts[14], starts[16], 4}, {starts[28], starts[29], 2}}};
    if (!DigitsAndGuardsFit(digitWidths, guards)) return 0;

    Reading a{};
    Reading b{};
    float g = ScoreSpan(scan, starts[0], ends[1], kOuterGuard) +
              ScoreSpan(scan, ends[13], starts[16], kCentreGuard) +
              ScoreSpan(scan, starts[28], ends[29], kOuterGuard);

    for (int m = 7; m <= 12; ++m) {
        b[m] = MatchSpan(scan, starts[2 * m + 2], starts[2 * m + 4], tables[kRightTable]);
        a[m] = b[m];
        g += b[m].score;
    }

    float gA = g;
    float gB = g;
    std::array<char, 5> parity{};
    for (int j = 1; j <= 6; ++j) {
        const std::span<const float> stretch = XR_Stretch(scan, ends[2 * j - 1], ends[2 * j + 1]);
        XR_MatchTable(stretch, tables[kOdd], a[j], scan.shiftRange);
        b[j] = a[j];
        if (j >= 2) {
            const bool even = XR_MatchTable(stretch, tables[kEven], b[j], scan.shiftRange) == 1;
            parity[j - 2] = even ? 'e' : 'o';
        }
        gA += a[j].score;
        gB += b[j].score;
    }

    // Reading A stands for a UPC-A symbol, whose left digits are all odd parity:
    // when any of them reads better as even, A is no reading at all (taking the
    // odd-parity runner-up instead would invent digits).
    const std::string_view word(parity.data(), parity.size());
    a[0].index = word == kFirstDigitParity[0] ? 0 : -1;
    b[0].index = ParityValue(kFirstDigitParity, word);

    const float confA = kConfidencePerScore * gA;
    const float confB = kConfidencePerScore * gB;
    Parities evenB{};
    for (int j = 2; j <= 6; ++j)
        evenB[j] = parity[j - 2] == 'e';
    bool accepted = Accept(scan, a, Parities{}, confA, record);
    // B is tried after A, against the confidence A may just have raised.
    accepted = Accept(scan, b, evenB, confB, record) || accepted;
    if (!accepted) return 0;

    AppendTrailingSupplement(scan, kBars, kModules, record);
    return 1;
}

void XR_FreeEan13Tables() {
    if (tables.Built()) tables.Release();
}
