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

// Where the bit-reversed order puts value i of n (a power of two): at
// order[i]. The span stays valid until a plan of another size is built on this
// thread; empty when the plan cannot be built.
std::span<const int> BitReversedOrder(int n);

// Four transforms of n values side by side: value k of transform l is
// (re[4 k + l], im[4 k + l]), already in bit-reversed order. Every lane's
// result is TransformInPlace's to the bit, at a quarter of the loads and
// twiddle work. False when the plan cannot be built or the spans are short.
bool TransformFourReversed(std::span<double> re, std::span<double> im, int n);

}  // namespace zeph
