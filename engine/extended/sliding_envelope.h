// The darkest and lightest samples around every sample of a signal.
#pragma once

#include <cstdint>
#include <span>

namespace zeph::extended {

// low[j] and high[j]: the least and the greatest of v over [j - reach,
// j + reach], cut to the signal. lowAfter and highAfter are scratch of
// v.size() samples each. Three comparisons per sample and extreme whatever
// the reach (blocks of 2 reach + 1 samples: a window is the end of one block
// and the start of the next).
void SlidingEnvelope(std::span<const float> v, int32_t reach, std::span<float> low,
                     std::span<float> high, std::span<float> lowAfter, std::span<float> highAfter);

}  // namespace zeph::extended
