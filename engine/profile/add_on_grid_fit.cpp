#include "engine/profile/add_on_grid_fit.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/profile/blurred_pattern.h"
#include "engine/symbologies/ean_upc_common.h"
#include "engine/symbologies/ean_upc_patterns.h"

namespace zeph::profile {
namespace {

constexpr int kQ = AddOnGridFit::kPointsPerModule;
constexpr int kPad = AddOnGridFit::kPadModules;

// Smallest module the profile is read at, in samples.
constexpr double kLeastModule = 1.0;

// Shifts of the grid's ends tried, in modules of the measured grid: blur
// moves the crossings of the outer bars inwards, ink spread outwards.
constexpr std::array<double, 4> kStartShifts = {-0.5, -0.25, 0.0, 0.25};
constexpr std::array<double, 4> kStopShifts = {-0.25, 0.0, 0.25, 0.5};

// First module of the first digit, and the modules from one digit to the
// next (seven, and a separator of two).
constexpr int kDigitModule = 4;
constexpr int kDigitStride = 9;

int ModulesOf(int digits) {
    return kDigitStride * digits + 2;
}

std::string_view Word(std::string_view table, int index) {
    return table.substr(static_cast<size_t>(index) * 8, 7);
}

int CheckValue(const std::array<BestMatch, 6>& values, int digits) {
    if (digits == 2) return (10 * values[0].index + values[1].index) % 4;
    const int sum = 3 * (values[0].index + values[2].index + values[4].index) +
                    9 * (values[1].index + values[3].index);
    return sum % 10;
}

}  // namespace

const AddOnGridFit::TemplateSets& AddOnGridFit::SharedTemplates() {
    static const TemplateSets shared = RenderSets<TemplateSets>(RenderSet);
    return shared;
}

void AddOnGridFit::RenderSet(size_t b, TemplateSet& set) {
    const auto render = [&](int index, const std::string& modules) {
        Template& t = set[static_cast<size_t>(index)];
        RenderBlurred(modules, kBlurs[b], kQ, t.values, t.points);
    };
    // Every digit follows a bar (the guard's or a separator's) and is
    // followed by a space (a separator's or the quiet zone): the
    // separators are the digits' neighbours.
    for (int d = 0; d < 10; ++d) {
        render(d, "?1" + std::string(Word(ean::kLeftOdd, d)) + "0?");
        render(10 + d, "?1" + std::string(Word(ean::kLeftEven, d)) + "0?");
    }
    render(kGuard, "00" + std::string(ean::kSupplementGuard) + "0?");
}

void AddOnGridFit::Resample(std::span<const float> samples, int modules, double a, double b) {
    const auto n = static_cast<int32_t>(samples.size());
    const double width = (b - a) / modules;
    const int total = (modules + 2 * kPad) * kQ;
    for (int g = 0; g < total; ++g) {
        const double u = -kPad + (g + 0.5) / kQ;
        const double clamped = std::clamp(a + width * u, 0.0, double(n - 1));
        const auto i = static_cast<int32_t>(clamped);
        const double f = clamped - i;
        const float lo = samples[static_cast<size_t>(i)];
        const float hi = i + 1 < n ? samples[static_cast<size_t>(i + 1)] : lo;
        points_[static_cast<size_t>(g)] = static_cast<float>(lo + f * (hi - lo));
    }
}

AddOnGridFit::Fit AddOnGridFit::BestOf(const TemplateSet& set, int first, int count,
                                       int module) const {
    Fit best;
    const int points = set[static_cast<size_t>(first)].points;
    const int origin = (2 * (module + kPad) - 1) * kQ / 2;
    for (int shift = -kMostShift; shift <= kMostShift; ++shift) {
        const float* p = points_.data() + origin + shift;
        const double inverse = InverseSpread(p, points);
        if (!(inverse > 0)) continue;
        for (int t = first; t < first + count; ++t) {
            const float* v = set[static_cast<size_t>(t)].values.data();
            float dot = 0;
            for (int j = 0; j < points; ++j)
                dot += v[j] * p[j];
            const auto score = static_cast<float>(dot * inverse);
            if (score > best.score) best = {t, score};
        }
    }
    return best;
}

float AddOnGridFit::Score(const TemplateSet& set, int digits) const {
    float sum = BestOf(set, kGuard, 1, 0).score;
    for (int i = 0; i < digits; ++i)
        sum += BestOf(set, 0, kDigitTemplates, kDigitModule + kDigitStride * i).score;
    return sum;
}

bool AddOnGridFit::Read(std::span<const float> samples, double from, double to, int digits,
                        Reading& reading) {
    const TemplateSets& templates = SharedTemplates();
    if (digits != 2 && digits != 5) return false;
    const int modules = ModulesOf(digits);
    const double module = (to - from) / modules;
    if (!(module >= kLeastModule)) return false;

    // Most stretches hold no add-on: the guard must already fit on the grid
    // as measured.
    Resample(samples, modules, from, to);
    if (!(std::max(BestOf(templates[1], kGuard, 1, 0).score,
                   BestOf(templates[2], kGuard, 1, 0).score) >= kLeastRoughFit)) {
        return false;
    }

    // One parameter at a time: the start at a middle blur, then the stop,
    // then the blur.
    size_t bestBlur = 1;
    double bestA = from;
    double bestB = to;
    float best = -1e9f;
    for (const double da : kStartShifts) {
        Resample(samples, modules, from + da * module, to);
        const float score = Score(templates[bestBlur], digits);
        if (score > best) {
            best = score;
            bestA = from + da * module;
        }
    }
    for (const double db : kStopShifts) {
        if (db == 0) continue;
        Resample(samples, modules, bestA, to + db * module);
        const float score = Score(templates[bestBlur], digits);
        if (score > best) {
            best = score;
            bestB = to + db * module;
        }
    }
    Resample(samples, modules, bestA, bestB);
    for (const size_t blur : {size_t{0}, size_t{2}}) {
        const float score = Score(templates[blur], digits);
        if (score > best) {
            best = score;
            bestBlur = blur;
        }
    }

    const TemplateSet& set = templates[bestBlur];
    const Fit guard = BestOf(set, kGuard, 1, 0);
    float least = guard.score;
    float sum = guard.score;
    std::array<char, 5> parity{};
    for (int i = 0; i < digits; ++i) {
        const Fit digit = BestOf(set, 0, kDigitTemplates, kDigitModule + kDigitStride * i);
        if (digit.index < 0) return false;
        least = std::min(least, digit.score);
        sum += digit.score;
        reading.values[static_cast<size_t>(i)] = {digit.index % 10, digit.score};
        parity[static_cast<size_t>(i)] = digit.index >= 10 ? 'e' : 'o';
    }
    const bool two = digits == 2;
    if (least < (two ? kLeastFitOfTwo : kLeastFit)) return false;
    const float fit = sum / static_cast<float>(digits + 1);
    if (!(fit >= (two ? kLeastMeanFitOfTwo : kLeastMeanFit))) return false;

    const std::string_view word(parity.data(), static_cast<size_t>(digits));
    const int check = two ? ean::ParityValue(ean::kSupplement2Parity, word)
                          : ean::ParityValue(ean::kSupplement5Parity, word);
    if (check < 0 || check != CheckValue(reading.values, digits)) return false;
    reading.values[static_cast<size_t>(digits)] = {check, 1.0f};
    reading.digits = digits;
    reading.fit = fit;
    return true;
}

}  // namespace zeph::profile
