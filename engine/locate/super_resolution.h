// Super-resolution over storage the caller keeps. The engine's own routine
// keeps its buffers sized exactly to each signal; callers that sample lines of
// many lengths keep theirs at the largest size met, so nothing is reallocated
// per line.
#pragma once

#include <cstdint>
#include <span>

#include "engine/core/reusable_buffer.h"
#include "engine/reader.h"

namespace zeph {

struct SuperResolutionStore {
    ReusableBuffer<float> values;
    ReusableBuffer<float> weights;
    ReusableBuffer<int32_t> shifts;
    ReusableBuffer<float> sharpenCopy;
    // false: buffers match each size exactly; true: they only grow.
    bool growOnly = false;
    // true: sample weights from a rotation per sample instead of two cosines.
    bool walkWeights = false;
};

// The storage of a caller that samples many lines of many lengths.
inline SuperResolutionStore LineStore() {
    SuperResolutionStore store;
    store.growOnly = true;
    store.walkWeights = true;
    return store;
}

// XR_SuperResolve with the given storage.
int SuperResolveWith(std::span<const int32_t> raster, int32_t height, int32_t width,
                     ScanSignal& scan, SuperResolutionStore& store);

// XR_Sharpen with the given copy buffer.
int SharpenWith(std::span<float> samples, float factor, ReusableBuffer<float>& copyBuffer,
                bool growOnly);

}  // namespace zeph
