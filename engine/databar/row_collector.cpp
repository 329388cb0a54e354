#include "engine/databar/row_collector.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/databar/omni.h"
#include "engine/databar/records.h"
#include "engine/extended/line_reader.h"

namespace zeph::databar {
namespace {

// Rows of one symbol are parallel to within this cosine (about 8 degrees)...
constexpr double kParallel = 0.99;
// ... of module sizes this close...
constexpr double kModuleRatio = 1.4;
// ... and level: their ends lie this close along the rows (in modules),
// and a share of their distance closer, for a line a few degrees off the
// rows' own direction.
constexpr double kLevel = 3;
constexpr double kSkew = 0.12;
// The line through a row lies this far below the line through the row
// above at most (in modules): two rows of 33 modules and a separator.
constexpr double kFarthestRow = 80;
constexpr double kNearestRow = 1;
// Rows read by lines this close across them (in modules) are one row.
constexpr double kSameRow = 3;
// Hints on lines whose ends lie this close (in pixels) are one.
constexpr double kSameLine = 3;
// Bars of 33 modules make Stacked Omnidirectional rows, of 5 and 7 Stacked ones.
constexpr double kOmniRowHeight = 21;
constexpr double kOpenQuiet = 2 * extended::WindowFinder::kQuietZone;

PixelPoint Minus(PixelPoint a, PixelPoint b) {
    return {a.x - b.x, a.y - b.y};
}
double Dot(PixelPoint a, PixelPoint b) {
    return a.x * b.x + a.y * b.y;
}
PixelPoint Middle(const RowPiece& p) {
    return {(p.start.x + p.stop.x) / 2, (p.start.y + p.stop.y) / 2};
}
PixelPoint Along(const RowPiece& p) {
    const double l = Distance(p.start, p.stop);
    return l > 0 ? PixelPoint{(p.stop.x - p.start.x) / l, (p.stop.y - p.start.y) / l}
                 : PixelPoint{1, 0};
}
// Below the row, across its bars, with the row read from left to right.
PixelPoint Down(const RowPiece& p) {
    const PixelPoint u = Along(p);
    return {-u.y, u.x};
}

bool SameSize(const RowPiece& a, const RowPiece& b) {
    return a.module > 0 && b.module > 0 && a.module < kModuleRatio * b.module &&
           b.module < kModuleRatio * a.module;
}

enum class Reading {
    kSameWay,  // rows of Stacked read the same way
    kEither,   // rows of Expanded Stacked past the first may be drawn mirrored
};

// How far below `upper` the row `lower` was read, in modules; whether it
// lies level with it: its ends at `upper`'s, or (not `sameLength`) within
// them.
bool Placed(const RowPiece& upper, const RowPiece& lower, Reading reading, bool sameLength,
            double& below) {
    const PixelPoint u = Along(upper);
    const double cosine = Dot(u, Along(lower));
    if (reading == Reading::kSameWay ? cosine < kParallel : std::fabs(cosine) < kParallel) {
        return false;
    }
    if (!SameSize(upper, lower)) return false;
    const double m = (upper.module + lower.module) / 2;
    below = Dot(Minus(Middle(lower), Middle(upper)), Down(upper)) / m;
    const double length = Distance(upper.start, upper.stop) / m;
    double a = Dot(Minus(lower.start, upper.start), u) / m;
    double b = Dot(Minus(lower.stop, upper.start), u) / m;
    if (a > b) std::swap(a, b);
    const double level = kLevel + kSkew * std::fabs(below);
    if (sameLength) return std::fabs(a) <= level && std::fabs(b - length) <= level;
    return a >= -level && b <= length + level;
}

OmniHalf HalfOf(const RowPiece& p) {
    OmniHalf half;
    half.right = p.kind == RowPiece::Kind::kOmniBottom;
    half.finder = p.finder;
    half.outer = p.outer;
    half.inner = p.inner;
    half.checksum = p.checksum;
    return half;
}

extended::LineRead ReadOfRows(const RowPiece& first, PixelPoint centre, float confidence) {
    extended::LineRead read;
    MatchRecord& m = read.record;
    const auto round = [](double v) { return static_cast<int32_t>(std::floor(v + 0.5)); };
    m.startX = round(first.start.x);
    m.startY = round(first.start.y);
    m.stopX = round(first.stop.x);
    m.stopY = round(first.stop.y);
    m.centreX = round(centre.x);
    m.centreY = round(centre.y);
    m.confidence = confidence;
    read.quiet = {kOpenQuiet, kOpenQuiet, false, false};
    read.variant = extended::LineOptions::kPlain;
    return read;
}

}  // namespace

bool RowPiece::SameContent(const RowPiece& other) const {
    if (kind != other.kind) return false;
    if (kind != Kind::kExpanded) {
        return finder == other.finder && outer == other.outer && inner == other.inner;
    }
    if (pairCount != other.pairCount) return false;
    for (int i = 0; i < pairCount; ++i) {
        const ExpandedPair& a = pairs[i];
        const ExpandedPair& b = other.pairs[i];
        if (a.finder != b.finder || a.odd != b.odd || a.hasRight != b.hasRight ||
            a.left != b.left || (a.hasRight && a.right != b.right)) {
            return false;
        }
    }
    return true;
}

void RowCollector::Add(const RowPiece& piece, int line) {
    if (piece.kind == RowPiece::Kind::kHint) {
        AddHint(piece, line);
        return;
    }
    for (Row& row : rows_) {
        double below = 0;
        if (!row.piece.SameContent(piece) ||
            !Placed(row.piece, piece, Reading::kSameWay, true, below) ||
            std::fabs(below) > std::max(kSameRow, row.piece.height / row.piece.module)) {
            continue;
        }
        ++row.reads;
        if (piece.confidence > row.piece.confidence) {
            const bool joined = row.joined;
            row.piece = piece;
            row.piece.line = line;
            row.joined = joined;
        }
        return;
    }
    if (rows_.size() >= kMostRows) return;
    try {
        rows_.push_back({piece, 1, false});
        rows_.back().piece.line = line;
    } catch (const std::bad_alloc&) {
        // A row that cannot be kept is a row not read.
    }
}

void RowCollector::AddHint(const RowPiece& piece, int line) {
    for (RowPiece& hint : hints_) {
        if (Distance(hint.start, piece.start) + Distance(hint.stop, piece.stop) <= kSameLine) {
            hint.seen = std::max(hint.seen, piece.seen);
            return;
        }
    }
    const auto weaker =
        std::min_element(hints_.begin(), hints_.end(),
                         [](const RowPiece& a, const RowPiece& b) { return a.seen < b.seen; });
    if (hints_.size() >= kMostHints) {
        if (weaker->seen >= piece.seen) return;
        *weaker = piece;
        weaker->line = line;
        return;
    }
    try {
        hints_.push_back(piece);
        hints_.back().line = line;
    } catch (const std::bad_alloc&) {
        // A hint that cannot be kept is no loss: its line was read.
    }
}

void RowCollector::MarkJoined(const RowPiece& piece) {
    for (Row& row : rows_) {
        double below = 0;
        if (row.piece.SameContent(piece) &&
            Placed(row.piece, piece, Reading::kSameWay, true, below) &&
            std::fabs(below) <= std::max(kSameRow, row.piece.height / row.piece.module)) {
            row.joined = true;
        }
    }
}

bool RowCollector::Join(float minConfidence, std::vector<extended::LineRead>& reads) {
    try {
        return JoinOmni(minConfidence, reads) && JoinExpanded(minConfidence, reads);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool RowCollector::JoinOmni(float minConfidence, std::vector<extended::LineRead>& reads) {
    for (size_t t = 0; t < rows_.size(); ++t) {
        if (rows_[t].joined || rows_[t].piece.kind != RowPiece::Kind::kOmniTop) continue;
        const RowPiece& top = rows_[t].piece;
        size_t best = rows_.size();
        double nearest = 0;
        for (size_t b = 0; b < rows_.size(); ++b) {
            const RowPiece& bottom = rows_[b].piece;
            double below = 0;
            if (rows_[b].joined || bottom.kind != RowPiece::Kind::kOmniBottom ||
                !Placed(top, bottom, Reading::kSameWay, true, below) || below < kNearestRow ||
                below > kFarthestRow) {
                continue;
            }
            int64_t value = 0;
            bool linkage = false;
            if (!JoinOmniHalves(HalfOf(top), HalfOf(bottom), value, linkage)) continue;
            if (best == rows_.size() || below < nearest) {
                best = b;
                nearest = below;
            }
        }
        if (best == rows_.size()) continue;
        const RowPiece& bottom = rows_[best].piece;
        int64_t value = 0;
        bool linkage = false;
        JoinOmniHalves(HalfOf(top), HalfOf(bottom), value, linkage);
        const float confidence = std::min(top.confidence, bottom.confidence);
        const RowPiece topRow = top;
        const RowPiece bottomRow = bottom;
        MarkJoined(topRow);
        MarkJoined(bottomRow);
        ElementString text;
        if (!(confidence > minConfidence) || !PutGtin(value, text)) continue;
        // The lower row: a composite component may stand on the upper one.
        const double height =
            (bottomRow.height > 0 ? bottomRow.height : topRow.height) / bottomRow.module;
        const Variant variant =
            height >= kOmniRowHeight ? Variant::kStackedOmnidirectional : Variant::kStacked;
        const PixelPoint a = Middle(topRow);
        const PixelPoint b = Middle(bottomRow);
        extended::LineRead read =
            ReadOfRows(topRow, {(a.x + b.x) / 2, (a.y + b.y) / 2}, confidence);
        WriteRecord(text, variant, linkage, confidence, read.record);
        read.bars = 2 * 23;
        reads.push_back(read);
    }
    return true;
}

bool RowCollector::JoinExpanded(float minConfidence, std::vector<extended::LineRead>& reads) {
    for (size_t f = 0; f < rows_.size(); ++f) {
        const RowPiece& first = rows_[f].piece;
        if (rows_[f].joined || first.kind != RowPiece::Kind::kExpanded || first.pairCount < 1 ||
            first.pairs[0].finder != 0 || first.pairs[0].odd) {
            continue;
        }
        const int32_t characters = CharactersOfCheck(first.pairs[0].left);
        const int pairs = (characters + 1) / 2;
        const int perRow = first.pairCount;
        if (characters < 0 || pairs <= perRow) continue;
        const int rowCount = (pairs + perRow - 1) / perRow;

        // Row k holds pairs k * perRow on, each where its finder's sequence
        // puts it, below the row before.
        ExpandedPair all[kMostPairs];
        std::copy(first.pairs, first.pairs + perRow, all);
        chosen_.assign(1, f);
        double above = 0;
        for (int k = 1; k < rowCount; ++k) {
            const int from = k * perRow;
            const int count = std::min(perRow, pairs - from);
            size_t best = rows_.size();
            double bestBelow = 0;
            for (size_t r = 0; r < rows_.size(); ++r) {
                const RowPiece& row = rows_[r].piece;
                double below = 0;
                if (rows_[r].joined || row.kind != RowPiece::Kind::kExpanded ||
                    row.pairCount != count ||
                    !Placed(first, row, Reading::kEither, k + 1 < rowCount, below) ||
                    below < above + kNearestRow || below > above + kFarthestRow) {
                    continue;
                }
                bool fits = true;
                for (int i = 0; i < count && fits; ++i) {
                    const ExpandedPair& p = row.pairs[i];
                    fits = p.finder == FinderInSequence(pairs, from + i) &&
                           p.odd == ((from + i) % 2 != 0);
                }
                if (!fits) continue;
                if (best == rows_.size() || row.confidence > rows_[best].piece.confidence ||
                    (row.confidence == rows_[best].piece.confidence && below < bestBelow)) {
                    best = r;
                    bestBelow = below;
                }
            }
            if (best == rows_.size()) break;
            std::copy(rows_[best].piece.pairs, rows_[best].piece.pairs + count, all + from);
            chosen_.push_back(best);
            above = bestBelow;
        }
        if (chosen_.size() != static_cast<size_t>(rowCount)) continue;
        ElementString text;
        bool linkage = false;
        if (!ReadExpandedSymbol(std::span<const ExpandedPair>(all, static_cast<size_t>(pairs)),
                                text, linkage)) {
            continue;
        }
        float confidence = 1;
        PixelPoint centre{0, 0};
        for (const size_t r : chosen_) {
            confidence = std::min(confidence, rows_[r].piece.confidence);
            const PixelPoint m = Middle(rows_[r].piece);
            centre = {centre.x + m.x / rowCount, centre.y + m.y / rowCount};
        }
        const RowPiece firstRow = first;
        for (const size_t r : chosen_) {
            const RowPiece piece = rows_[r].piece;
            MarkJoined(piece);
        }
        if (!(confidence > minConfidence)) continue;
        extended::LineRead read = ReadOfRows(firstRow, centre, confidence);
        WriteRecord(text, Variant::kExpandedStacked, linkage, confidence, read.record);
        read.bars = 0;
        reads.push_back(read);
    }
    return true;
}

}  // namespace zeph::databar
