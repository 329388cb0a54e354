// Radix-2 decimation-in-time FFT of power-of-two sizes, with the plan of one
// size cached per thread.
#pragma once

#include <complex>
#include <span>

namespace zeph {

// Transforms `data` (n = data.size() values, a power of two) in place. Returns
// false when the plan for this size cannot be built.
bool TransformInPlace(std::span<std::complex<double>> data);

// Copies `in` into `out` in bit-reversed order, then transforms it.
bool TransformReal(std::span<const double> in, std::span<std::complex<double>> out);

}  // namespace zeph
