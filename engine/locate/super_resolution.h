// Super-resolution over storage the caller keeps. The engine's own routine
// keeps its buffers sized exactly to each signal; callers that sample lines of
// many lengths keep theirs at the largest size met, so nothing is reallocated
// per line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/core/reusable_buffer.h"
#include "engine/reader.h"

namespace zeph {

struct SuperResolutionStore {
    ReusableBuffer<float> values;
    ReusableBuffer<float> weights;
    ReusableBuffer<int32_t> shifts;
    ReusableBuffer<double> costs;  // alignment costs of one path's shifts
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

// costs[i], for i < count: the mean absolute difference between `reference`
// and `path` (n samples each) moved by s0 + i, over the samples both have; 0
// where they have none.
void AlignmentCosts(const float* reference, const float* path, int n, int s0, int count,
                    double* costs);

// out[j], for j < n: over the paths k in order, the samples
// values[k][j + shifts[k]] that exist, averaged with their weights (their
// weighted sum where the weights sum to 0). values and weights hold `paths`
// rows of n samples.
void FuseAligned(const float* values, const float* weights, const int32_t* shifts, int paths, int n,
                 float* out);

// Four paths side by side, lane l starting at (px0[l], py0[l]) and writing
// rows l of values and weights, `stride` floats apart, each row less its
// mean; positions within 1e9 of the origin and rasters whose cells an int32_t
// indexes. Portable; SampleFourPathsAvx2 gives the same to the bit.
void SampleFourPaths(const int32_t* g, int32_t height, int32_t width, const double* px0,
                     const double* py0, float sx, float sy, int n, float* values, float* weights,
                     size_t stride);

// XR_Sharpen with the given copy buffer.
int SharpenWith(std::span<float> samples, float factor, ReusableBuffer<float>& copyBuffer,
                bool growOnly);

}  // namespace zeph
