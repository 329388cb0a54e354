// The extended search: the engine's own search first, its records untouched,
// then passes of its own that only add barcodes the list does not hold yet.
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/extended/candidates.h"
#include "engine/extended/line_extent.h"
#include "engine/extended/line_reader.h"
#include "engine/extended/picture.h"
#include "engine/extended/read_ledger.h"
#include "engine/locate/candidate_read.h"
#include "engine/reader.h"

namespace {

using namespace zeph::extended;

// Contrast threshold of the candidate pass, as a share of the largest grey:
// a fifth of the engine's default.
constexpr float kCandidateSensitivity = 0.015f;
constexpr size_t kMostCandidates = 16;
// Parallel lines through a candidate, this far apart along the bars; with
// paths spread over less than that, no two lines share a pixel row.
constexpr int32_t kLineOffset = 10;
constexpr int32_t kPathCount = 9;
// Lines longer than this are read only as far as the structure around their
// candidate reaches (see ExtentFinder); shorter ones whole.
constexpr double kWholeLine = 1200;
// Samples per pixel: about eight per mean transition spacing around the
// candidate, within these bounds.
constexpr double kSamplesPerRun = 8;
constexpr double kFewestSamplesPerPixel = 1.0;
constexpr double kMostSamplesPerPixel = 2.5;
// Lines whose ends lie this close (in pixels, x and y summed) are one line.
constexpr int32_t kSameLine = 2;
// Pictures of at most this many pixels are also read along rows and columns
// this many pixels apart (more apart in larger pictures, so that each
// direction gets about kGridLines lines), sampled with a few paths.
constexpr int64_t kGridArea = 200000;
constexpr int32_t kGridStep = 8;
constexpr int32_t kGridLines = 24;
constexpr int32_t kGridPaths = 5;
// Pictures with a side shorter than this are read row by row along it.
constexpr int32_t kThinSide = 32;

struct Scratch {
    LineReader reader;
    CandidateFinder finder;
    ExtentFinder extents;
    ReadLedger ledger;
    zeph::locate::OrientationMemo memo;  // what the engine's search measured
    std::vector<Candidate> candidates;
    std::vector<LineRead> reads;
    std::vector<Line> lines;       // every line read in this run
    std::vector<int32_t> widened;  // a picture one pixel thin, doubled
};

struct Run {
    Picture picture;
    const ReaderConfig& config;
    Scratch& scratch;
    std::span<const MatchRecord> kept;  // the records of the engine's own search

    bool Covered(double x, double y) const {
        for (const MatchRecord& r : kept) {
            if (LiesOn(r, x, y)) return true;
        }
        return scratch.ledger.Covers(x, y);
    }

