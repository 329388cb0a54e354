// The DataBar readers of one scan line. DataBar symbols need no quiet zone
// and their finders' wide elements look like one to the other readers, so
// they are read over the whole bar list of the line: finders found by their
// widths, characters measured edge to edge around them, in both
// directions. Whole symbols become reads; rows of stacked symbols become
// row pieces for the row collector.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/databar/edges.h"
#include "engine/databar/expanded_rows.h"
#include "engine/databar/geometry.h"
#include "engine/databar/limited.h"
#include "engine/databar/omni.h"
#include "engine/databar/row_piece.h"
#include "engine/extended/picture.h"

namespace zeph::extended {
struct LineRead;
}

namespace zeph::databar {

struct LineSignal {
    std::span<const float> samples;  // bars negative
    std::span<const int32_t> barStarts;
    std::span<const int32_t> barEnds;
};

struct ReadSettings {
    int32_t mask = 0;  // the reader's symbology mask
    float minConfidence = 0;
    int32_t paths = 1;    // parallel paths the line was sampled with
    int32_t variant = 1;  // the line reader's signal variant
    float redundancy = 0;
};

class LineDecoder {
  public:
    // Appends the reads of the line: the symbols of the variants the mask
    // enables that are more confident than the minimum, and the rows of
    // stacked ones. False when memory runs out.
    bool Read(const extended::Picture& picture, const LineGeometry& geometry,
              const LineSignal& signal, const ReadSettings& settings,
              std::vector<extended::LineRead>& reads);

  private:
    // Places whose finders (for Limited, guards and spans) make a symbol's,
    // read or not, and their module in samples.
    struct Sighting {
        int count = 0;
        double module = 0;
        // The stretch of the signal a symbol there may cover (samples).
        double from = 0;
        double to = 0;
        // Takes a place at signal position `at`, of `module`, whose symbol
        // may reach `reach` modules either way.
        void Add(double at, double module, double reach);
    };
    bool ReadView(const EdgeList& view, std::vector<extended::LineRead>& reads, Sighting& sighting);
    void ReadOmni(const EdgeList& view, std::vector<extended::LineRead>& reads);
    void ReadLimited(const EdgeList& view, std::vector<extended::LineRead>& reads);
    bool ReadExpanded(const EdgeList& view, std::vector<extended::LineRead>& reads);

    // A read of the elements first to last of the view, the record's line
    // from the first's leading edge to the last's trailing one.
    extended::LineRead ReadOf(const EdgeList& view, int32_t first, int32_t last) const;
    // The view's sample position s on the line's signal.
    double OnSignal(const EdgeList& view, double s) const;
    // A row piece of the elements first to last, its module (in samples) and
    // residual given; its kind and content left to the caller.
    RowPiece PieceOf(const EdgeList& view, int32_t first, int32_t last, double module,
                     double residual) const;
    // The height of the symbol's bars among the elements, in modules.
    double HeightOf(const EdgeList& view, int32_t first, int32_t last, double module) const;

    const extended::Picture* picture_ = nullptr;
    LineGeometry geometry_;
    ReadSettings settings_;
    EdgeList forward_;
    EdgeList reversed_;
    std::vector<int32_t> candidates_;  // where finders may lie on the view
    std::vector<OmniHalf> halves_;
    std::vector<FinderSeen> omniSeen_;
    std::vector<FinderSeen> expandedSeen_;
    std::vector<LimitedSymbol> limitedSeen_;
    std::vector<LimitedSymbol> limited_;
    std::vector<ExpandedRow> rows_;
    ExpandedRowFinder rowFinder_;
};

}  // namespace zeph::databar
