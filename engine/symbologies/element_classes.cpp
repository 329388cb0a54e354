#include "engine/symbologies/element_classes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/symbologies/width_checks.h"

namespace zeph {

namespace {

struct Split {
    float narrow = 0;
    float wide = 0;
};

// The means below and above the largest step of the sorted widths; zeros when
// that step is no clear gap.
Split SplitAtLargestStep(std::span<float> widths) {
    if (widths.size() < 2) return {};
    std::sort(widths.begin(), widths.end());
    if (!(widths[0] > 0)) return {};
    size_t cut = 0;
    float step = 0;
    for (size_t i = 0; i + 1 < widths.size(); ++i) {
        const float s = widths[i + 1] / widths[i];
        if (s > step) {
            step = s;
            cut = i + 1;
        }
    }
    if (step < kWideOverNarrow) return {};
    float low = 0;
    float high = 0;
    for (size_t i = 0; i < widths.size(); ++i)
        (i < cut ? low : high) += widths[i];
    return {low / static_cast<float>(cut), high / static_cast<float>(widths.size() - cut)};
}

}  // namespace

ElementClasses ClassifyElements(std::span<float> bars, std::span<float> spaces) {
    const Split b = SplitAtLargestStep(bars);
    const Split s = SplitAtLargestStep(spaces);
    if (!(b.narrow > 0) || !(s.narrow > 0)) return {};
    const float narrow = 0.5f * (b.narrow + s.narrow);
    const float wide = 0.5f * (b.wide + s.wide);
    return {narrow, wide, wide / narrow};
}

bool IsCoarse(const ScanSignal& scan, float narrow) {
    if (scan.sampleCount < 1 || !(narrow > 0)) return false;
    const double length =
        std::hypot(double(scan.stopX) - scan.startX, double(scan.stopY) - scan.startY);
    return length > 0 && narrow * length / scan.sampleCount <= kCoarseNarrowPixels;
}

}  // namespace zeph
