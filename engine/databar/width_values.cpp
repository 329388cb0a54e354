#include "engine/databar/width_values.h"

#include <array>

namespace zeph::databar {
namespace {

// ways[e][s][h]: sequences of e elements summing to s modules, each at most
// `widest`, that hold a single-module element (h = 1) or need not (h = 0).
class Ways {
  public:
    explicit Ways(const WidthRule& rule) : rule_(rule) {
        for (int e = 0; e <= rule.elements; ++e) {
            for (int s = 0; s <= rule.modules; ++s) {
                for (int h = 0; h < 2; ++h)
                    ways_[e][s][h] = Count(e, s, h == 1);
            }
        }
    }
    // Sequences of e elements summing to s; with `narrowSeen`, a narrow
    // element is already among those before them.
    int64_t Of(int e, int s, bool narrowSeen) const {
        if (s < 0) return 0;
        return ways_[e][s][rule_.needsNarrow && !narrowSeen ? 1 : 0];
    }

  private:
    int64_t Count(int e, int s, bool needsNarrow) const {
        if (e == 0) return s == 0 && !needsNarrow ? 1 : 0;
        int64_t total = 0;
        for (int w = 1; w <= rule_.widest && w <= s; ++w)
            total += ways_[e - 1][s - w][needsNarrow && w != 1 ? 1 : 0];
        return total;
    }

    WidthRule rule_;
    std::array<std::array<std::array<int64_t, 2>, kMostModules + 1>, kMostElements + 1> ways_{};
};

bool InRange(const WidthRule& r) {
    return r.elements >= 1 && r.elements <= kMostElements && r.modules >= 0 &&
           r.modules <= kMostModules && r.widest >= 1;
}

}  // namespace

int64_t CountWidths(const WidthRule& rule) {
    if (!InRange(rule)) return 0;
    return Ways(rule).Of(rule.elements, rule.modules, false);
}

int32_t ValueOfWidths(std::span<const int32_t> widths, const WidthRule& rule) {
    if (!InRange(rule) || widths.size() != static_cast<size_t>(rule.elements)) return -1;
    int sum = 0;
    bool narrow = false;
    for (const int32_t w : widths) {
        if (w < 1 || w > rule.widest) return -1;
        sum += w;
        narrow = narrow || w == 1;
    }
    if (sum != rule.modules || (rule.needsNarrow && !narrow)) return -1;
    const Ways ways(rule);
    int64_t value = 0;
    int left = rule.modules;
    bool seen = false;
    for (int i = 0; i < rule.elements; ++i) {
        const int rest = rule.elements - i - 1;
        for (int w = 1; w < widths[static_cast<size_t>(i)]; ++w)
            value += ways.Of(rest, left - w, seen || w == 1);
        left -= widths[static_cast<size_t>(i)];
        seen = seen || widths[static_cast<size_t>(i)] == 1;
    }
    return static_cast<int32_t>(value);
}

bool WidthsOfValue(int32_t value, const WidthRule& rule, std::span<int32_t> out) {
    if (!InRange(rule) || out.size() != static_cast<size_t>(rule.elements) || value < 0) {
        return false;
    }
    const Ways ways(rule);
    if (value >= ways.Of(rule.elements, rule.modules, false)) return false;
    int64_t rest = value;
    int left = rule.modules;
    bool seen = false;
    for (int i = 0; i < rule.elements; ++i) {
        const int after = rule.elements - i - 1;
        int w = 1;
        for (;; ++w) {
            if (w > rule.widest) return false;
            const int64_t here = ways.Of(after, left - w, seen || w == 1);
            if (rest < here) break;
            rest -= here;
        }
        out[static_cast<size_t>(i)] = w;
        left -= w;
        seen = seen || w == 1;
    }
    return true;
}

}  // namespace zeph::databar
