#include "engine/profile/ean_grid_fit.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/descriptors/ean_upc_descriptor.h"
#include "engine/profile/blurred_pattern.h"
#include "engine/symbologies/ean_upc_common.h"
#include "engine/symbologies/ean_upc_patterns.h"

namespace zeph::profile {

// Where the digits and guards of one symbology lie, in modules.
struct EanGridFit::Layout {
    int32_t bit;
    int modules;
    int digitsPerHalf;
    int centreGuard;  // first module of the centre guard
    double knot;      // the middle of the centre guard, where the grid bends
    // Bars the cut may have found: merged bars lower the count, glare and
    // noise raise it a little.
    int32_t fewestBars;
    int32_t mostBars;
};

namespace {

constexpr int kQ = EanGridFit::kPointsPerModule;
constexpr int kPad = EanGridFit::kPadModules;

constexpr int kLeftOdd = 0;
constexpr int kLeftEven = 10;
constexpr int kRight = 20;
constexpr int kStartGuard = 30;
constexpr int kCentreGuard = 31;
constexpr int kEndGuard = 32;

// Smallest module the profile is read at, in samples.
constexpr double kLeastModule = 1.0;

// Shifts of the grid's knots tried, in modules of the measured grid: blur
// moves the crossings of the outer bars inwards, ink spread outwards.
constexpr std::array<double, 4> kStartShifts = {-0.5, -0.25, 0.0, 0.25};
constexpr std::array<double, 4> kStopShifts = {-0.25, 0.0, 0.25, 0.5};
constexpr std::array<double, 7> kKnotShifts = {-1.5, -1.0, -0.5, 0.0, 0.5, 1.0, 1.5};
constexpr int kCentreShift = 6;

std::string_view Word(std::string_view table, int index) {
    return table.substr(static_cast<size_t>(index) * 8, 7);
}

// Where the signal crosses zero between sample i - 1 and sample i.
double Crossing(const float* s, int32_t i) {
    const double a = s[i - 1];
    const double b = s[i];
    return a == b ? i : (i - 1) + a / (a - b);
}

float ConfidenceOf(float fit) {
    constexpr float edge = EanGridFit::kEdgeConfidence;
    constexpr float least = EanGridFit::kLeastMeanFit;
    return edge + (1 - edge) * (fit - least) / (1 - least);
}

}  // namespace

const EanGridFit::TemplateSets& EanGridFit::SharedTemplates() {
    static const TemplateSets shared = RenderSets<TemplateSets>(RenderSet);
    return shared;
}

void EanGridFit::RenderSet(size_t b, TemplateSet& set) {
    const auto render = [&](int index, std::string_view modules) {
        Template& t = set[static_cast<size_t>(index)];
        RenderBlurred(modules, kBlurs[b], kQ, t.values, t.points);
    };
    for (int d = 0; d < 10; ++d) {
        std::string s = "?1";
        render(kLeftOdd + d, (s + std::string(Word(ean::kLeftOdd, d)) + "0?"));
        render(kLeftEven + d, (s + std::string(Word(ean::kLeftEven, d)) + "0?"));
        s = "?0";
        render(kRight + d, (s + std::string(Word(ean::kRight, d)) + "1?"));
    }
    render(kStartGuard, "001010?");
    render(kCentreGuard, "?1010101?");
    render(kEndGuard, "?010100");
    for (int t = 0; t < kDigitTemplates; ++t) {
        for (int j = 0; j < kDigitPoints; ++j) {
            set.byPoint[static_cast<size_t>(j * kDigitTemplates + t)] =
                set[static_cast<size_t>(t)].values[static_cast<size_t>(j)];
        }
    }
}

void EanGridFit::Resample(const ScanSignal& window, const Layout& layout, double a, double c,
                          double b, int from, int to) {
    const float* s = window.samples.get();
    const int32_t n = window.sampleCount;
    const double leftWidth = (c - a) / layout.knot;
    const double rightWidth = (b - c) / (layout.modules - layout.knot);
    for (int g = from; g < to; ++g) {
        const double u = -kPad + (g + 0.5) / kQ;
        const double x = u <= layout.knot ? a + leftWidth * u : c + rightWidth * (u - layout.knot);
        const double clamped = std::clamp(x, 0.0, double(n - 1));
        const auto i = static_cast<int32_t>(clamped);
        const double f = clamped - i;
        const float lo = s[i];
        const float hi = i + 1 < n ? s[i + 1] : lo;
        points_[static_cast<size_t>(g)] = static_cast<float>(lo + f * (hi - lo));
    }
}

void EanGridFit::Resample(const ScanSignal& window, const Layout& layout, double a, double c,
                          double b) {
    Resample(window, layout, a, c, b, 0, (layout.modules + 2 * kPad) * kQ);
}

EanGridFit::Fit EanGridFit::BestOf(const TemplateSet& set, int first, int count, double module,
                                   int mostShift) const {
    Fit best;
    const int points = set[static_cast<size_t>(first)].points;
    const int origin = static_cast<int>(std::lround((module - 0.5 + kPad) * kQ));
    for (int shift = -mostShift; shift <= mostShift; ++shift) {
        const int from = origin + shift;
        const float* p = points_.data() + from;
        const double inverse = InverseSpread(p, points);
        if (!(inverse > 0)) continue;
        if (first < kDigitTemplates) {
            std::array<float, kDigitTemplates> dots{};
            for (int j = 0; j < points; ++j) {
                const float* row = set.byPoint.data() + j * kDigitTemplates + first;
                const float pj = p[j];
                for (int t = 0; t < count; ++t)
                    dots[static_cast<size_t>(t)] += row[t] * pj;
            }
            for (int t = 0; t < count; ++t) {
                const auto score = static_cast<float>(dots[static_cast<size_t>(t)] * inverse);
                if (score > best.score) best = {first + t, score, shift};
            }
            continue;
        }
        for (int t = first; t < first + count; ++t) {
            const float* v = set[static_cast<size_t>(t)].values.data();
            float dot = 0;
            for (int j = 0; j < points; ++j)
                dot += v[j] * p[j];
            const auto score = static_cast<float>(dot * inverse);
            if (score > best.score) best = {t, score, shift};
        }
    }
    return best;
}

float EanGridFit::HalfScore(const TemplateSet& set, const Layout& layout, int half) const {
    float sum = 0;
    for (int j = 0; j < layout.digitsPerHalf; ++j) {
        if (half == 0) {
            const bool evenAllowed = j > 0;
            sum += BestOf(set, kLeftOdd, evenAllowed ? 20 : 10, 3 + 7 * j).score;
        } else {
            sum += BestOf(set, kRight, 10, layout.centreGuard + 5 + 7 * j).score;
        }
    }
    return sum;
}

int EanGridFit::Decode(const ScanSignal& window, int32_t mask, MatchRecord& record) {
    // EAN-8 is left out: without the parity word, gratings and textures
    // fit its eight digits and check digit too often.
    static constexpr std::array<Layout, 1> kLayouts = {{
        {kEan13, 95, 6, 45, 47.5, 12, 34},
    }};
    const int32_t bars = window.barCount;
    if (bars < 2 || !XR_HasBarEnd(window, bars - 1)) return 0;
    const int32_t first = window.barStarts[0];
    const int32_t last = window.barEnds[bars - 1];
    if (first < 1 || last >= window.sampleCount) return 0;
    const double from = Crossing(window.samples.get(), first);
    const double to = Crossing(window.samples.get(), last);
    for (const Layout& layout : kLayouts) {
        if (!(mask & layout.bit)) continue;
        if (bars < layout.fewestBars || bars > layout.mostBars) continue;
        if (DecodeLayout(window, layout, from, to, record) == 1) return 1;
    }
    return 0;
}

int EanGridFit::DecodeLayout(const ScanSignal& window, const Layout& layout, double from, double to,
                             MatchRecord& record) {
    const TemplateSets& templates = SharedTemplates();
    const double module = (to - from) / layout.modules;
    if (!(module >= kLeastModule)) return 0;
    const double knot = from + module * layout.knot;

    // Most windows hold no such symbol: the outer guards, and then the
    // digits, must already fit on the grid as measured.
    const int total = (layout.modules + 2 * kPad) * kQ;
    const int guardPoints = (kPad + 4) * kQ;
    Resample(window, layout, from, knot, to, 0, guardPoints);
    Resample(window, layout, from, knot, to, total - guardPoints, total);
    const TemplateSet& middle = templates[1];
    const TemplateSet& blurred = templates[2];
    const auto guard = [&](int index, int at, int shift) {
        return std::max(BestOf(middle, index, 1, at, shift).score,
                        BestOf(blurred, index, 1, at, shift).score);
    };
    if (!(guard(kStartGuard, 0, kMostShift) >= kLeastRoughFit) ||
        !(guard(kEndGuard, layout.modules - 3, kMostShift) >= kLeastRoughFit)) {
        return 0;
    }
    // The centre guard as far from the middle as the knot is searched.
    const int centre = (layout.centreGuard + kPad - 2) * kQ;
    Resample(window, layout, from, knot, to, centre, centre + 10 * kQ);
    if (!(guard(kCentreGuard, layout.centreGuard, kCentreShift) >= kLeastRoughFit)) return 0;
    Resample(window, layout, from, knot, to, guardPoints, total - guardPoints);
    const float rough = (HalfScore(middle, layout, 0) + HalfScore(middle, layout, 1)) /
                        static_cast<float>(2 * layout.digitsPerHalf);
    if (!(rough >= kLeastRoughFit)) return 0;

    // The grid is fitted a parameter at a time: the middle knot at a middle
    // blur, then each outer knot (each half depends on its outer knot and
    // the middle one alone), the middle knot again more finely, the blur.
    const int split = static_cast<int>(std::lround((layout.knot + kPad) * kQ));
    const auto half = [&](size_t blur, double a, double c, double b, int side) {
        if (side == 0) {
            Resample(window, layout, a, c, b, 0, split);
        } else {
            Resample(window, layout, a, c, b, split, total);
        }
        return HalfScore(templates[blur], layout, side);
    };
    size_t bestBlur = 1;
    double bestA = from, bestB = to, bestC = knot;
    float bestTotal = -1e9f;
    for (const double dc : kKnotShifts) {
        const double c = knot + dc * module;
        const float score = half(bestBlur, from, c, to, 0) + half(bestBlur, from, c, to, 1);
        if (score > bestTotal) {
            bestTotal = score;
            bestC = c;
        }
    }
    float left = -1e9f;
    for (const double da : kStartShifts) {
        const float score = half(bestBlur, from + da * module, bestC, to, 0);
        if (score > left) {
            left = score;
            bestA = from + da * module;
        }
    }
    float right = -1e9f;
    for (const double db : kStopShifts) {
        const float score = half(bestBlur, from, bestC, to + db * module, 1);
        if (score > right) {
            right = score;
            bestB = to + db * module;
        }
    }
    bestTotal = left + right;
    const double coarse = bestC;
    for (const double dc : {-0.25, 0.25}) {
        const double c = coarse + dc * module;
        const float score = half(bestBlur, bestA, c, bestB, 0) + half(bestBlur, bestA, c, bestB, 1);
        if (score > bestTotal) {
            bestTotal = score;
            bestC = c;
        }
    }
    for (const size_t blur : {size_t{0}, size_t{2}}) {
        const float score = half(blur, bestA, bestC, bestB, 0) + half(blur, bestA, bestC, bestB, 1);
        if (score > bestTotal) {
            bestTotal = score;
            bestBlur = blur;
        }
    }

    const TemplateSet& set = templates[bestBlur];
    Resample(window, layout, bestA, bestC, bestB);
    constexpr int kMostDigits = 13;
    std::array<BestMatch, kMostDigits> reading{};
    float sum = 0;
    float least = 1;
    int count = 0;
    const auto take = [&](const Fit& fit) {
        sum += fit.score;
        least = std::min(least, fit.score);
        ++count;
    };
    take(BestOf(set, kStartGuard, 1, 0));
    take(BestOf(set, kCentreGuard, 1, layout.centreGuard));
    take(BestOf(set, kEndGuard, 1, layout.modules - 3));
    constexpr int offset = 1;  // the first digit comes from the parity word
    std::array<char, 5> parity{};
    for (int j = 0; j < layout.digitsPerHalf; ++j) {
        const bool evenAllowed = j > 0;
        const Fit left = BestOf(set, kLeftOdd, evenAllowed ? 20 : 10, 3 + 7 * j);
        if (left.index < 0) return 0;
        take(left);
        reading[static_cast<size_t>(offset + j)] = {left.index % 10, left.score};
        if (evenAllowed) parity[static_cast<size_t>(j - 1)] = left.index >= kLeftEven ? 'e' : 'o';
        const Fit right = BestOf(set, kRight, 10, layout.centreGuard + 5 + 7 * j);
        if (right.index < 0) return 0;
        take(right);
        reading[static_cast<size_t>(offset + layout.digitsPerHalf + j)] = {right.index - kRight,
                                                                           right.score};
    }
    if (least < kLeastFit) return 0;
    const float fit = sum / static_cast<float>(count);
    if (!(fit >= kLeastMeanFit)) return 0;
    const float confidence = ConfidenceOf(fit);
    if (!(confidence > record.confidence)) return 0;

    const int digits = offset + 2 * layout.digitsPerHalf;
    std::array<int, kMostDigits> values{};
    const int firstDigit =
        ean::ParityValue(ean::kFirstDigitParity, std::string_view(parity.data(), 5));
    if (firstDigit < 0) return 0;
    reading[0] = {firstDigit, 1.0f};
    for (int i = 0; i < digits; ++i)
        values[static_cast<size_t>(i)] = reading[static_cast<size_t>(i)].index;
    const std::span<const int> check(values.data(), static_cast<size_t>(digits));
    if (!ean::CheckSumHolds(check, 1, 3)) return 0;
    XR_DescribeEan13(std::span<const BestMatch>(reading.data(), 13), record);
    record.confidence = confidence;
    return 1;
}

}  // namespace zeph::profile
