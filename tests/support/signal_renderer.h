// Renders module strings ("1" bar, "0" space) into scan signals, the way a scan
// line across a printed symbol would see them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/reader.h"

namespace zeph::test {

struct RenderOptions {
    double samplesPerModule = 3.0;  // need not be whole
    int quietModules = 10;          // light modules added on each side
    double offset = 0.0;            // samples of extra light before the first quiet module
    double blurSigma = 0.0;         // Gaussian blur, in samples
    double edgeJitter = 0.0;        // largest random shift of each inner edge, in modules
    double noise = 0.0;             // largest uniform noise added to a sample (signal spans 0..1)
    uint32_t seed = 1;
    int32_t sampleCount = 0;  // 0: just long enough; else padded with light or cut
    int32_t shiftRange = 1;
};

// A signal with bars negative and its bars found.
ScanSignalPtr RenderModules(std::string_view modules, const RenderOptions& options = {});

// Expands element widths ("3211": bar 3, space 2, bar 1, space 1 modules) into
// a module string, starting with a bar.
std::string WidthsToModules(std::string_view widths);

}  // namespace zeph::test
