// The power spectrum of a real square window, the costly part of measuring a
// tile's orientation.
#pragma once

#include <span>

namespace zeph {

// Rows 0..n/2 of the n x n window become the powers of its 2-D transform,
// row u holding frequency u across the window's columns and the frequencies
// down its rows in order (real input mirrors the rows past n/2, which keep
// the window). Every power is the one transforming the rows and then the
// columns one at a time gives, to the bit. False when n is not a power of
// two or memory runs out.
bool PowerSpectrum(std::span<double> window, int n);

}  // namespace zeph
