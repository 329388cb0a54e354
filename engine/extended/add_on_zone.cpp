#include "engine/extended/add_on_zone.h"

#include <algorithm>
#include <cmath>

namespace zeph::extended {
namespace {

// Samples per module along the symbol and the stretches beside it.
constexpr double kSamplesPerModule = 2.0;
// Fewest samples inside the picture that measure a grey range.
constexpr size_t kFewestSamples = 8;

struct Range {
    float low = 0;
    float high = 0;
    size_t count = 0;
    void Add(float v) {
        low = count == 0 ? v : std::min(low, v);
        high = count == 0 ? v : std::max(high, v);
        ++count;
    }
    double Span() const { return count >= kFewestSamples ? double(high) - low : -1; }
};

}  // namespace

bool MayHoldAddOn(const Picture& picture, const MatchRecord& record, double modules,
                  double reportedMargins, double reach, std::span<const double> rows) {
    if (picture.width < 2 || picture.height < 2) return true;
    const double dx = double(record.stopX) - record.startX;
    const double dy = double(record.stopY) - record.startY;
    const double length = std::hypot(dx, dy);
    if (!(length > 0) || !(modules > 0)) return true;
    const double ux = dx / length, uy = dy / length;
    const double step = length / (modules + reportedMargins) / kSamplesPerModule;
    const auto steps = static_cast<int>(std::floor(length / step));
    const auto beside = static_cast<int>(std::ceil(reach * kSamplesPerModule));

    // The symbol's own range, along its read line.
    Range symbol;
    for (int i = 0; i <= steps; ++i) {
        const double x = record.startX + ux * step * i, y = record.startY + uy * step * i;
        if (Inside(picture, x, y)) symbol.Add(BilinearGrey(picture, x, y));
    }
    const double least = kLeastAddOnRangeShare * symbol.Span();
    if (!(least > 0)) return true;

    for (const double share : rows) {
        const double ox = -uy * share * length, oy = ux * share * length;
        // Past the stop, then before the start.
        for (const int side : {1, -1}) {
            const double bx = (side > 0 ? record.stopX : record.startX) + ox;
            const double by = (side > 0 ? record.stopY : record.startY) + oy;
            Range zone;
            for (int i = 0; i <= beside; ++i) {
                const double x = bx + side * ux * step * i, y = by + side * uy * step * i;
                if (Inside(picture, x, y)) zone.Add(BilinearGrey(picture, x, y));
            }
            if (zone.Span() >= least) return true;
        }
    }
    return false;
}

}  // namespace zeph::extended
