// Signals drawn from element widths for the DataBar readers' tests: crisp
// bars and spaces, each sample shaded by how much of it a bar covers, with
// ink spread, a module that grows along the line (perspective) and blur.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/databar/edges.h"
#include "engine/reader.h"

namespace zeph::test {

struct ElementDrawing {
    double samplesPerModule = 4;
    double inkSpread = 0;  // modules each bar is wider (spaces narrower)
    double growth = 0;     // the module grows by this share from the first sample to the last
    double blurSigma = 0;  // in samples
    int quietModules = 12;
};

// The signal of the elements (module widths, the first a bar), with paper
// around them; bars negative. Its bars are found.
ScanSignalPtr DrawElements(const std::vector<int32_t>& widths, const ElementDrawing& drawing = {});

// Element widths of a module string ("1" bar, "0" space), from its first bar
// to its last.
std::vector<int32_t> ElementWidths(const std::string& modules);
// The module string of element widths, the first a bar.
std::string ModulesOfWidths(const std::vector<int32_t>& widths);

// The edge list of a drawn signal.
zeph::databar::EdgeList EdgesOf(const ScanSignal& signal);

}  // namespace zeph::test
