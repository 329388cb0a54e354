#include "engine/match/score_threshold.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/match/table_scores.h"

namespace zeph::match {
namespace {

// Distance from the threshold beyond which the module sums decide. The exact
// score and the one from module sums are both within about n * (2n + m) unit
// roundoffs of the true correlation (n stretch samples, m modules, at most
// 500 each): below 1e-10, against this margin.
constexpr double kMargin = 1e-6;

// The template module that stretch sample i is read against, as the exact
// walk of a stretch longer than its template computes it.
int ModuleOf(int i, int modules, double ratio) {
    return std::min(modules - 1, static_cast<int>((i + 0.5) * ratio));
}

// The centred stretch's running sums (sums[j] over its first j samples) and
// its energy, added in the order the exact score adds them.
struct ModuleSums {
    std::array<double, kMaxStretch + 1> sums;
    double energy = 0;
    int n = 0;
};

void Accumulate(std::span<const float> stretch, ModuleSums& m) {
    m.n = static_cast<int>(stretch.size());
    double sum = 0.0;
    for (const float v : stretch)
        sum += v;
    const float mean = static_cast<float>(sum / static_cast<double>(stretch.size()));
    double running = 0.0;
    double energy = 0.0;
    m.sums[0] = 0.0;
    for (size_t i = 0; i < stretch.size(); ++i) {
        const float c = stretch[i] - mean;
        running += c;
        energy += double(c) * c;
        m.sums[i + 1] = running;
    }
    m.energy = energy;
}

enum class Verdict { kBelow, kReached, kClose };

// The verdict of one table from the module sums; kClose also where a
// template is not shorter than the stretch or a module holds no sample.
Verdict Judge(const ModuleSums& m, const PatternTable& table, double least) {
    std::array<int, kMaxStretch + 1> bounds;  // written before it is read
    int boundsFor = -1;
    Verdict verdict = Verdict::kBelow;
    for (int e = 0; e < table.count; ++e) {
        const std::span<const float> t = table[e].samples;
        const int nt = static_cast<int>(t.size());
        if (nt == 0 || nt >= m.n) return Verdict::kClose;
        if (nt != boundsFor) {
            // bounds[k]: the first sample read against module k or a later one.
            const double ratio = double(nt) / double(m.n);
            bounds[0] = 0;
            for (int k = 1; k < nt; ++k) {
                // First guess: the least i with (i + 0.5) * nt / n >= k, in
                // integers; the walk's own rounding decides.
                const int i0 = (2 * k * m.n + nt - 1) / (2 * nt);
                int i = std::clamp(i0, 0, m.n);
                while (i > 0 && ModuleOf(i - 1, nt, ratio) >= k)
                    --i;
                while (i < m.n && ModuleOf(i, nt, ratio) < k)
                    ++i;
                bounds[k] = i;
            }
            bounds[nt] = m.n;
            for (int k = 0; k < nt; ++k) {
                if (bounds[k + 1] <= bounds[k]) return Verdict::kClose;
            }
            boundsFor = nt;
        }
        double c = 0.0;
        double et = 0.0;
        for (int k = 0; k < nt; ++k) {
            const double v = t[k];
            c += v * (m.sums[bounds[k + 1]] - m.sums[bounds[k]]);
            et += v * v * (bounds[k + 1] - bounds[k]);
        }
        // A template without contrast scores 0 on every stretch.
        const double d = std::sqrt(m.energy * et);
        const double score = d > 0.0 ? c / d : 0.0;
        if (score >= least + kMargin) return Verdict::kReached;
        if (score > least - kMargin) verdict = Verdict::kClose;
    }
    return verdict;
}

}  // namespace

void ScoresReach(std::span<const float> stretch, std::span<const PatternTable* const> tables,
                 float least, std::span<bool> reached) {
    const size_t count = std::min(tables.size(), reached.size());
    ModuleSums m;
    const bool scorable = !stretch.empty() && stretch.size() <= static_cast<size_t>(kMaxStretch);
    if (scorable) Accumulate(stretch, m);
    // Beyond the stretches it scores, a flat stretch (every score 0), an
    // unusable energy and thresholds at or below 0 go to the exact scores.
    const bool bounded =
        scorable && m.energy > 0.0 && std::isfinite(m.energy) && double(least) > kMargin;
    for (size_t t = 0; t < count; ++t) {
        const Verdict v = bounded ? Judge(m, *tables[t], least) : Verdict::kClose;
        if (v != Verdict::kClose) {
            reached[t] = v == Verdict::kReached;
            continue;
        }
        float score = 0.0f;
        BestScores(stretch, std::span(&tables[t], 1), 0, std::span(&score, 1));
        reached[t] = score >= least;
    }
}

}  // namespace zeph::match
