// Orientations measured at points of one raster, kept for a later pass over the
// same raster to look up rather than measure again (a two-dimensional FFT
// each). Only a measurement's own result is kept, so a look-up gives exactly
// what measuring would.
#pragma once

#include <cstdint>
#include <vector>

namespace zeph::locate {

class OrientationMemo {
  public:
    void Clear() {
        entries_.clear();
        sorted_ = true;
    }
    // Keeps the measurement; when memory runs out it is simply not kept.
    void Add(int32_t x, int32_t y, double coherence, double theta) noexcept;
    // The measurement at (x, y) with the memo's window, if one was kept.
    bool Find(int32_t x, int32_t y, double& coherence, double& theta);

  private:
    struct Entry {
        int32_t y;
        int32_t x;
        double coherence;
        double theta;
    };
    std::vector<Entry> entries_;
    bool sorted_ = true;
};

}  // namespace zeph::locate
