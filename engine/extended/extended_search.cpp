// The extended search: the engine's own search first, its records untouched,
// then passes of its own that only add barcodes the list does not hold yet.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "engine/core/match_list.h"
#include "engine/databar/second_look.h"
#include "engine/extended/extended_run.h"
#include "engine/extended/noise_layer.h"
#include "engine/extended/same_bars.h"
#include "engine/further/interpretations.h"
#include "engine/locate/candidate_read.h"
#include "engine/reader.h"

namespace {

using namespace zeph::extended;

// Pictures of at most this many pixels are also read along rows and columns
// this many pixels apart (more apart in larger pictures, so that each
// direction gets about kGridLines lines), sampled with a few paths.
constexpr int64_t kGridArea = 200000;
constexpr int32_t kGridStep = 8;
constexpr int32_t kGridLines = 24;
constexpr int32_t kGridPaths = 5;
// Pictures with a side shorter than this are read row by row along it.
constexpr int32_t kThinSide = 32;

// Thin pictures (a strip of a label, a single row) have no tiles: every row
// along the long side is a line of its own.
int ThinPicturePass(Run& run) {
    Picture p;
    if (!SampledPicture(run, p)) return -1;
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

// A picture of one grey holds no symbol, and its lines would only be cut
// into bars of rounding noise.
bool OneGrey(std::span<const int32_t> raster) {
    return std::adjacent_find(raster.begin(), raster.end(), std::not_equal_to<>()) == raster.end();
}

// The engine's search and the passes, without the interpretations.
int SearchAndPasses(std::span<const int32_t> raster, int32_t height, int32_t width, int32_t maxGrey,
                    ReaderConfig* config, std::span<MatchRecord> records, int maxRecords,
                    bool thorough) {
    thread_local Scratch scratch;
    scratch.memo.Clear();
    const int found = thorough
                          ? zeph::locate::SearchThorough(raster, height, width, maxGrey, config,
                                                         records, maxRecords, &scratch.memo)
                          : XR_Search(raster, height, width, maxGrey, config, records);
    if (found < 0) return found;
    if (!thorough && found > 0) return found;
    if (!config || records.empty() || OneGrey(raster)) return found;

    scratch.ledger.Clear();
    scratch.lines.clear();
    scratch.databarRows.Clear();
    scratch.profileReads.clear();
    Run run{{raster, height, width}, *config, scratch, records.first(static_cast<size_t>(found))};
    const int tileSize = thorough ? 15 : 20;
    if (CandidatePass(run, tileSize) < 0) return -1;
    if (AddOnPass(run) < 0) return -1;
    if (ThinPicturePass(run) < 0) return -1;
    if (GridPass(run) < 0) return -1;
    if (zeph::databar::SecondLook(run) < 0) return -1;
    const size_t accepted = scratch.ledger.AcceptedCount();
    scratch.KeepProfileReads(run.kept);
    if (LateAddOnPass(run, accepted) < 0) return -1;
    scratch.KeepProfileReads(run.kept);
    // Reads on the bars of another read, with another text, are contested
    // as reads at its place are.
    scratch.ledger.WithdrawContested(
        [&](const MatchRecord& a, const MatchRecord& b) {
            return OnTheSameBars(run.picture, a, b, scratch.continuity);
        },
        run.kept);
    return scratch.ledger.AppendTo(records, found, thorough ? maxRecords : 1);
}

// A large picture full of noise is read again at half size (see
// noise_layer.h); its barcodes that the list does not hold yet are added,
// their points in the picture's own pixels. Returns the new count, -1 on
// failure.
int ReadHalfLayer(std::span<const int32_t> raster, int32_t height, int32_t width, int32_t maxGrey,
                  ReaderConfig* config, std::span<MatchRecord> records, int count, int maxRecords,
                  bool thorough) {
    const Picture picture{raster, height, width};
    if (!WantsHalfLayer(picture, maxGrey)) return count;
    thread_local std::vector<int32_t> values;
    thread_local std::vector<MatchRecord> found;
    Picture half;
    try {
        found.resize(records.size());
    } catch (...) {
        return -1;
    }
    if (!HalfSize(picture, values, half)) return -1;
    const int n = SearchAndPasses(values, half.height, half.width, maxGrey, config, found,
                                  maxRecords, thorough);
    if (n < 0) return n;
    maxRecords = std::min(maxRecords, static_cast<int>(records.size()));
    const auto full = [](int32_t v, int32_t size) { return std::clamp(2 * v + 1, 0, size - 1); };
    for (int i = 0; i < n && count < maxRecords; ++i) {
        MatchRecord r = found[static_cast<size_t>(i)];
        r.startX = full(r.startX, width);
        r.stopX = full(r.stopX, width);
        r.centreX = full(r.centreX, width);
        r.startY = full(r.startY, height);
        r.stopY = full(r.stopY, height);
        r.centreY = full(r.centreY, height);
        const auto held = records.first(static_cast<size_t>(count));
        if (std::any_of(held.begin(), held.end(),
                        [&](const MatchRecord& k) { return zeph::SameBarcode(k, r); })) {
            continue;
        }
        records[static_cast<size_t>(count++)] = r;
    }
    return count;
}

}  // namespace

// The interpretations (Code 32, ITF-14, ...) apply to every record, the
// engine's own search's included: like an add-on that completes a kept
// record, they tell more of a barcode the list already holds.
int XR_SearchExtended(std::span<const int32_t> raster, int32_t height, int32_t width,
                      int32_t maxGrey, ReaderConfig* config, std::span<MatchRecord> records,
                      int maxRecords, bool thorough) {
    int count =
        SearchAndPasses(raster, height, width, maxGrey, config, records, maxRecords, thorough);
    // The standard flavour stops at its first barcode.
    if (count >= 0 && config && !records.empty() && (thorough || count == 0)) {
        count = ReadHalfLayer(raster, height, width, maxGrey, config, records, count,
                              thorough ? maxRecords : 1, thorough);
    }
    if (count > 0 && config) {
        zeph::further::Interpret(records.first(static_cast<size_t>(count)), config->protocolMask);
    }
    return count;
}
