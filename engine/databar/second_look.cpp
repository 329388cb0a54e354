#include "engine/databar/second_look.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/databar/line_decoder.h"
#include "engine/databar/row_collector.h"
#include "engine/extended/extended_run.h"
#include "engine/extended/local_threshold.h"
#include "engine/locate/super_resolution.h"
#include "engine/reader.h"

namespace zeph::databar {
namespace {

// Hinted lines read again at most, rows searched around, and lines read
// beside rows in all, in one search.
constexpr int kMostHintsRead = 4;
constexpr int kMostSearches = 8;
constexpr int kMostLines = 160;
// Hinted lines are read again with this many samples to a module, within
// these many to a pixel.
constexpr double kHintSamplesPerModule = 6;
constexpr double kHintFewestSamplesPerPixel = 3;
constexpr double kHintMostSamplesPerPixel = 6;
// Lines reach this far beyond the row's guards, in modules: rows of one
// symbol end level, the last one of Expanded Stacked may be shorter.
constexpr double kMargin = 12;
// Rows of Stacked are 5 and 7 modules high, of Stacked Omnidirectional 33:
// a row lower than this is one of Stacked.
constexpr double kLowRow = 14;
// How far from a row of Stacked its partner lies, in modules, and of
// Stacked Omnidirectional.
constexpr double kLowReach = 14;
constexpr double kTallReach = 72;
// Rows of Expanded Stacked lie a separator of 3 modules apart.
constexpr double kSeparator = 3;
// Row pitches looked at on either side of a row of Expanded Stacked that
// does not open its symbol.
constexpr int kPitchesAround = 3;
// Lines per row height.
constexpr double kLinesPerRow = 3;
constexpr double kSamplesPerModule = 8;
constexpr double kFewestSamplesPerPixel = 1.0;
constexpr double kMostSamplesPerPixel = 2.5;
constexpr int32_t kMostPaths = 9;
constexpr int32_t kFewestSamples = 16;

struct PassLines {
    ScanSignalPtr signal;
    SuperResolutionStore store = LineStore();
    LineDecoder decoder;
    std::vector<extended::LineRead> reads;
    std::vector<extended::LineRead> more;
    extended::LocalThreshold threshold;
    std::vector<int32_t> widths;
    std::vector<size_t> order;
};

// The part of the line through a and b that lies in the picture, or false.
bool Clip(PixelPoint a, PixelPoint b, const extended::Picture& p, extended::Line& line) {
    double t0 = 0;
    double t1 = 1;
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double sides[4][2] = {
        {-dx, a.x}, {dx, p.width - 1 - a.x}, {-dy, a.y}, {dy, p.height - 1 - a.y}};
    for (const auto& [q, r] : sides) {
        if (q == 0) {
            if (r < 0) return false;
            continue;
        }
        const double t = r / q;
        if (q < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
    }
    if (!(t1 > t0)) return false;
    const auto round = [](double v) { return static_cast<int32_t>(std::lround(v)); };
    line = {round(a.x + t0 * dx), round(a.y + t0 * dy), round(a.x + t1 * dx), round(a.y + t1 * dy)};
    return std::abs(line.x1 - line.x0) + std::abs(line.y1 - line.y0) >= kFewestSamples;
}

// Samples the line and reads its DataBar symbols and rows into pass.reads:
// the signal as it is, and with `local` again after a local threshold.
bool ReadLine(const extended::Run& run, const extended::Line& line, int32_t paths,
              double samplesPerPixel, bool local, PassLines& pass) {
    pass.reads.clear();
    if (!pass.signal) {
        pass.signal = XR_NewScanSignal(extended::LineReader::kMaxSamples, 1, 1, 0.5f, 1);
        if (!pass.signal) return false;
    }
    ScanSignal& s = *pass.signal;
    const double length = std::hypot(double(line.x1 - line.x0), double(line.y1 - line.y0));
    s.sampleCount =
        static_cast<int32_t>(std::clamp(std::ceil(length * samplesPerPixel), double(kFewestSamples),
                                        double(extended::LineReader::kMaxSamples)));
    s.pathCount = paths;
    s.pathSpacing = 1;
    s.sharpening = run.config.scan ? run.config.scan->sharpening : 0.5f;
    s.imageWidth = run.picture.width;
    s.imageHeight = run.picture.height;
    s.startX = line.x0;
    s.startY = line.y0;
    s.stopX = line.x1;
    s.stopY = line.y1;
    if (!SuperResolveWith(run.picture.values, run.picture.height, run.picture.width, s,
                          pass.store)) {
        return false;
    }
    const LineGeometry geometry{
        double(line.x0),      double(line.y0), double(line.x1), double(line.y1), 0,
        double(s.sampleCount)};
    for (const bool thresholded : {false, true}) {
        if (thresholded) {
            if (!local) break;
            if (!pass.threshold.Apply(s.Samples(),
                                      extended::NarrowElementWidth(s.Samples(), pass.widths))) {
                return false;
            }
        }
        XR_FindBars(s);
        const auto bars = static_cast<size_t>(s.barCount);
        const LineSignal signal{s.Samples(), {s.barStarts.get(), bars}, {s.barEnds.get(), bars}};
        const ReadSettings settings{
            run.config.protocolMask, run.config.minConfidence, paths,
            thresholded ? extended::LineOptions::kLocal : extended::LineOptions::kPlain,
            s.redundancy};
        if (!pass.decoder.Read(run.picture, geometry, signal, settings, pass.reads)) return false;
    }
    return true;
}

// Joins what the rows make and hands the symbols to the ledger.
bool JoinRows(extended::Run& run, PassLines& pass) {
    pass.more.clear();
    if (!run.scratch.databarRows.Join(run.config.minConfidence, pass.more)) return false;
    // A symbol of rows counts as read by the latest line.
    const int line = static_cast<int>(run.scratch.lines.size());
    for (const extended::LineRead& read : pass.more)
        run.scratch.ledger.Add(read, line);
    return true;
}

// Where to look beside a row: offsets across it (in pixels, positive below)
// from `from` to `to` in steps of `step`.
struct Search {
    double from = 0;
    double to = 0;
    double step = 1;
};

int SearchesOf(const RowPiece& row, Search out[2]) {
    const double m = row.module;
    const double h = std::max(row.height, m);
    const bool low = h / m < kLowRow;
    switch (row.kind) {
        case RowPiece::Kind::kOmniTop:
        case RowPiece::Kind::kOmniBottom: {
            const double reach = (low ? kLowReach : kTallReach) * m;
            const double step = std::max(1.0, low ? m : h / kLinesPerRow);
            const double sign = row.kind == RowPiece::Kind::kOmniTop ? 1 : -1;
            out[0] = {sign * step, sign * reach, sign * step};
            return 1;
        }
        case RowPiece::Kind::kExpanded: {
            const double pitch = h + kSeparator * m;
            const double step = std::max(1.0, h / kLinesPerRow);
            const ExpandedPair& head = row.pairs[0];
            if (head.finder == 0 && !head.odd) {
                const int32_t characters = CharactersOfCheck(head.left);
                const int pairs = (characters + 1) / 2;
                const int rows = (pairs + row.pairCount - 1) / std::max(1, row.pairCount);
                out[0] = {step, (rows - 1) * pitch + h / 2, step};
                return 1;
            }
            out[0] = {step, kPitchesAround * pitch, step};
            out[1] = {-step, -kPitchesAround * pitch, -step};
            return 2;
        }
        case RowPiece::Kind::kHint:
            break;
    }
    return 0;
}

// Reads the hinted lines again, those of most finders first.
bool ReadHints(extended::Run& run, PassLines& pass) {
    const RowCollector& rows = run.scratch.databarRows;
    pass.order.clear();
    for (size_t i = 0; i < rows.Hints().size(); ++i)
        pass.order.push_back(i);
    std::stable_sort(pass.order.begin(), pass.order.end(), [&](size_t a, size_t b) {
        return rows.Hints()[a].seen > rows.Hints()[b].seen;
    });
    if (pass.order.size() > static_cast<size_t>(kMostHintsRead)) pass.order.resize(kMostHintsRead);
    for (const size_t i : pass.order) {
        const RowPiece hint = rows.Hints()[i];
        const extended::Line line{
            static_cast<int32_t>(hint.start.x), static_cast<int32_t>(hint.start.y),
            static_cast<int32_t>(hint.stop.x), static_cast<int32_t>(hint.stop.y)};
        const double density =
            hint.module > 0 ? std::clamp(kHintSamplesPerModule / hint.module,
                                         kHintFewestSamplesPerPixel, kHintMostSamplesPerPixel)
                            : kHintFewestSamplesPerPixel;
        if (!ReadLine(run, line, hint.paths, density, true, pass)) return false;
        // The finer reads go to the ledger; hints of a hinted line are not
        // followed again.
        std::erase_if(pass.reads, [](const extended::LineRead& r) {
            return r.databarRow && r.databarRow->kind == RowPiece::Kind::kHint;
        });
        if (!run.Take(line, pass.reads)) return false;
    }
    return true;
}

}  // namespace

int SecondLook(extended::Run& whole) {
    if ((whole.config.protocolMask & kDataBarFamily) == 0) return 0;
    // The hints of a picture one pixel thin came from lines sampled doubled,
    // and are read again the same way.
    extended::Run run = whole;
    if (!extended::SampledPicture(whole, run.picture)) return -1;
    RowCollector& rows = run.scratch.databarRows;
    thread_local PassLines pass;
    if (!rows.Hints().empty() && !ReadHints(run, pass)) return -1;
    if (rows.Rows().empty()) return 0;
    if (!JoinRows(run, pass)) return -1;
    int searched = 0;
    int lines = 0;
    // Rows found by the pass are searched around in their turn.
    for (size_t i = 0; i < rows.Rows().size() && searched < kMostSearches; ++i) {
        if (rows.Rows()[i].joined) continue;
        const RowPiece row = rows.Rows()[i].piece;
        ++searched;
        Search searches[2];
        const int count = SearchesOf(row, searches);
        const PixelPoint u{(row.stop.x - row.start.x) / Distance(row.start, row.stop),
                           (row.stop.y - row.start.y) / Distance(row.start, row.stop)};
        const PixelPoint down{-u.y, u.x};
        const double margin = kMargin * row.module;
        const PixelPoint a{row.start.x - margin * u.x, row.start.y - margin * u.y};
        const PixelPoint b{row.stop.x + margin * u.x, row.stop.y + margin * u.y};
        const auto paths = static_cast<int32_t>(
            std::clamp(std::lround(0.4 * row.height), long{1}, long{kMostPaths}));
        const double density = std::clamp(kSamplesPerModule / row.module, kFewestSamplesPerPixel,
                                          kMostSamplesPerPixel);
        for (int k = 0; k < count && !rows.Rows()[i].joined; ++k) {
            const Search& s = searches[k];
            for (double t = s.from; std::fabs(t) <= std::fabs(s.to) && !rows.Rows()[i].joined;
                 t += s.step) {
                if (lines >= kMostLines) return 0;
                extended::Line line;
                if (!Clip({a.x + t * down.x, a.y + t * down.y},
                          {b.x + t * down.x, b.y + t * down.y}, run.picture, line) ||
                    run.Seen(line)) {
                    continue;
                }
                ++lines;
                if (!ReadLine(run, line, paths, density, false, pass) ||
                    !run.Take(line, pass.reads) || !JoinRows(run, pass)) {
                    return -1;
                }
            }
        }
    }
    return 0;
}

}  // namespace zeph::databar
