// The rows of stacked DataBar symbols read so far in one search, and the
// symbols they make. Rows join only where they belong together: the same
// way up, one below the other across the bars, level along them, of one
// module size; and only into a whole symbol whose checksum holds (and for
// Expanded Stacked, whose finders run in the sequence its length fixes).
// A row missing or cut short makes no symbol at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/databar/row_piece.h"

namespace zeph::extended {
struct LineRead;
}

namespace zeph::databar {

class RowCollector {
  public:
    // Rows kept at most in one search; later ones are dropped.
    static constexpr size_t kMostRows = 256;

    struct Row {
        RowPiece piece;  // its most confident read
        int reads = 0;   // lines that read it
        bool joined = false;
    };

    // Hints kept at most, those of most finders first.
    static constexpr size_t kMostHints = 16;

    void Clear() {
        rows_.clear();
        hints_.clear();
    }
    // Keeps the row read by line number `line`; a row read again keeps its
    // most confident read. A hint is kept apart, once per line.
    void Add(const RowPiece& piece, int line);

    // Appends a read for every symbol the rows not joined yet make, more
    // confident than `minConfidence`. False when memory runs out.
    bool Join(float minConfidence, std::vector<extended::LineRead>& reads);

    std::span<const Row> Rows() const { return rows_; }
    std::span<const RowPiece> Hints() const { return hints_; }

  private:
    bool JoinOmni(float minConfidence, std::vector<extended::LineRead>& reads);
    bool JoinExpanded(float minConfidence, std::vector<extended::LineRead>& reads);
    void AddHint(const RowPiece& piece, int line);
    // Marks every row that reads as `piece` at its place as joined.
    void MarkJoined(const RowPiece& piece);

    std::vector<Row> rows_;
    std::vector<RowPiece> hints_;
    std::vector<size_t> chosen_;  // rows of the symbol being joined
};

}  // namespace zeph::databar
