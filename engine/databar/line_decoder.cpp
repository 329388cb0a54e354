#include "engine/databar/line_decoder.h"

#include <algorithm>
#include <new>

#include "engine/databar/bar_height.h"
#include "engine/databar/finders.h"
#include "engine/databar/records.h"
#include "engine/databar/row_piece.h"
#include "engine/extended/line_reader.h"
#include "engine/reader.h"

namespace zeph::databar {
namespace {

// Bars of 33 modules make Omnidirectional symbols, of 13 Truncated ones.
constexpr double kOmniHeight = 21;
// How far a bar is followed each way, in modules, and how many of the
// widest bars are.
constexpr double kLongestBar = 40;
constexpr int kBarsMeasured = 3;
// Reads need no quiet zone: they show one wide enough for any rule.
constexpr double kOpenQuiet = 2 * extended::WindowFinder::kQuietZone;
// From one half's finder to the other's on one row, and from one pair's to
// the next; a finder this many elements off it (bars blurred away or split)
// still hints at a symbol.
constexpr int32_t kHalfStep = 21;
constexpr int32_t kStepSlack = 4;
// Finders of one symbol have modules this close.
constexpr double kSameModule = 1.3;
// Lines sampled this finely (samples a module) are not read again, nor are
// places of modules below this (pixels).
constexpr double kFinelySampled = 4;
constexpr double kSmallestModule = 0.7;
// How far a symbol may reach from the middle of what showed of it, in
// modules: Omnidirectional is 96 long, Limited 79, Expanded up to 543.
constexpr double kOmniReach = 70;
constexpr double kLimitedReach = 60;
constexpr double kExpandedReach = 400;

}  // namespace

bool LineDecoder::Read(const extended::Picture& picture, const LineGeometry& geometry,
                       const LineSignal& signal, const ReadSettings& settings,
                       std::vector<extended::LineRead>& reads) {
    if ((settings.mask & (kDataBar | kDataBarLimited | kDataBarExpanded)) == 0) return true;
    picture_ = &picture;
    geometry_ = geometry;
    settings_ = settings;
    if (!forward_.Build(signal.samples, signal.barStarts, signal.barEnds) ||
        !reversed_.Reverse(forward_)) {
        return false;
    }
    try {
        const size_t before = reads.size();
        Sighting sighting;
        if (!ReadView(forward_, reads, sighting) || !ReadView(reversed_, reads, sighting)) {
            return false;
        }
        // A line that showed a symbol's finders in their places and read
        // nothing is a hint for the second look, where that can sample it
        // more finely.
        const double module = sighting.module * geometry_.PixelsPerSample();
        if (reads.size() == before && sighting.count > 0 && sighting.module < kFinelySampled &&
            module >= kSmallestModule) {
            extended::LineRead hint;
            RowPiece piece;
            piece.kind = RowPiece::Kind::kHint;
            piece.start = geometry_.At(sighting.from);
            piece.stop = geometry_.At(sighting.to);
            piece.module = module;
            piece.paths = settings_.paths;
            piece.seen = sighting.count;
            hint.databarRow = piece;
            reads.push_back(hint);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool LineDecoder::ReadView(const EdgeList& view, std::vector<extended::LineRead>& reads,
                           Sighting& sighting) {
    omniSeen_.clear();
    expandedSeen_.clear();
    limitedSeen_.clear();
    FinderCandidates(view, candidates_);
    if (settings_.mask & kDataBar) ReadOmni(view, reads);
    if (settings_.mask & kDataBarLimited) ReadLimited(view, reads);
    if ((settings_.mask & kDataBarExpanded) && !ReadExpanded(view, reads)) return false;
    // Finders a half or a pair apart, one of them mirrored as the symbol
    // draws them; places that fit Limited.
    const auto pairs = [&](const std::vector<FinderSeen>& seen, double reach) {
        for (size_t i = 0; i < seen.size(); ++i) {
            for (size_t j = i + 1; j < seen.size(); ++j) {
                const int32_t step = seen[j].at - seen[i].at;
                if (step > kHalfStep + kStepSlack) break;
                if (step < kHalfStep - kStepSlack || seen[i].mirrored == seen[j].mirrored ||
                    !(seen[i].module < kSameModule * seen[j].module &&
                      seen[j].module < kSameModule * seen[i].module)) {
                    continue;
                }
                const double at =
                    OnSignal(view, (view.Edge(seen[i].at) + view.Edge(seen[j].at)) / 2);
                sighting.Add(at, (seen[i].module + seen[j].module) / 2, reach);
            }
        }
    };
    pairs(omniSeen_, kOmniReach);
    pairs(expandedSeen_, kExpandedReach);
    for (const LimitedSymbol& s : limitedSeen_) {
        const double at = OnSignal(view, (view.Edge(s.first) + view.Edge(s.last)) / 2);
        sighting.Add(at, s.module, kLimitedReach);
    }
    return true;
}

void LineDecoder::Sighting::Add(double at, double placeModule, double reach) {
    const double a = at - reach * placeModule;
    const double b = at + reach * placeModule;
    from = count == 0 ? a : std::min(from, a);
    to = count == 0 ? b : std::max(to, b);
    module = placeModule;
    ++count;
}

double LineDecoder::OnSignal(const EdgeList& view, double s) const {
    return view.Reversed() ? view.Length() - s : s;
}

extended::LineRead LineDecoder::ReadOf(const EdgeList& view, int32_t first, int32_t last) const {
    extended::LineRead read;
    const PixelPoint a = geometry_.At(OnSignal(view, view.Edge(first)));
    const PixelPoint b = geometry_.At(OnSignal(view, view.Edge(last + 1)));
    MatchRecord& m = read.record;
    m.startX = extended::NearestPixel(a.x);
    m.startY = extended::NearestPixel(a.y);
    m.stopX = extended::NearestPixel(b.x);
    m.stopY = extended::NearestPixel(b.y);
    m.centreX = extended::NearestPixel((a.x + b.x) / 2);
    m.centreY = extended::NearestPixel((a.y + b.y) / 2);
    m.redundancy = settings_.redundancy;
    read.quiet = {kOpenQuiet, kOpenQuiet, false, false};
    read.pathCount = settings_.paths;
    read.bars = (last - first + 2) / 2;
    read.variant = settings_.variant;
    return read;
}

RowPiece LineDecoder::PieceOf(const EdgeList& view, int32_t first, int32_t last, double module,
                              double residual) const {
    RowPiece piece;
    piece.start = geometry_.At(OnSignal(view, view.Edge(first)));
    piece.stop = geometry_.At(OnSignal(view, view.Edge(last + 1)));
    piece.module = module * geometry_.PixelsPerSample();
    piece.height = HeightOf(view, first, last, module) * piece.module;
    piece.confidence = ConfidenceOf(residual);
    piece.paths = settings_.paths;
    return piece;
}

double LineDecoder::HeightOf(const EdgeList& view, int32_t first, int32_t last,
                             double module) const {
    if (!(module > 0)) return 0;
    // The widest bars, widest first.
    int32_t widest[kBarsMeasured] = {-1, -1, -1};
    for (int32_t i = first; i <= last; ++i) {
        if (!EdgeList::IsBar(i)) continue;
        for (int k = 0; k < kBarsMeasured; ++k) {
            if (widest[k] < 0 || view.Width(i) > view.Width(widest[k])) {
                for (int j = kBarsMeasured - 1; j > k; --j)
                    widest[j] = widest[j - 1];
                widest[k] = i;
                break;
            }
        }
    }
    const double pps = geometry_.PixelsPerSample();
    const double px = module * pps;
    double heights[kBarsMeasured] = {};
    int measured = 0;
    for (const int32_t bar : widest) {
        if (bar < 0) continue;
        const double middle = OnSignal(view, (view.Edge(bar) + view.Edge(bar + 1)) / 2);
        heights[measured++] = BarHeight(*picture_, geometry_.At(middle), geometry_.Direction(),
                                        view.Width(bar) * pps, px, kLongestBar * px);
    }
    // The median of three, the lower of two: a bar that runs on into a
    // neighbouring pattern (a composite component, a separator) does not
    // decide.
    const double a = heights[0];
    const double b = heights[1];
    const double c = heights[2];
    const double height = measured == 3   ? std::max(std::min(a, b), std::min(std::max(a, b), c))
                          : measured == 2 ? std::min(a, b)
                                          : a;
    return height / px;
}

void LineDecoder::ReadOmni(const EdgeList& view, std::vector<extended::LineRead>& reads) {
    halves_.clear();
    FindOmniHalves(view, candidates_, halves_, omniSeen_);
    // The halves come in the order of their finders.
    for (OmniHalf& left : halves_) {
        if (left.right) continue;
        const auto at = std::lower_bound(
            halves_.begin(), halves_.end(), left.finderAt + kHalfStep,
            [](const OmniHalf& h, int32_t finderAt) { return h.finderAt < finderAt; });
        for (auto it = at; it != halves_.end() && it->finderAt == left.finderAt + kHalfStep; ++it) {
            OmniHalf& right = *it;
            if (!right.right) continue;
            // Halves side by side are one row, whether their checksum holds or not.
            left.used = right.used = true;
            int64_t value = 0;
            bool linkage = false;
            if (!JoinOmniHalves(left, right, value, linkage)) continue;
            const float confidence = ConfidenceOf((left.residual + right.residual) / 2);
            if (!(confidence > settings_.minConfidence)) continue;
            ElementString text;
            if (!PutGtin(value, text)) continue;
            const double module = (left.module + right.module) / 2;
            const Variant variant = HeightOf(view, left.first, right.last, module) >= kOmniHeight
                                        ? Variant::kOmnidirectional
                                        : Variant::kTruncated;
            extended::LineRead read = ReadOf(view, left.first, right.last);
            WriteRecord(text, variant, linkage, confidence, read.record);
            reads.push_back(read);
        }
    }
    // Halves with guards of a row on both sides are rows of a stacked symbol.
    for (const OmniHalf& half : halves_) {
        if (half.used || !half.rowGuard ||
            !(ConfidenceOf(half.residual) > settings_.minConfidence)) {
            continue;
        }
        extended::LineRead read = ReadOf(view, half.first, half.last);
        RowPiece piece = PieceOf(view, half.first, half.last, half.module, half.residual);
        piece.kind = half.right ? RowPiece::Kind::kOmniBottom : RowPiece::Kind::kOmniTop;
        piece.finder = half.finder;
        piece.outer = half.outer;
        piece.inner = half.inner;
        piece.checksum = half.checksum;
        read.databarRow = piece;
        reads.push_back(read);
    }
}

void LineDecoder::ReadLimited(const EdgeList& view, std::vector<extended::LineRead>& reads) {
    limited_.clear();
    FindLimitedSymbols(view, limited_, limitedSeen_);
    for (const LimitedSymbol& s : limited_) {
        const float confidence = ConfidenceOf(s.residual);
        if (!(confidence > settings_.minConfidence)) continue;
        ElementString text;
        if (!PutGtin(s.value, text)) continue;
        extended::LineRead read = ReadOf(view, s.first, s.last);
        WriteRecord(text, Variant::kLimited, s.linkage, confidence, read.record);
        reads.push_back(read);
    }
}

bool LineDecoder::ReadExpanded(const EdgeList& view, std::vector<extended::LineRead>& reads) {
    rows_.clear();
    if (!rowFinder_.Find(view, candidates_, rows_, expandedSeen_)) return false;
    for (const ExpandedRow& row : rows_) {
        const std::span<const ExpandedPair> pairs(row.pairs, static_cast<size_t>(row.pairCount));
        if (row.OpensSymbol()) {
            ElementString text;
            bool linkage = false;
            if (ReadExpandedSymbol(pairs, text, linkage)) {
                const float confidence = ConfidenceOf(row.residual);
                if (!(confidence > settings_.minConfidence)) continue;
                extended::LineRead read = ReadOf(view, row.first, row.last);
                WriteRecord(text, Variant::kExpanded, linkage, confidence, read.record);
                reads.push_back(read);
                continue;
            }
            // A first row holds fewer characters than its check character
            // counts; one that holds more, or the wrong finders, is none.
            const int32_t characters = CharactersOfCheck(row.pairs[0].left);
            const int held = 2 * row.pairCount - (row.pairs[row.pairCount - 1].hasRight ? 0 : 1);
            if (characters < 0 || held >= characters) continue;
        }
        if (!(ConfidenceOf(row.residual) > settings_.minConfidence)) continue;
        extended::LineRead read = ReadOf(view, row.first, row.last);
        RowPiece piece = PieceOf(view, row.first, row.last, row.module, row.residual);
        piece.kind = RowPiece::Kind::kExpanded;
        piece.pairCount = row.pairCount;
        std::copy(pairs.begin(), pairs.end(), piece.pairs);
        read.databarRow = piece;
        reads.push_back(read);
    }
    return true;
}

}  // namespace zeph::databar
