#include "engine/symbologies/width_checks.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace zeph {

bool EvenWidths(std::span<const float> widths, float tolerance) {
    const size_t n = std::min(widths.size(), kMaxEvenWidths);
    if (n < 2) return true;
    for (size_t k = 0; k < n; ++k) {
        std::array<float, 4> around{};
        size_t m = 0;
        const size_t lo = k >= 2 ? k - 2 : 0;
        const size_t hi = std::min(n - 1, k + 2);
        for (size_t j = lo; j <= hi; ++j) {
            if (j != k) around[m++] = widths[j];
        }
        // At most four values: insertion sort.
        for (size_t i = 1; i < m; ++i) {
            for (size_t j = i; j > 0 && around[j] < around[j - 1]; --j)
                std::swap(around[j], around[j - 1]);
        }
        // The median of an even count is the mean of its middle two.
        const float reference =
            m % 2 == 1 ? around[m / 2] : 0.5f * (around[m / 2 - 1] + around[m / 2]);
        if (!(reference > 0)) return false;
        const float ratio = widths[k] / reference;
        if (ratio > 1 + tolerance || ratio * (1 + tolerance) < 1) return false;
    }
    return true;
}

void StretchWidths(const ScanSignal& scan, int32_t first, int32_t barsPer, int32_t count,
                   std::span<float> widths) {
    for (int32_t k = 0; k < count; ++k) {
        const int32_t a = first + k * barsPer;
        widths[static_cast<size_t>(k)] =
            static_cast<float>(scan.barStarts[a + barsPer] - scan.barStarts[a]);
    }
}

bool EvenCharactersAndGaps(const ScanSignal& scan, int32_t barsPer, int32_t count) {
    if (count < 1 || static_cast<size_t>(count) > kMaxEvenWidths) return false;
    std::array<float, kMaxEvenWidths> widths{};
    for (int32_t k = 0; k < count; ++k) {
        const int32_t a = k * barsPer;
        widths[static_cast<size_t>(k)] =
            static_cast<float>(scan.barEnds[a + barsPer - 1] - scan.barStarts[a]);
    }
    for (int32_t k = 0; k + 1 < count; ++k) {
        const int32_t next = (k + 1) * barsPer;
        const auto gap = static_cast<float>(scan.barStarts[next] - scan.barEnds[next - 1]);
        const float beside =
            0.5f * (widths[static_cast<size_t>(k)] + widths[static_cast<size_t>(k) + 1]);
        if (gap > kMaxGapShare * beside) return false;
    }
    return EvenWidths(std::span<const float>(widths.data(), static_cast<size_t>(count)),
                      kWidthTolerance);
}

bool GuardsFit(std::span<const float> guards, std::span<const float> widths) {
    const size_t n = std::min(widths.size(), kMaxEvenWidths);
    if (n == 0) return true;
    std::array<float, kMaxEvenWidths> sorted{};
    std::copy_n(widths.begin(), n, sorted.begin());
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(sorted.begin(), middle, sorted.begin() + static_cast<std::ptrdiff_t>(n));
    const float median = *middle;
    return std::all_of(guards.begin(), guards.end(), [&](float g) {
        const float ratio = g / median;
        return ratio <= 1 + kGuardTolerance && ratio * (1 + kGuardTolerance) >= 1;
    });
}

bool FollowsWideNarrow(const ScanSignal& scan, int32_t first, std::string_view letters) {
    // Bars and spaces apart: ink spread widens one and narrows the other.
    std::array<float, 2> widestNarrow = {0, 0};
    std::array<float, 2> narrowestWide = {std::numeric_limits<float>::max(),
                                          std::numeric_limits<float>::max()};
    for (size_t e = 0; e < letters.size(); ++e) {
        const int32_t bar = first + static_cast<int32_t>(e / 2);
        const size_t kind = e % 2;  // 0 bar, 1 space
        const auto width =
            static_cast<float>(kind == 0 ? scan.barEnds[bar] - scan.barStarts[bar]
                                         : scan.barStarts[bar + 1] - scan.barEnds[bar]);
        if (letters[e] == 'W')
            narrowestWide[kind] = std::min(narrowestWide[kind], width);
        else
            widestNarrow[kind] = std::max(widestNarrow[kind], width);
    }
    return narrowestWide[0] >= kWideOverNarrow * widestNarrow[0] &&
           narrowestWide[1] >= kWideOverNarrow * widestNarrow[1];
}

bool LightBefore(const ScanSignal& scan, float narrow, float widths) {
    if (scan.barCount < 1) return false;
    int32_t j = scan.barStarts[0] - 1;
    while (j >= 0 && scan.samples[j] >= 0)
        --j;
    return j < 0 || static_cast<float>(scan.barStarts[0] - 1 - j) >= widths * narrow;
}

bool LightOrNoBarBefore(const ScanSignal& scan, float narrow, float wide, float widths) {
    if (LightBefore(scan, narrow, widths)) return true;
    // The light ends in a dark sample: measure the dark run it ends in. A run
    // reaching the signal's start is at least as wide as it shows.
    int32_t j = scan.barStarts[0] - 1;
    while (j >= 0 && scan.samples[j] >= 0)
        --j;
    const int32_t end = j + 1;
    while (j >= 0 && scan.samples[j] < 0)
        --j;
    const auto dark = static_cast<float>(end - 1 - j);
    return dark < 0.5f * narrow || dark > kWidestStray * wide;
}

}  // namespace zeph
