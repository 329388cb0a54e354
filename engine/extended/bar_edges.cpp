#include "engine/extended/bar_edges.h"

namespace zeph::extended {

bool BarEdges::Find(std::span<const float> samples) {
    const auto n = static_cast<int32_t>(samples.size());
    count_ = n;
    falls_.clear();
    rises_.clear();
    try {
        // Edges alternate, so neither kind is more than half the samples.
        falls_.reserve(samples.size() / 2 + 1);
        rises_.reserve(samples.size() / 2 + 1);
    } catch (...) {
        return false;
    }
    // Below zero, and not below zero, are tested apart as XR_FindBars does:
    // a sample that is not a number is neither.
    for (int32_t j = 1; j < n; ++j) {
        if (samples[j] < 0 && samples[j - 1] >= 0) {
            falls_.push_back(j);
        } else if (samples[j] >= 0 && samples[j - 1] < 0) {
            rises_.push_back(j);
        }
    }
    return true;
}

void BarEdges::Forward(ScanSignal& signal) const {
    // A bar begins at every fall and ends at every rise after the first fall.
    int32_t starts = 0;
    for (const int32_t f : falls_)
        signal.barStarts[starts++] = f;
    int32_t ends = 0;
    if (starts > 0) {
        for (const int32_t r : rises_) {
            if (r > falls_.front()) signal.barEnds[ends++] = r;
        }
    }
    if (ends < starts) signal.barEnds[ends] = count_;
    signal.barCount = starts;
}

void BarEdges::Reversed(ScanSignal& signal) const {
    // Read backwards, sample i is sample n-1-i: a rise at j is a fall at n-j,
    // and a fall at j a rise at n-j, kept after the first bar's start.
    const int32_t n = count_;
    int32_t starts = 0;
    for (auto r = rises_.rbegin(); r != rises_.rend(); ++r)
        signal.barStarts[starts++] = n - *r;
    int32_t ends = 0;
    if (starts > 0) {
        const int32_t lastRise = rises_.back();
        for (auto f = falls_.rbegin(); f != falls_.rend(); ++f) {
            if (*f < lastRise) signal.barEnds[ends++] = n - *f;
        }
    }
    if (ends < starts) signal.barEnds[ends] = n;
    signal.barCount = starts;
}

}  // namespace zeph::extended
