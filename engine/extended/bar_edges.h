// The bars of a signal in both reading directions from one pass over it. A
// line is read forwards and then backwards; the bars of the reversed signal
// follow from the edges of the forward one, so the second search of every
// sample is left out.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/reader.h"

namespace zeph::extended {

class BarEdges {
  public:
    // Finds the edges of the samples; false when memory runs out.
    bool Find(std::span<const float> samples);
    // Writes the bars that XR_FindBars finds in the samples last given, or in
    // the same samples reversed, into the signal (whose sample count must be
    // theirs).
    void Forward(ScanSignal& signal) const;
    void Reversed(ScanSignal& signal) const;

  private:
    int32_t count_ = 0;
    std::vector<int32_t> falls_;  // i: sample i-1 is not below zero and sample i is
    std::vector<int32_t> rises_;  // i: sample i-1 is below zero and sample i is not
};

}  // namespace zeph::extended
