#include "engine/profile/edge_widths.h"

namespace zeph::profile {
namespace {

// Where the signal crosses zero between sample i - 1 and sample i.
double Crossing(const float* s, int32_t i) {
    const double a = s[i - 1];
    const double b = s[i];
    return a == b ? i : (i - 1) + a / (a - b);
}

}  // namespace

bool EdgeWidths(const ScanSignal& window, std::span<double> widths) {
    const int32_t bars = window.barCount;
    if (bars < 1 || widths.size() < static_cast<size_t>(2 * bars - 1)) return false;
    if (!XR_HasBarEnd(window, bars - 1)) return false;
    const float* s = window.samples.get();
    const int32_t n = window.sampleCount;
    double previousEnd = 0;
    for (int32_t k = 0; k < bars; ++k) {
        const int32_t start = window.barStarts[k];
        const int32_t end = window.barEnds[k];
        if (start < 1 || end <= start || end >= n) return false;
        const double from = Crossing(s, start);
        const double to = Crossing(s, end);
        if (!(to > from)) return false;
        if (k > 0) {
            const double space = from - previousEnd;
            if (!(space > 0)) return false;
            widths[static_cast<size_t>(2 * k - 1)] = space;
        }
        widths[static_cast<size_t>(2 * k)] = to - from;
        previousEnd = to;
    }
    return true;
}

}  // namespace zeph::profile
