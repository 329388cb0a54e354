// The four-path sampling of the super-resolution written for AVX2 by hand:
// GCC 12 widens integer and float vectors half by half and runs short of
// registers in the portable version. Same arithmetic in the same order, so
// every value, weight and mean equals the portable one's to the bit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zeph {

// Whether this processor runs SampleFourPathsAvx2.
bool RunsAvx2();

// Four paths side by side, lane l starting at (px0[l], py0[l]) and writing
// rows l of values and weights, `stride` floats apart; positions within 1e9
// of the origin and rasters whose cells an int32_t indexes.
void SampleFourPathsAvx2(const int32_t* g, int32_t height, int32_t width, const double* px0,
                         const double* py0, float sx, float sy, int n, float* values,
                         float* weights, size_t stride);

}  // namespace zeph