    // Reads one line into the ledger; -1 on failure, else the number of bars
    // in its longest run. A line read before is not read again (0).
    int ReadLine(const Line& line, int32_t paths, bool startAtBorder, bool stopAtBorder,
                 float samplesPerPixel) {
        const auto same = [&](const Line& l) {
            return std::abs(l.x0 - line.x0) + std::abs(l.y0 - line.y0) <= kSameLine &&
                   std::abs(l.x1 - line.x1) + std::abs(l.y1 - line.y1) <= kSameLine;
        };
        if (std::any_of(scratch.lines.begin(), scratch.lines.end(), same)) return 0;
        try {
            scratch.lines.push_back(line);
        } catch (...) {
            return -1;
        }
        LineOptions options;
        options.pathCount = paths;
        options.samplesPerPixel = samplesPerPixel;
        options.startAtBorder = startAtBorder;
        options.stopAtBorder = stopAtBorder;
        scratch.reads.clear();
        const int longest = scratch.reader.Read(picture, line, config, options, scratch.reads);
        if (longest < 0) return -1;
        for (const LineRead& read : scratch.reads)
            scratch.ledger.Add(read, static_cast<int>(scratch.lines.size()));
        return longest;
    }
};

// The full line through (x, y) across the bars at angle theta, or false when
// the point lies outside the picture.
bool LineThrough(double x, double y, double theta, const Picture& p, Line& line) {
    if (x < 0 || y < 0 || x > p.width - 1 || y > p.height - 1) return false;
    ScanLine full;
    if (!XR_PlaceScanLine(static_cast<int32_t>(std::lround(x)),
                          static_cast<int32_t>(std::lround(y)), theta, p.width, p.height, full)) {
        return false;
    }
    line = {full.x0, full.y0, full.x1, full.y1};
    return true;
}

int CandidatePass(Run& run, int tileSize) {
    Scratch& s = run.scratch;
    const float threshold = kMaxGrey * kCandidateSensitivity;
    if (s.finder.Find(run.picture, run.config, tileSize, threshold, kMostCandidates, s.candidates,
                      &s.memo) < 0) {
        return -1;
    }
    const size_t count = s.candidates.size();
    for (size_t i = 0; i < count; ++i) {
        const Candidate& c = s.candidates[i];
        if (run.Covered(c.x, c.y)) continue;
        const double alongX = -std::sin(c.theta);
        const double alongY = std::cos(c.theta);
        for (const int32_t offset : {0, -kLineOffset, kLineOffset}) {
            Line line;
            const double px = c.x + offset * alongX;
            const double py = c.y + offset * alongY;
            if (!LineThrough(px, py, c.theta, run.picture, line)) continue;
            Extent extent;
            if (!s.extents.Find(run.picture, line, static_cast<int32_t>(std::lround(px)),
                                static_cast<int32_t>(std::lround(py)), extent)) {
                continue;
            }
            if (std::hypot(double(line.x1 - line.x0), double(line.y1 - line.y0)) <= kWholeLine)
                extent = {line, true, true, extent.meanRun};
            const auto density = static_cast<float>(std::clamp(
                kSamplesPerRun / extent.meanRun, kFewestSamplesPerPixel, kMostSamplesPerPixel));
            const int longest = run.ReadLine(extent.line, kPathCount, extent.startAtBorder,
                                             extent.stopAtBorder, density);
            if (longest < 0) return -1;
            // Parallel lines are worth drawing only where the first crossed
            // enough bars for a symbol, and only until it is read.
            if (offset == 0 && longest < WindowFinder::kFewestBars) break;
            if (run.Covered(c.x, c.y)) break;
        }
    }
    return 0;
}

// Thin pictures (a strip of a label, a single row) have no tiles: every row
// along the long side is a line of its own.
int ThinPicturePass(Run& run) {
    Picture p = run.picture;
    // Sampling reads 2 x 2 cells: a single row or column is read doubled.
    if (p.height == 1 || p.width == 1) {
        const size_t size = p.values.size();
        try {
            run.scratch.widened.resize(2 * size);
        } catch (...) {
            return -1;
        }
        std::vector<int32_t>& w = run.scratch.widened;
        if (p.height == 1) {
            std::copy(p.values.begin(), p.values.end(), w.begin());
            std::copy(p.values.begin(), p.values.end(),
                      w.begin() + static_cast<std::ptrdiff_t>(size));
            p = {w, 2, p.width};
        } else {
            for (size_t i = 0; i < size; ++i)
                w[2 * i] = w[2 * i + 1] = p.values[i];
            p = {w, p.height, 2};
        }
    }
    const bool wide = p.height < kThinSide && p.width >= p.height;
    const bool tall = p.width < kThinSide && p.height > p.width;
    if (!wide && !tall) return 0;
    const int32_t rows = wide ? p.height : p.width;
    Run thin = run;
    thin.picture = p;
    for (int32_t r = 0; r < rows; ++r) {
        const Line line = wide ? Line{0, r, p.width - 1, r} : Line{r, 0, r, p.height - 1};
        if (thin.ReadLine(line, 1, true, true, static_cast<float>(kMostSamplesPerPixel)) < 0)
            return -1;
    }
    return 0;
}

// A small picture in which nothing was found yet is read across: rows and
// columns at a fixed spacing, as a scanner sweeps them, catch symbols whose
// candidates the tile grid missed or put badly.
int GridPass(Run& run) {
    const Picture& p = run.picture;
    const int64_t area = int64_t{p.width} * p.height;
    if (area > kGridArea || p.width < kThinSide || p.height < kThinSide) return 0;
    if (!run.kept.empty() || run.scratch.ledger.AnyAccepted()) return 0;
    const int32_t step = std::max(kGridStep, std::min(p.width, p.height) / kGridLines);
    for (const bool rows : {true, false}) {
        const int32_t across = rows ? p.height : p.width;
        for (int32_t at = step / 2; at < across; at += step) {
            const Line line = rows ? Line{0, at, p.width - 1, at} : Line{at, 0, at, p.height - 1};
            if (run.ReadLine(line, kGridPaths, true, true,
                             static_cast<float>(kMostSamplesPerPixel)) < 0)
                return -1;
        }
    }
    return 0;
}

}  // namespace

int XR_SearchExtended(std::span<const int32_t> raster, int32_t height, int32_t width,
                      int32_t maxGrey, ReaderConfig* config, std::span<MatchRecord> records,
                      int maxRecords, bool thorough) {
    thread_local Scratch scratch;
    scratch.memo.Clear();
    const int found = thorough
                          ? zeph::locate::SearchThorough(raster, height, width, maxGrey, config,
                                                         records, maxRecords, &scratch.memo)
                          : XR_Search(raster, height, width, maxGrey, config, records);
    if (found < 0) return found;
    if (!thorough && found > 0) return found;
    if (!config || records.empty()) return found;

    scratch.ledger.Clear();
    scratch.lines.clear();
    Run run{{raster, height, width}, *config, scratch, records.first(static_cast<size_t>(found))};
    const int tileSize = thorough ? 15 : 20;
    if (CandidatePass(run, tileSize) < 0) return -1;
    if (ThinPicturePass(run) < 0) return -1;
    if (GridPass(run) < 0) return -1;
    return scratch.ledger.AppendTo(records, found, thorough ? maxRecords : 1);
}
