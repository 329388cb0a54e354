#include <algorithm>
#include <array>
#include <cmath>

#include "engine/core/avx2_clones.h"
#include "engine/match/table_scores.h"
#include "engine/reader.h"

namespace {

constexpr int kMaxOffsets = 2 * kMaxShiftRange + 1;
// Longest template whose resampling a table match prepares once for all its
// entries; longer ones (no table holds any) are resampled entry by entry.
constexpr int kMaxPreparedSteps = 2048;

// Scratch of the matcher, one set per thread, reused by every call.
struct MatcherScratch {
    std::array<float, kMaxStretch> patternTemplate;
    std::array<float, kMaxStretch> scoreStretch;
    // The centred stretch of a table match with kMaxShiftRange zeros on
    // either side, so that every shifted read stays inside it.
    std::array<float, kMaxStretch + 2 * kMaxShiftRange> paddedStretch;
    std::array<int32_t, kMaxPreparedSteps> map;
};

// Not inlined: in a shared library the address of a thread-local object is
// a call to the dynamic linker, and an inlined accessor lets the compiler
// make that call again at every use instead of keeping the address.
[[gnu::noinline]] MatcherScratch& Scratch() {
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

// How a stretch of ns samples meets a template of nt samples: the longer is
// walked sample by sample, the shorter read at the centre of each step. The
// walk, and the stretch's energy along it, depend on the two lengths alone,
// so a table match prepares them once for every entry of one length.
struct Resampling {
    int ns = 0;
    int nt = 0;
    bool signalLonger = false;
    double es = 0;                 // energy of the stretch samples the walk visits
    const int32_t* map = nullptr;  // per step: the template (signalLonger) or stretch sample read
};

void Prepare(const float* s, int ns, int nt, int32_t* map, Resampling& r) {
    r = {ns, nt, ns > nt, 0.0, map};
    if (r.signalLonger) {
        const double ratio = double(nt) / double(ns);
        for (int i = 0; i < ns; ++i) {
            map[i] = std::min(nt - 1, static_cast<int>((i + 0.5) * ratio));
            r.es += double(s[i]) * s[i];
        }
    } else {
        const double ratio = double(ns) / double(nt);
        for (int i = 0; i < nt; ++i) {
            const int j = std::min(ns - 1, static_cast<int>((i + 0.5) * ratio));
            map[i] = j;
            r.es += double(s[j]) * s[j];
        }
    }
}

// The shifted correlation over a prepared walk. `padded` holds the stretch
// behind `h` zeros and before `h` more, so offset k of stretch sample j reads
// padded[j + k]. Every sum adds the same terms in the same order as
// XR_ShiftedCorrelation (an added zero changes no sum), so the result is the
// same to the last bit.
template <int FixedH>
float CorrelatePrepared(const float* padded, const Resampling& r, const float* t, int h) {
    if constexpr (FixedH >= 0) h = FixedH;
    const int offsets = 2 * h + 1;
    std::array<double, kMaxOffsets> store{};
    double et = 0.0;
    const int steps = r.signalLonger ? r.ns : r.nt;
    for (int i = 0; i < steps; ++i) {
        const double v = r.signalLonger ? t[r.map[i]] : t[i];
        const float* p = padded + (r.signalLonger ? i : r.map[i]);
        et += v * v;
        if constexpr (FixedH == 0) {
            store[0] += p[0] * v;
        } else if constexpr (FixedH == 1) {
            store[0] += p[0] * v;
            store[1] += p[1] * v;
            store[2] += p[2] * v;
        } else {
            for (int k = 0; k < offsets; ++k)
                store[k] += p[k] * v;
        }
    }
    const double c = *std::max_element(store.begin(), store.begin() + offsets);
    const double d = std::sqrt(r.es * et);
    return static_cast<float>(d > 0.0 ? c / d : c);
}

// CorrelatePrepared for four entries of one length at once, lane e for
// entries[e]: each lane adds its terms in the order one entry alone does, so
// every score is the same to the bit, and the four entries' sums no longer
// wait on each other. The sums of shift ranges 0 and 1 stay in registers.
ZEPH_AVX2_CLONES void CorrelateFourPrepared(const float* padded, const Resampling& r,
                                            const float* const* entries, int h, float* scores) {
    using Doubles = double __attribute__((vector_size(32)));
    const int offsets = 2 * h + 1;
    const int steps = r.signalLonger ? r.ns : r.nt;
    Doubles et = {};
    Doubles store[kMaxOffsets] = {};
    Doubles s0 = {}, s1 = {}, s2 = {};
    for (int i = 0; i < steps; ++i) {
        const int at = r.signalLonger ? r.map[i] : i;
        const Doubles v = {entries[0][at], entries[1][at], entries[2][at], entries[3][at]};
        const float* p = padded + (r.signalLonger ? i : r.map[i]);
        et += v * v;
        if (h == 0) {
            s0 += static_cast<double>(p[0]) * v;
        } else if (h == 1) {
            s0 += static_cast<double>(p[0]) * v;
            s1 += static_cast<double>(p[1]) * v;
            s2 += static_cast<double>(p[2]) * v;
        } else {
            for (int k = 0; k < offsets; ++k)
                store[k] += static_cast<double>(p[k]) * v;
        }
    }
    if (h <= 1) {
        store[0] = s0;
        store[1] = s1;
        store[2] = s2;
    }
    for (int e = 0; e < 4; ++e) {
        double c = store[0][e];
        for (int k = 1; k < offsets; ++k)
            c = std::max(c, store[k][e]);
        const double d = std::sqrt(r.es * et[e]);
        scores[e] = static_cast<float>(d > 0.0 ? c / d : c);
    }
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

namespace {

// The stretch of a table match, centred and padded in the scratch, for one or
// more tables.
struct PreparedStretch {
    int h = 0;
    int ns = 0;
    const float* padded = nullptr;
    std::span<const float> centred;
};

PreparedStretch PrepareStretch(std::span<const float> stretch, int shiftRange,
                               MatcherScratch& scratch) {
    PreparedStretch p;
    p.h = std::clamp(shiftRange, 0, kMaxShiftRange);
    p.ns = static_cast<int>(stretch.size());
    float* padded = scratch.paddedStretch.data();
    std::fill_n(padded, p.h, 0.0f);
    p.centred = Centred(stretch, std::span<float>(padded + p.h, static_cast<size_t>(p.ns)));
    std::fill_n(padded + p.h + p.ns, p.h, 0.0f);
    p.padded = padded;
    return p;
}

int MatchPrepared(const PreparedStretch& prepared, const PatternTable& table, BestMatch& best,
                  int shiftRange, MatcherScratch& scratch) {
    const int h = prepared.h;
    const int ns = prepared.ns;
    const float* padded = prepared.padded;
    const std::span<const float> centred = prepared.centred;
    Resampling walk;
    int preparedFor = -1;  // the template length the walk was prepared for
    bool improved = false;
    const auto offer = [&](float score, int e) {
        if (score > best.score) {
            best.score = score;
            best.index = e;
            improved = true;
        }
    };
    for (int e = 0; e < table.count; ++e) {
        const std::span<const float> entry = table[e].samples;
        const int nt = static_cast<int>(entry.size());
        if (nt > 0 && std::max(ns, nt) <= kMaxPreparedSteps) {
            // One walk serves every entry of a length (the entries of most
            // tables have one length).
            if (preparedFor != nt) {
                Prepare(centred.data(), ns, nt, scratch.map.data(), walk);
                preparedFor = nt;
            }
            // Up to four entries of this length in a row are scored together
            // (a short group repeats its last entry in the spare lanes) and
            // offered in their order.
            int group = 1;
            while (group < 4 && e + group < table.count &&
                   table[e + group].samples.size() == entry.size()) {
                ++group;
            }
            if (group > 1) {
                const float* four[4];
                for (int k = 0; k < 4; ++k)
                    four[k] = table[e + std::min(k, group - 1)].samples.data();
                float scores[4];
                CorrelateFourPrepared(padded, walk, four, h, scores);
                for (int k = 0; k < group; ++k)
                    offer(scores[k], e + k);
                e += group - 1;
                continue;
            }
            offer(h == 0   ? CorrelatePrepared<0>(padded, walk, entry.data(), h)
                  : h == 1 ? CorrelatePrepared<1>(padded, walk, entry.data(), h)
                           : CorrelatePrepared<-1>(padded, walk, entry.data(), h),
                  e);
        } else if (nt > 0) {
            offer(XR_ShiftedCorrelation(centred, entry, shiftRange), e);
        } else {
            offer(0.0f, e);
        }
    }
    return improved ? 1 : 0;
}

}  // namespace

int XR_MatchTable(std::span<const float> stretch, const PatternTable& table, BestMatch& best,
                  int shiftRange) {
    if (!ScorableLength(stretch.size())) return 0;
    MatcherScratch& scratch = Scratch();
    return MatchPrepared(PrepareStretch(stretch, shiftRange, scratch), table, best, shiftRange,
                         scratch);
}

namespace zeph::match {

void BestScores(std::span<const float> stretch, std::span<const PatternTable* const> tables,
                int shiftRange, std::span<float> scores) {
    if (!ScorableLength(stretch.size())) {
        std::fill(scores.begin(), scores.end(), 0.0f);
        return;
    }
    MatcherScratch& scratch = Scratch();
    const PreparedStretch prepared = PrepareStretch(stretch, shiftRange, scratch);
    for (size_t t = 0; t < tables.size() && t < scores.size(); ++t) {
        BestMatch best;
        MatchPrepared(prepared, *tables[t], best, shiftRange, scratch);
        scores[t] = best.score;
    }
}

}  // namespace zeph::match
