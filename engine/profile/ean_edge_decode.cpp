#include "engine/profile/ean_edge_decode.h"

#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <span>
#include <string_view>

#include "engine/descriptors/ean_upc_descriptor.h"
#include "engine/symbologies/ean_upc_common.h"
#include "engine/symbologies/ean_upc_patterns.h"

namespace zeph::profile {
namespace {

constexpr int kModules = 95;
// First element of each half's digits, and of the centre guard.
constexpr int kLeftDigits = 3;
constexpr int kCentre = 27;
constexpr int kRightDigits = 32;
// Blocks of the contrast envelope, in modules, and blocks on either side
// of a sample's own that it spans.
constexpr double kBlockModules = 2.0;
constexpr int kEnvelopeReach = 2;

// The four widths of each digit pattern, in modules: left odd, left even,
// right, ten each.
struct Pattern {
    std::array<int, 4> widths{};
};

constexpr std::array<int, 4> WidthsOf(std::string_view modules) {
    std::array<int, 4> w{};
    int k = 0;
    for (size_t m = 0; m < modules.size(); ++m) {
        if (m > 0 && modules[m] != modules[m - 1]) ++k;
        ++w[static_cast<size_t>(k)];
    }
    return w;
}

constexpr std::array<Pattern, 30> MakePatterns() {
    std::array<Pattern, 30> p{};
    for (int d = 0; d < 10; ++d) {
        const auto at = static_cast<size_t>(d) * 8;
        p[static_cast<size_t>(d)].widths = WidthsOf(ean::kLeftOdd.substr(at, 7));
        p[static_cast<size_t>(10 + d)].widths = WidthsOf(ean::kLeftEven.substr(at, 7));
        p[static_cast<size_t>(20 + d)].widths = WidthsOf(ean::kRight.substr(at, 7));
    }
    return p;
}

constexpr std::array<Pattern, 30> kPatterns = MakePatterns();

// Where the profile crosses `level` first after sample `from`, up to `to`.
double CrossingAfter(const float* s, int32_t from, int32_t to, float level) {
    const bool below = s[from] < level;
    for (int32_t i = from + 1; i <= to; ++i) {
        if ((s[i] < level) != below) {
            const double a = s[i - 1] - level;
            const double b = s[i] - level;
            return a == b ? i : (i - 1) + a / (a - b);
        }
    }
    return -1;
}

// The same, searching back from `from` to `to`.
double CrossingBefore(const float* s, int32_t from, int32_t to, float level) {
    const bool below = s[from] < level;
    for (int32_t i = from - 1; i >= to; --i) {
        if ((s[i] < level) != below) {
            const double a = s[i] - level;
            const double b = s[i + 1] - level;
            return a == b ? i : i + a / (a - b);
        }
    }
    return -1;
}

// The least and the greatest of s[first] and samples [first, end), as
// std::min and std::max folded in order give them: a sample that is no
// number is passed over unless it is s[first], which then stays. Four lanes
// at a time; min and max keep their lane's value against a sample that is no
// number just as the fold does, so only the sign of a zero may differ, and
// the turns made of them cannot tell.
void BlockRange(const float* s, int32_t first, int32_t end, float& low, float& high) {
    low = s[first];
    high = low;
    int32_t i = first;
    if (end - i >= 4) {
        __m128 lows = _mm_set1_ps(low);
        __m128 highs = lows;
        for (; i + 4 <= end; i += 4) {
            const __m128 v = _mm_loadu_ps(s + i);
            lows = _mm_min_ps(v, lows);
            highs = _mm_max_ps(v, highs);
        }
        lows = _mm_min_ps(_mm_movehl_ps(lows, lows), lows);
        highs = _mm_max_ps(_mm_movehl_ps(highs, highs), highs);
        low = _mm_cvtss_f32(_mm_min_ss(_mm_shuffle_ps(lows, lows, 1), lows));
        high = _mm_cvtss_f32(_mm_max_ss(_mm_shuffle_ps(highs, highs, 1), highs));
    }
    for (; i < end; ++i) {
        low = std::min(low, s[i]);
        high = std::max(high, s[i]);
    }
}

// The extreme being followed, with the turn its block asks for.
struct Candidate {
    int32_t at;
    float value;
    float turn;
};

// Follows the candidate over samples [i, end) while the profile goes
// `further` or turns back less than the candidate's turn; true with i at the
// sample where it turns back more (or is no number), false with i at end.
template <typename Further>
bool Follow(const float* s, int32_t& i, int32_t end, float turn, Candidate& candidate,
            Further further) {
    for (; i < end; ++i) {
        const float v = s[i];
        if (further(v, candidate.value)) {
            candidate = {i, v, turn};
            continue;
        }
        if (!(std::fabs(v - candidate.value) <= candidate.turn)) return true;
    }
    return false;
}

struct DigitFit {
    int index = -1;
    double error = 1e9;
};

// The pattern among [first, first + count) whose pair sums (bar and space
// together, which ink spread leaves alone) lie nearest the digit's; patterns
// of equal pair sums are told apart by their bars' width, after the
// symbol's spread `spread` (in modules per edge, four edges to two bars).
DigitFit Classify(std::span<const double, 4> widths, bool barFirst, int first, int count,
                  double spread) {
    double total = 0;
    for (const double w : widths)
        total += w;
    std::array<double, 4> n{};
    for (size_t i = 0; i < 4; ++i)
        n[i] = 7.0 * widths[i] / total;
    const size_t bar = barFirst ? 0 : 1;
    const double bars = n[bar] + n[bar + 2];
    DigitFit best;
    double bestBars = 1e9;
    for (int t = first; t < first + count; ++t) {
        const auto& p = kPatterns[static_cast<size_t>(t)].widths;
        double error = 0;
        for (size_t k = 0; k < 3; ++k)
            error = std::max(error, std::fabs(n[k] + n[k + 1] - p[k] - p[k + 1]));
        const double barError = std::fabs(bars - (p[bar] + p[bar + 2] + 4 * spread));
        if (error < best.error - 1e-9 ||
            (std::fabs(error - best.error) <= 1e-9 && barError < bestBars)) {
            best = {t, error};
            bestBars = barError;
        }
    }
    // Same pair sums differ by two modules of bar: half of that is the most
    // the bars may be off.
    if (bestBars > 1.0) best.error = std::max(best.error, bestBars - 0.5);
    return best;
}

}  // namespace

bool EanEdgeDecode::FindExtremes(const float* s, int32_t from, int32_t to, double module) {
    const auto block =
        std::max<int32_t>(1, static_cast<int32_t>(std::lround(module * kBlockModules)));
    const int32_t blocks = (to - from) / block + 1;
    if (blocks > kMostBlocks) return false;
    // Block b at b + kEnvelopeReach, the places around the blocks neutral.
    float* const lows = blockLow_.data();
    float* const highs = blockHigh_.data();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    for (int32_t b = -kEnvelopeReach; b < 0; ++b) {
        lows[b + kEnvelopeReach] = kInfinity;
        highs[b + kEnvelopeReach] = -kInfinity;
    }
    for (int32_t b = 0; b < blocks; ++b) {
        float low = 0;
        float high = 0;
        BlockRange(s, from + b * block, std::min(to, from + (b + 1) * block), low, high);
        lows[b + kEnvelopeReach] = low;
        highs[b + kEnvelopeReach] = high;
    }
    for (int32_t b = blocks; b < blocks + 3 + kEnvelopeReach; ++b) {
        lows[b + kEnvelopeReach] = kInfinity;
        highs[b + kEnvelopeReach] = -kInfinity;
    }
    // The turn an extreme must make, per block: the same for every sample of
    // a block, so it is found once for each, four blocks at a time. Each
    // lane folds its block's neighbours as BlockRange folds samples.
    for (int32_t b = 0; b < blocks; b += 4) {
        __m128 low = _mm_loadu_ps(lows + b + kEnvelopeReach);
        __m128 high = _mm_loadu_ps(highs + b + kEnvelopeReach);
        for (int32_t k = b; k <= b + 2 * kEnvelopeReach; ++k) {
            low = _mm_min_ps(_mm_loadu_ps(lows + k), low);
            high = _mm_max_ps(_mm_loadu_ps(highs + k), high);
        }
        _mm_storeu_ps(blockTurn_.data() + b, _mm_mul_ps(_mm_set1_ps(kTurn), _mm_sub_ps(high, low)));
    }

    // Bars first: the window starts on its first bar. Block by block, so
    // that every sample of a block has its turn at hand.
    count_ = 0;
    bool seekLow = true;
    Candidate candidate{from, s[from], blockTurn_[0]};
    int32_t i = from + 1;
    for (int32_t b = 0; i < to; ++b) {
        const int32_t end = std::min(to, from + (b + 1) * block);
        const float turn = blockTurn_[static_cast<size_t>(b)];
        while (seekLow ? Follow(s, i, end, turn, candidate, std::less<>{})
                       : Follow(s, i, end, turn, candidate, std::greater<>{})) {
            // More extremes than the drops can bring down to a symbol's: no read.
            if (count_ == kMostKept) return false;
            extremes_[static_cast<size_t>(count_++)] = {candidate.at, candidate.at,
                                                        candidate.value};
            seekLow = !seekLow;
            candidate = {i, s[i], turn};
            ++i;
        }
    }
    if (!seekLow || count_ == kMostKept) return false;
    extremes_[static_cast<size_t>(count_++)] = {candidate.at, candidate.at, candidate.value};
    return true;
}

bool EanEdgeDecode::DropWeakest() {
    // The inner extreme of least turn goes, and its two neighbours (of the
    // other kind) become one: a bar split by a glint is one bar again.
    int weakest = -1;
    float least = 0;
    for (int k = 1; k + 1 < count_; ++k) {
        const float v = extremes_[static_cast<size_t>(k)].value;
        const float turn = std::min(std::fabs(v - extremes_[static_cast<size_t>(k - 1)].value),
                                    std::fabs(v - extremes_[static_cast<size_t>(k + 1)].value));
        if (weakest < 0 || turn < least) {
            weakest = k;
            least = turn;
        }
    }
    if (weakest < 0) return false;
    const auto w = static_cast<size_t>(weakest);
    Extreme& merged = extremes_[w - 1];
    const Extreme& next = extremes_[w + 1];
    const bool low = (weakest % 2) == 1;  // the neighbours are bars
    merged.value = low ? std::min(merged.value, next.value) : std::max(merged.value, next.value);
    merged.last = next.last;
    std::copy(extremes_.begin() + static_cast<std::ptrdiff_t>(w + 2), extremes_.begin() + count_,
              extremes_.begin() + static_cast<std::ptrdiff_t>(w));
    count_ -= 2;
    return true;
}

bool EanEdgeDecode::MeasureWidths(const float* s, int32_t n, double module) {
    // The outer edges against the paper just outside the symbol.
    const auto reach = static_cast<int32_t>(std::ceil(3 * module));
    const Extreme& firstBar = extremes_[0];
    const Extreme& lastBar = extremes_[static_cast<size_t>(count_ - 1)];
    float paperBefore = s[std::max(0, firstBar.first - 1)];
    for (int32_t i = std::max(0, firstBar.first - reach); i < firstBar.first; ++i)
        paperBefore = std::max(paperBefore, s[i]);
    float paperAfter = s[std::min(n - 1, lastBar.last + 1)];
    for (int32_t i = lastBar.last + 1; i < std::min(n, lastBar.last + reach + 1); ++i)
        paperAfter = std::max(paperAfter, s[i]);
    const double start = CrossingBefore(s, firstBar.first, std::max(0, firstBar.first - reach),
                                        0.5f * (paperBefore + firstBar.value));
    const double stop = CrossingAfter(s, lastBar.last, std::min(n - 1, lastBar.last + reach),
                                      0.5f * (paperAfter + lastBar.value));
    if (start < 0 || stop < 0) return false;
    double previous = start;
    for (int k = 0; k + 1 < count_; ++k) {
        const Extreme& a = extremes_[static_cast<size_t>(k)];
        const Extreme& b = extremes_[static_cast<size_t>(k + 1)];
        const double edge = CrossingAfter(s, a.last, b.first, 0.5f * (a.value + b.value));
        if (!(edge > previous)) return false;
        widths_[static_cast<size_t>(k)] = edge - previous;
        previous = edge;
    }
    if (!(stop > previous)) return false;
    widths_[static_cast<size_t>(kElements - 1)] = stop - previous;
    return true;
}

int EanEdgeDecode::Decode(const ScanSignal& window, int32_t mask, MatchRecord& record) {
    if (!(mask & kEan13)) return 0;
    const int32_t bars = window.barCount;
    if (bars < 2 || !XR_HasBarEnd(window, bars - 1)) return 0;
    const int32_t from = window.barStarts[0];
    const int32_t to = window.barEnds[bars - 1];
    const int32_t n = window.sampleCount;
    if (from < 1 || to >= n) return 0;
    const double module = double(to - from) / kModules;
    if (!(module >= kLeastModule)) return 0;
    const float* s = window.samples.get();
    if (!FindExtremes(s, from, to, module)) return 0;
    // Bars and spaces alternate, bars at the even places.
    for (int dropped = 0; count_ > kElements && dropped < kMostDropped; ++dropped) {
        if (!DropWeakest()) return 0;
    }
    if (count_ != kElements) return 0;
    if (!MeasureWidths(s, n, module)) return 0;

    // The spread of ink: bars wider than spaces in the guards, per edge.
    double spread = 0;
    for (const int first : {0, kCentre, kElements - 3}) {
        const int count = first == kCentre ? 5 : 3;
        double total = 0;
        for (int k = first; k < first + count; ++k)
            total += widths_[static_cast<size_t>(k)];
        const double unit = total / count;
        for (int k = first; k < first + count; ++k) {
            const double excess = widths_[static_cast<size_t>(k)] / unit - 1.0;
            // Bars lie at even places.
            spread += (k % 2 == 0 ? excess : -excess) / 2;
        }
    }
    spread /= 11;

    constexpr int kDigits = 13;
    std::array<BestMatch, kDigits> reading{};
    std::array<char, 5> parity{};
    std::array<double, 12> pitch{};
    double errorSum = 0;
    for (int j = 0; j < 12; ++j) {
        const bool left = j < 6;
        const int at = left ? kLeftDigits + 4 * j : kRightDigits + 4 * (j - 6);
        const std::span<const double, 4> widths(widths_.data() + at, 4);
        // Left digits begin with a space, right ones with a bar.
        const int first = left ? 0 : 20;
        const int count = left ? (j == 0 ? 10 : 20) : 10;
        const DigitFit fit = Classify(widths, !left, first, count, spread);
        if (fit.index < 0 || fit.error > kMostError) return 0;
        errorSum += fit.error;
        pitch[static_cast<size_t>(j)] = widths[0] + widths[1] + widths[2] + widths[3];
        reading[static_cast<size_t>(1 + j)] = {fit.index % 10, static_cast<float>(1.0 - fit.error)};
        if (left && j > 0) parity[static_cast<size_t>(j - 1)] = fit.index >= 10 ? 'e' : 'o';
    }
    for (int j = 0; j + 1 < 12; ++j) {
        const double ratio = pitch[static_cast<size_t>(j)] / pitch[static_cast<size_t>(j + 1)];
        if (!(ratio <= kMostPitchStep && ratio >= 1.0 / kMostPitchStep)) return 0;
    }
    // The guards keep the pitch of the digits beside them.
    const auto guardFits = [&](int first, int count, int digit) {
        double total = 0;
        for (int k = first; k < first + count; ++k)
            total += widths_[static_cast<size_t>(k)];
        const double ratio = total / count / (pitch[static_cast<size_t>(digit)] / 7);
        return ratio <= kMostPitchStep && ratio >= 1.0 / kMostPitchStep;
    };
    if (!guardFits(0, 3, 0) || !guardFits(kCentre, 5, 5) || !guardFits(kCentre, 5, 6) ||
        !guardFits(kElements - 3, 3, 11)) {
        return 0;
    }
    const double meanError = errorSum / 12;
    if (!(meanError <= kMostMeanError)) return 0;
    const auto confidence = static_cast<float>(
        kEdgeConfidence + (1.0 - kEdgeConfidence) * (1.0 - meanError / kMostMeanError));
    if (!(confidence > record.confidence)) return 0;

    const int firstDigit =
        ean::ParityValue(ean::kFirstDigitParity, std::string_view(parity.data(), parity.size()));
    if (firstDigit < 0) return 0;
    reading[0] = {firstDigit, 1.0f};
    std::array<int, kDigits> values{};
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = reading[i].index;
    if (!ean::CheckSumHolds(values, 1, 3)) return 0;
    XR_DescribeEan13(reading, record);
    record.confidence = confidence;
    return 1;
}

}  // namespace zeph::profile
