// A cheap stand-in for the spectral orientation estimate of a window: the
// coherence of the gradient structure tensor of the same mean-free, tapered
// window, seen as periodic as the transform sees it. By Parseval the spectral
// second moments are the gradient energies of that window with the
// derivative taken spectrally; finite differences weigh fine detail less, so
// the two agree closely on stripes and drift apart on grain. The candidate
// finder uses it only to skip the spectral estimate where a window is
// clearly not striped.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/extended/picture.h"

namespace zeph::extended {

class GradientCoherence {
  public:
    // 1 - lambdaMin / lambdaMax of the structure tensor of the n x n window
    // placed around (x, y) as the spectral estimate places it (n a multiple
    // of 8); 0 for a flat window, -1 when the picture is smaller than the
    // window or memory runs out.
    double Measure(const Picture& picture, int32_t x, int32_t y, int n);

  private:
    std::vector<float> taper_;   // the window's separable taper, n values
    std::vector<float> window_;  // the tapered window, n rows of n + 1 (the first again)
    int tapered_ = 0;            // the size taper_ holds
};

}  // namespace zeph::extended
