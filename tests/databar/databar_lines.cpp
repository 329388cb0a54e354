#include "tests/databar/databar_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "engine/reader.h"

namespace zeph::test {

std::vector<zeph::extended::LineRead> ReadLine(const std::string& modules,
                                               const ElementDrawing& drawing, const LineAt& at) {
    std::string drawn = modules;
    if (at.reversed) std::reverse(drawn.begin(), drawn.end());
    const ScanSignalPtr signal = DrawElements(ElementWidths(drawn), drawing);
    const double n = signal->sampleCount;
    // One sample a pixel: the line from (shift, y) to (shift + n, y), or back.
    const double x0 = at.reversed ? at.shift + n : at.shift;
    const double x1 = at.reversed ? at.shift : at.shift + n;
    const zeph::databar::LineGeometry geometry{x0, at.y, x1, at.y, 0, n};
    const auto bars = static_cast<size_t>(signal->barCount);
    const zeph::databar::LineSignal line{
        signal->Samples(), {signal->barStarts.get(), bars}, {signal->barEnds.get(), bars}};
    const zeph::databar::ReadSettings settings{kExtendedDefaultMask, 0.81f, 1,
                                               zeph::extended::LineOptions::kPlain, 0};
    zeph::databar::LineDecoder decoder;
    std::vector<zeph::extended::LineRead> reads;
    const zeph::extended::Picture none;
    EXPECT_TRUE(decoder.Read(none, geometry, line, settings, reads));
    return reads;
}

std::vector<std::string> RawTexts(const std::vector<zeph::extended::LineRead>& reads) {
    std::vector<std::string> texts;
    for (const auto& r : reads) {
        if (!r.databarRow) texts.emplace_back(XR_TextOf(r.record.rawData));
    }
    return texts;
}

std::vector<zeph::databar::RowPiece> Pieces(const std::vector<zeph::extended::LineRead>& reads) {
    std::vector<zeph::databar::RowPiece> pieces;
    for (const auto& r : reads) {
        if (r.databarRow && r.databarRow->kind != zeph::databar::RowPiece::Kind::kHint) {
            pieces.push_back(*r.databarRow);
        }
    }
    return pieces;
}

std::string SwapElements(const std::string& modules, size_t a, size_t b) {
    const size_t first = modules.find('1');
    std::vector<int32_t> widths = ElementWidths(modules);
    std::swap(widths[a], widths[b]);
    return modules.substr(0, first) + ModulesOfWidths(widths) +
           modules.substr(modules.rfind('1') + 1);
}

}  // namespace zeph::test
