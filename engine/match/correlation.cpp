#include <algorithm>
#include <array>
#include <cmath>

#include "engine/reader.h"

namespace {

// Scratch of the matcher, one set per thread, reused by every call.
struct MatcherScratch {
    std::array<float, kMaxStretch> patternTemplate;
    std::array<float, kMaxStretch> scoreStretch;
    std::array<float, kMaxStretch> tableStretch;
};

MatcherScratch& Scratch() {
    thread_local MatcherScratch scratch;
    return scratch;
}

bool ScorableLength(size_t n) {
    return n >= 1 && n <= static_cast<size_t>(kMaxStretch);
}

// Copies the stretch into `out` with its own mean removed.
std::span<const float> Centred(std::span<const float> stretch, std::span<float> out) {
    double sum = 0.0;
    for (float v : stretch)
        sum += v;
    const float mean = static_cast<float>(sum / static_cast<double>(stretch.size()));
    for (size_t i = 0; i < stretch.size(); ++i)
        out[i] = stretch[i] - mean;
    return out.first(stretch.size());
}

}  // namespace

float XR_Correlation(std::span<const float> a, std::span<const float> b) {
    const size_t n = std::min(a.size(), b.size());
    double saa = 0.0, sbb = 0.0, sab = 0.0;
    for (size_t i = 0; i < n; ++i) {
        saa += double(a[i]) * a[i];
        sbb += double(b[i]) * b[i];
        sab += double(a[i]) * b[i];
    }
    const double d = std::sqrt(saa * sbb);
    return static_cast<float>(d > 0.0 ? sab / d : sab);
}

float XR_ShiftedCorrelation(std::span<const float> signal, std::span<const float> pattern,
                            int shiftRange) {
    const int h = std::clamp(shiftRange, 0, kMaxShiftRange);
    const int offsets = 2 * h + 1;
    const int ns = static_cast<int>(signal.size());
    const int nt = static_cast<int>(pattern.size());
    if (ns == 0 || nt == 0) return 0.0f;

    std::array<double, 2 * kMaxShiftRange + 1> store{};
    double es = 0.0, et = 0.0;
    // Adds signal sample `centre` (shifted by every offset) times v; samples
    // beyond the stretch count as zero, the stretch's mean.
    auto accumulate = [&](int centre, double v) {
        const int first = std::max(0, h - centre);
        const int last = std::min(offsets - 1, ns - 1 - centre + h);
        for (int k = first; k <= last; ++k)
            store[k] += signal[centre - h + k] * v;
    };

    if (ns > nt) {
        const double ratio = double(nt) / double(ns);
        for (int i = 0; i < ns; ++i) {
            const int j = std::min(nt - 1, static_cast<int>((i + 0.5) * ratio));
            const double v = pattern[j];
            es += double(signal[i]) * signal[i];
            et += v * v;
            accumulate(i, v);
        }
    } else {
        const double ratio = double(ns) / double(nt);
        for (int i = 0; i < nt; ++i) {
            const int j = std::min(ns - 1, static_cast<int>((i + 0.5) * ratio));
            const double v = pattern[i];
            es += double(signal[j]) * signal[j];
            et += v * v;
            accumulate(j, v);
        }
    }

    const double c = *std::max_element(store.begin(), store.begin() + offsets);
    const double d = std::sqrt(es * et);
    return static_cast<float>(d > 0.0 ? c / d : c);
}

float XR_ScorePattern(std::span<const float> stretch, std::string_view pattern) {
    if (!ScorableLength(stretch.size())) return 0.0f;
    MatcherScratch& scratch = Scratch();
    const std::span<float> patternSamples(scratch.patternTemplate.data(), stretch.size());
    XR_PatternToTemplate(pattern, patternSamples);
    return XR_Correlation(Centred(stretch, scratch.scoreStretch), patternSamples);
}

int XR_MatchTable(std::span<const float> stretch, const PatternTable& table, BestMatch& best,
                  int shiftRange) {
    if (!ScorableLength(stretch.size())) return 0;
    const std::span<const float> centred = Centred(stretch, Scratch().tableStretch);
    bool improved = false;
    for (int e = 0; e < table.count; ++e) {
        const float score = XR_ShiftedCorrelation(centred, table[e].samples, shiftRange);
        if (score > best.score) {
            best.score = score;
            best.index = e;
            improved = true;
        }
    }
    return improved ? 1 : 0;
}
