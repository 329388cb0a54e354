// Lines for the DataBar readers' tests: zint's rows of modules drawn into
// signals and read by the line decoder, lying across the picture where the
// test puts them.
#pragma once

#include <string>
#include <vector>

#include "engine/databar/line_decoder.h"
#include "engine/extended/line_reader.h"
#include "tests/databar/element_signals.h"

namespace zeph::test {

struct LineAt {
    double y = 0;  // the line runs along x at this height, from x = shift on
    double shift = 0;
    bool reversed = false;  // read from right to left
};

// The reads of the modules drawn at `drawing.samplesPerModule` samples a
// module (one sample a pixel), on a line placed as `at` says.
std::vector<zeph::extended::LineRead> ReadLine(const std::string& modules,
                                               const ElementDrawing& drawing = {},
                                               const LineAt& at = {});

// The records and the row pieces among reads.
std::vector<std::string> RawTexts(const std::vector<zeph::extended::LineRead>& reads);
std::vector<zeph::databar::RowPiece> Pieces(const std::vector<zeph::extended::LineRead>& reads);

// The modules with elements `a` and `b` (counted from the first bar) swapped.
std::string SwapElements(const std::string& modules, size_t a, size_t b);

}  // namespace zeph::test
