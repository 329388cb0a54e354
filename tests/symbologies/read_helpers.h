// Reading rendered symbols the way a search does: through the decode attempts,
// forward and reversed, with a chosen symbology mask.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/reader.h"
#include "tests/support/signal_renderer.h"

namespace zeph::test {

struct Read {
    int result = 0;
    MatchRecord record;
};

// A clean rendering at three samples per module.
inline RenderOptions Clean() {
    RenderOptions o;
    o.samplesPerModule = 3;
    return o;
}

// One sample per module, so element widths are sample counts.
inline ScanSignalPtr Exact(const std::string& modules) {
    RenderOptions o;
    o.samplesPerModule = 1;
    return RenderModules(modules, o);
}

// A record as the search hands it to the decoders.
inline MatchRecord Fresh(float confidence = 0.81f) {
    MatchRecord r;
    r.confidence = confidence;
    return r;
}

// A clean rendering that stops inside the symbol's last bar, so that bar has
// no recorded end.
inline ScanSignalPtr CutInsideLastBar(const std::string& modules) {
    RenderOptions o = Clean();
    const int quietSamples = 3 * o.quietModules;
    o.sampleCount = static_cast<int32_t>(quietSamples + 3 * (modules.size() - 1) + 1);
    return RenderModules(modules, o);
}

inline Read ReadModules(const std::string& modules, const RenderOptions& options, int32_t mask) {
    ReaderConfigPtr config = XR_ParseConfig("-bctypes " + std::to_string(mask));
    ScanSignalPtr scan = RenderModules(modules, options);
    Read read;
    read.record.confidence = config->minConfidence;
    read.result = XR_DecodeAttempts(*scan, *config, read.record);
    return read;
}

inline std::string Reversed(std::string modules) {
    return {modules.rbegin(), modules.rend()};
}

// A rendering of a symbol as a scan line might see it.
struct Condition {
    double samplesPerModule;
    double phase;      // where the first module edge falls within a sample
    double blurSigma;  // in modules
    double jitter;     // largest edge shift, in modules
    uint32_t seed;
    bool reversed;
};

// Sharp renderings at whole samples per module: module edges near sample
// boundaries, so every sample is clearly bar or space.
inline std::vector<Condition> SharpConditions() {
    std::vector<Condition> conditions;
    for (double k : {2.0, 3.0, 4.0}) {
        for (double phase : {0.0, 0.2, 0.8}) {
            for (bool reversed : {false, true})
                conditions.push_back({k, phase, 0, 0, 1, reversed});
        }
    }
    return conditions;
}

// Blurred renderings with jittered edges at 2 to 4 samples per module, whole
// and fractional, in both directions.
inline std::vector<Condition> ScannerConditions() {
    std::vector<Condition> conditions;
    for (double k : {2.0, 2.5, 3.0, 3.5, 4.0}) {
        for (double phase : {0.0, 0.2, 0.8}) {
            for (bool reversed : {false, true}) {
                for (uint32_t seed = 1; seed <= 2; ++seed) {
                    conditions.push_back({k, phase, 0.2, 0.04, seed, reversed});
                }
            }
        }
    }
    return conditions;
}

inline Read ReadUnder(const std::string& modules, const Condition& c, int32_t mask) {
    RenderOptions o;
    o.samplesPerModule = c.samplesPerModule;
    o.offset = c.phase;
    o.blurSigma = c.blurSigma * c.samplesPerModule;
    o.edgeJitter = c.jitter;
    o.seed = c.seed;
    return ReadModules(c.reversed ? Reversed(modules) : modules, o, mask);
}

inline std::string Describe(const Condition& c) {
    return "k=" + std::to_string(c.samplesPerModule) + " phase=" + std::to_string(c.phase) +
           " seed=" + std::to_string(c.seed) + (c.reversed ? " reversed" : " forward");
}

// Reads the symbol under every sharp condition, expecting `raw` with a
// confidence above 0.9 each time.
inline void ExpectSharpReads(const std::string& modules, int32_t mask, std::string_view raw) {
    for (const Condition& c : SharpConditions()) {
        const Read read = ReadUnder(modules, c, mask);
        EXPECT_EQ(read.result, 1) << Describe(c);
        EXPECT_EQ(XR_TextOf(read.record.rawData), raw) << Describe(c);
        EXPECT_GT(read.record.confidence, 0.9f) << Describe(c);
    }
}

// Reads the symbol under every scanner condition: a read, when there is one,
// is always the right one, and at least `minShare` of the conditions read.
inline void ExpectScannerReads(const std::string& modules, int32_t mask, std::string_view raw,
                               double minShare) {
    const std::vector<Condition> conditions = ScannerConditions();
    int reads = 0;
    for (const Condition& c : conditions) {
        const Read read = ReadUnder(modules, c, mask);
        if (read.result != 1) continue;
        ++reads;
        EXPECT_EQ(XR_TextOf(read.record.rawData), raw) << Describe(c);
        EXPECT_GT(read.record.confidence, 0.81f) << Describe(c);
    }
    EXPECT_GE(reads, minShare * static_cast<double>(conditions.size()));
}

}  // namespace zeph::test
