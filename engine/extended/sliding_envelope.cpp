#include "engine/extended/sliding_envelope.h"

#include <algorithm>

namespace zeph::extended {

void SlidingEnvelope(std::span<const float> v, int32_t reach, std::span<float> low,
                     std::span<float> high, std::span<float> lowAfter, std::span<float> highAfter) {
    const auto n = static_cast<int64_t>(v.size());
    if (n == 0) return;
    const int64_t r = std::max<int64_t>(0, reach);
    const int64_t block = 2 * r + 1;
    // low and high first hold the extremes from each block's start up to j,
    // lowAfter and highAfter those from j to its block's end.
    for (int64_t start = 0; start < n; start += block) {
        const int64_t end = std::min(n, start + block);
        low[start] = high[start] = v[start];
        for (int64_t j = start + 1; j < end; ++j) {
            low[j] = std::min(low[j - 1], v[j]);
            high[j] = std::max(high[j - 1], v[j]);
        }
        lowAfter[end - 1] = highAfter[end - 1] = v[end - 1];
        for (int64_t j = end - 2; j >= start; --j) {
            lowAfter[j] = std::min(lowAfter[j + 1], v[j]);
            highAfter[j] = std::max(highAfter[j + 1], v[j]);
        }
    }
    // In ascending j, low[j] and high[j] are overwritten only after the
    // windows that need their block-start values (those up to j + r) are done.
    const int64_t leftEnd = std::min(r, n);
    for (int64_t j = 0; j < leftEnd; ++j) {
        const int64_t b = std::min(n - 1, j + r);  // in the first block
        low[j] = low[b];
        high[j] = high[b];
    }
    const int64_t rightStart = std::max(r, n - r);
    for (int64_t j = r; j < rightStart; ++j) {
        low[j] = std::min(lowAfter[j - r], low[j + r]);
        high[j] = std::max(highAfter[j - r], high[j + r]);
    }
    for (int64_t j = rightStart; j < n; ++j) {
        const int64_t a = j - r;
        if (a / block == (n - 1) / block) {
            low[j] = lowAfter[a];
            high[j] = highAfter[a];
        } else {
            low[j] = std::min(lowAfter[a], low[n - 1]);
            high[j] = std::max(highAfter[a], high[n - 1]);
        }
    }
}

}  // namespace zeph::extended
