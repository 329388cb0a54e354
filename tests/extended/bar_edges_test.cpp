#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <random>
#include <vector>

#include "engine/extended/bar_edges.h"
#include "engine/reader.h"

namespace {

using zeph::extended::BarEdges;

// The bars as the signal holds them: every start, and the ends up to the
// one after the last bar, where an open last bar is marked. Slots the search
// does not write keep what was there, so both signals start out the same.
struct Bars {
    std::vector<int32_t> starts;
    std::vector<int32_t> ends;
    bool operator==(const Bars&) const = default;
};

void PrintTo(const Bars& b, std::ostream* out) {
    *out << "starts";
    for (const int32_t v : b.starts)
        *out << ' ' << v;
    *out << ", ends";
    for (const int32_t v : b.ends)
        *out << ' ' << v;
}

constexpr int32_t kStale = 12345;

ScanSignalPtr SignalOf(const std::vector<float>& samples) {
    ScanSignalPtr s = XR_NewScanSignal(static_cast<int32_t>(samples.size()), 1, 1, 0.5f, 1);
    std::copy(samples.begin(), samples.end(), s->samples.get());
    std::fill_n(s->barStarts.get(), samples.size(), kStale);
    std::fill_n(s->barEnds.get(), samples.size(), kStale);
    return s;
}

Bars BarsOf(const ScanSignal& s) {
    const int32_t ends = std::min(s.barCount + 1, s.sampleCount);
    return {{s.barStarts.get(), s.barStarts.get() + s.barCount},
            {s.barEnds.get(), s.barEnds.get() + ends}};
}

// The bars XR_FindBars finds in the samples, and those BarEdges gives.
Bars Searched(const std::vector<float>& samples) {
    ScanSignalPtr s = SignalOf(samples);
    XR_FindBars(*s);
    return BarsOf(*s);
}

Bars FromEdges(const std::vector<float>& samples, bool reversed) {
    BarEdges edges;
    EXPECT_TRUE(edges.Find(samples));
    ScanSignalPtr s = SignalOf(samples);
    if (reversed)
        edges.Reversed(*s);
    else
        edges.Forward(*s);
    return BarsOf(*s);
}

TEST(BarEdges, BothDirectionsFindTheBarsOfTheSearch) {
    std::mt19937 random(3);
    // Dark, light, zero of both signs and values that are not numbers, in
    // runs, so that signals start and end dark and light.
    const float values[] = {-1.0f, 1.0f, 0.0f, -0.0f, NAN, -INFINITY, 0.5f, -0.25f};
    int withBars = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        std::vector<float> samples;
        const int runs = std::uniform_int_distribution<int>(0, 30)(random);
        const int kinds = trial % 4 == 0 ? 8 : 2;  // most signals only dark and light
        for (int r = 0; r < runs; ++r) {
            const float v = values[std::uniform_int_distribution<int>(0, kinds - 1)(random)];
            samples.insert(samples.end(), std::uniform_int_distribution<size_t>(1, 6)(random), v);
        }
        std::vector<float> back(samples.rbegin(), samples.rend());
        const Bars forward = Searched(samples);
        withBars += !forward.starts.empty();
        EXPECT_EQ(FromEdges(samples, false), forward) << trial;
        EXPECT_EQ(FromEdges(samples, true), Searched(back)) << trial;
    }
    EXPECT_GT(withBars, 1000);
}

TEST(BarEdges, OneFindServesBothDirections) {
    // Dark at both ends: the first dark run is no bar forwards, the last none backwards.
    const std::vector<float> samples = {-1, -1, 1, -1, -1, 1, 1, -1, 1, -1};
    BarEdges edges;
    ASSERT_TRUE(edges.Find(samples));
    ScanSignalPtr s = SignalOf(samples);
    edges.Forward(*s);
    EXPECT_EQ(BarsOf(*s), (Bars{{3, 7, 9}, {5, 8, 10, kStale}}));
    edges.Reversed(*s);
    EXPECT_EQ(BarsOf(*s), (Bars{{2, 5, 8}, {3, 7, 10, kStale}}));
}

}  // namespace
