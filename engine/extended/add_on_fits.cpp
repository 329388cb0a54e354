#include "engine/extended/add_on_fits.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/descriptors/supplement_descriptor.h"
#include "engine/symbologies/ean_upc_common.h"

namespace zeph::extended {
namespace {

// Modules a record's line covers beyond its bars on either side, as the
// searches report it.
constexpr double kReportedMargin = 5.0;
// How far the bars' ends may lie from where the record's line puts them, in
// modules.
constexpr double kEndSlack = 2.0;
// Least ratio of the guard's second bar to its first, as the template
// decoder asks.
constexpr double kGuardBarGrowth = 1.4;

bool Falls(std::span<const float> s, size_t i) {
    return s[i - 1] >= 0 && s[i] < 0;
}
bool Rises(std::span<const float> s, size_t i) {
    return s[i - 1] < 0 && s[i] >= 0;
}

// Where the signal crosses zero between sample i - 1 and sample i.
double Crossing(std::span<const float> s, size_t i) {
    const double a = s[i - 1];
    const double b = s[i];
    return a == b ? double(i) : double(i - 1) + a / (a - b);
}

// Sample index range [first, last) covering positions [from, to), within the signal.
size_t FirstAfter(double from) {
    return static_cast<size_t>(std::max(1.0, std::ceil(from)));
}
size_t EndBefore(double to, size_t n) {
    return static_cast<size_t>(std::clamp(std::ceil(to), 1.0, double(n)));
}

// The first sample at or after `from` where the signal falls or rises; n when none.
size_t NextEdge(std::span<const float> s, size_t from, bool falling) {
    for (size_t i = std::max<size_t>(from, 1); i < s.size(); ++i) {
        if (falling ? Falls(s, i) : Rises(s, i)) return i;
    }
    return s.size();
}

}  // namespace

void AddOnFits::Start(const MatchRecord& main, double modules) {
    main_ = &main;
    modules_ = modules;
    twoCount_ = 0;
    twosDisagree_ = false;
}

size_t AddOnFits::EndsOf(std::span<const float> s, double from, double module, int digits,
                         std::array<double, kMostEnds>& ends) const {
    const double span = 9.0 * digits + 2;
    const double quietModules = digits == 5 ? kLeastQuietAfter : kQuietZone;
    const size_t n = s.size();
    const size_t last = EndBefore(from + ean::kMostModuleRatio * span * module + 1, n);
    size_t count = 0;
    for (size_t i = FirstAfter(from + ean::kLeastModuleRatio * span * module); i < last; ++i) {
        if (!Rises(s, i)) continue;
        const double end = Crossing(s, i);
        const double quiet = quietModules * (end - from) / span;
        const size_t next = NextEdge(s, i, true);
        const double free = next < n ? Crossing(s, next) - end : double(n) - end;
        if (free < quiet) continue;
        // The ends nearest the main symbol's module width first.
        const auto offness = [&](double e) { return std::fabs((e - from) / span - module); };
        size_t at = std::min(count, kMostEnds - 1);
        if (count == kMostEnds && offness(end) >= offness(ends[at])) continue;
        while (at > 0 && offness(ends[at - 1]) > offness(end)) {
            ends[at] = ends[at - 1];
            --at;
        }
        ends[at] = end;
        count = std::min(count + 1, kMostEnds);
    }
    return count;
}

void AddOnFits::Complete(const profile::AddOnGridFit::Reading& reading, double stopX, double stopY,
                         double modulePixels, MatchRecord& whole) const {
    MatchRecord addOn;
    XR_DescribeSupplement(
        std::span<const BestMatch>(reading.values.data(), static_cast<size_t>(reading.digits + 1)),
        reading.digits + 1, addOn);
    whole = *main_;
    ean::AppendSupplementTexts(addOn, whole);
    const double dx = double(main_->stopX) - main_->startX;
    const double dy = double(main_->stopY) - main_->startY;
    const double length = std::hypot(dx, dy);
    const double ux = dx / length;
    const double uy = dy / length;
    const double along = (stopX - main_->startX) * ux + (stopY - main_->startY) * uy +
                         kReportedMargin * modulePixels;
    const double x = main_->startX + along * ux;
    const double y = main_->startY + along * uy;
    whole.stopX = NearestPixel(x);
    whole.stopY = NearestPixel(y);
    whole.centreX = NearestPixel(0.5 * (main_->startX + x));
    whole.centreY = NearestPixel(0.5 * (main_->startY + y));
}

bool AddOnFits::Read(std::span<const float> s, const Line& line, int32_t paths,
                     const MatchRecord* onLine, MatchRecord& whole) {
    const size_t n = s.size();
    const double dx = double(line.x1) - line.x0;
    const double dy = double(line.y1) - line.y0;
    const double length2 = dx * dx + dy * dy;
    if (!main_ || n < 2 || !(length2 > 0)) return false;
    // Positions on the line in samples: sample i lies at i / n of its length.
    const auto sampleAt = [&](double x, double y) {
        return ((x - line.x0) * dx + (y - line.y0) * dy) / length2 * double(n);
    };
    const MatchRecord& anchor = onLine ? *onLine : *main_;
    const double start = sampleAt(anchor.startX, anchor.startY);
    const double stop = sampleAt(anchor.stopX, anchor.stopY);
    double module = (stop - start) / (modules_ + 2 * kReportedMargin);
    if (!(module >= 1.0)) return false;

    // The main symbol's outer edges near where its line puts them; its
    // module width from them where they agree with the line's.
    double end = stop - kReportedMargin * module;
    double begin = start + kReportedMargin * module;
    const size_t endLast = EndBefore(end + kEndSlack * module, n);
    bool endFound = false;
    for (size_t i = FirstAfter(end - kEndSlack * module); i < endLast; ++i) {
        if (Rises(s, i)) {
            end = Crossing(s, i);
            endFound = true;
        }
    }
    if (!endFound) return false;
    // Blur widens the margins a read reports: bars closer than any gap
    // before an add-on still belong to the symbol.
    const double furthest = end + kEndSlack * module;
    for (size_t next = NextEdge(s, FirstAfter(end), true);
         next < n && Crossing(s, next) < std::min(furthest, end + kLeastGap * module);
         next = NextEdge(s, FirstAfter(end), true)) {
        const size_t rise = NextEdge(s, next, false);
        if (rise >= n) return false;
        end = Crossing(s, rise);
    }
    const size_t beginEdge = NextEdge(s, FirstAfter(begin - kEndSlack * module), true);
    if (beginEdge < n && Crossing(s, beginEdge) < begin + kEndSlack * module) {
        const double measured = (end - Crossing(s, beginEdge)) / modules_;
        if (measured >= 0.9 * module && measured <= 1.1 * module) module = measured;
    }

    // The add-on's first bar: the first after the main symbol's end.
    const size_t first = NextEdge(s, FirstAfter(end), true);
    if (first >= n) return false;
    const double from = Crossing(s, first);
    if (from < end + kLeastGap * module || from > end + kMostGap * module) return false;

    // Where the guard's first two bars stand apart, the second is the wider.
    const size_t firstEnd = NextEdge(s, first, false);
    const size_t second = NextEdge(s, firstEnd, true);
    if (second < n && Crossing(s, firstEnd) < from + 1.5 * module &&
        Crossing(s, second) < from + 3.0 * module) {
        const size_t secondEnd = NextEdge(s, second, false);
        if (secondEnd >= n) return false;
        const double one = Crossing(s, firstEnd) - from;
        const double two = Crossing(s, secondEnd) - Crossing(s, second);
        if (two < kGuardBarGrowth * one) return false;
    }

    std::array<double, kMostEnds> ends{};
    for (const int digits : {5, 2}) {
        for (size_t e = 0, count = EndsOf(s, from, module, digits, ends); e < count; ++e) {
            const double to = ends[e];
            profile::AddOnGridFit::Reading reading;
            if (!fit_.Read(s, from, to, digits, reading)) continue;

            const double f = to / double(n);
            const double modulePixels = module * std::sqrt(length2) / double(n);
            if (digits == 5) {
                Complete(reading, line.x0 + f * dx, line.y0 + f * dy, modulePixels, whole);
                return true;
            }
            // The line's distance from the main's, across it.
            const double mx = double(main_->stopX) - main_->startX;
            const double my = double(main_->stopY) - main_->startY;
            const double across =
                ((line.x0 - main_->startX) * my - (line.y0 - main_->startY) * mx) /
                std::hypot(mx, my);
            const std::array<int, 2> read = {reading.values[0].index, reading.values[1].index};
            bool paired = false;
            for (size_t k = 0; k < twoCount_; ++k) {
                if (twos_[k].digits != read) twosDisagree_ = true;
                if (std::fabs(twos_[k].across - across) >= std::max(2, paths)) paired = true;
            }
            if (twoCount_ < kRowsKept) twos_[twoCount_++] = {read, across};
            if (paired && !twosDisagree_) {
                Complete(reading, line.x0 + f * dx, line.y0 + f * dy, modulePixels, whole);
                return true;
            }
            return false;
        }
    }
    return false;
}

}  // namespace zeph::extended
