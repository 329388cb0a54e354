// What the passes of one extended search share: the picture and settings, the
// records of the engine's own search, and the lines read so far with what they
// read.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/databar/row_collector.h"
#include "engine/extended/add_on_fits.h"
#include "engine/extended/bar_continuity.h"
#include "engine/extended/candidates.h"
#include "engine/extended/line_extent.h"
#include "engine/extended/line_reader.h"
#include "engine/extended/picture.h"
#include "engine/extended/read_ledger.h"
#include "engine/locate/orientation_memo.h"
#include "engine/reader.h"

namespace zeph::extended {

// The densest sampling of a line, in samples per pixel.
inline constexpr double kMostSamplesPerPixel = 2.5;

// The part of a line through a candidate to read, and how densely.
struct LineToRead {
    Extent extent;
    float density = 0;
};

// Lines through a candidate: its own and one on either side.
inline constexpr size_t kLinesPerCandidate = 3;

// One line through a candidate, read ahead of its turn on a crew.
struct LinePlan {
    bool planned = false;  // read ahead (or found to be no line)
    bool drawn = false;
    LineToRead line;
    int longest = 0;  // -1: the read failed
    std::vector<LineRead> reads;
};

// Working storage of the extended search, one per thread.
struct Scratch {
    LineReader reader;
    CandidateFinder finder;
    ExtentFinder extents;
    BarContinuity continuity;
    ReadLedger ledger;
    locate::OrientationMemo memo;  // what the engine's search measured
    std::vector<Candidate> candidates;
    std::vector<LineRead> reads;
    std::vector<Line> lines;            // every line read in this run
    std::vector<int32_t> widened;       // a picture one pixel thin, doubled
    databar::RowCollector databarRows;  // rows of stacked DataBar symbols, and hints
    AddOnFits addOns;                   // add-ons read from the add-on pass's profiles
    // Reads from the grey profile, held back until every pass has read its
    // lines: an accepted read ends a candidate's lines, and these must not end
    // them before the template decoders had their turn.
    struct HeldRead {
        LineRead read;
        int line;
    };
    std::vector<HeldRead> profileReads;
    // The crew's lines through each candidate, kept with their reads' storage
    // from run to run; and the candidates whose lines beside it are read.
    std::vector<std::array<LinePlan, kLinesPerCandidate>> plans;
    std::vector<size_t> beside;

    // Takes a read of line number `line`: rows of stacked DataBar symbols and
    // hints go to their collector, reads from the grey profile are held back,
    // everything else goes to the ledger.
    void Keep(const LineRead& read, int line);
    // Gives the held reads to the ledger, after the reads of every pass.
    void KeepProfileReads(std::span<const MatchRecord> kept);
};

struct Run {
    // Lines whose ends lie this close (in pixels, x and y summed) are one line.
    static constexpr int32_t kSameLine = 2;

    Picture picture;
    const ReaderConfig& config;
    Scratch& scratch;
    std::span<const MatchRecord> kept;  // the records of the engine's own search

    // Whether (x, y) lies on the line of a kept record or of an accepted read.
    bool Covered(double x, double y) const;
    // Whether the line was read before.
    bool Seen(const Line& line) const;
    // Reads one line into the ledger; -1 on failure, else the number of bars
    // in its longest run. A line read before is not read again (0). With
    // `completing`, only reads of that record's symbol with an add-on are kept.
    int ReadLine(const Line& line, int32_t paths, bool startAtBorder, bool stopAtBorder,
                 float samplesPerPixel, const MatchRecord* completing = nullptr);
    // The same for a line read elsewhere into `reads`, not seen before; false
    // when memory runs out.
    bool Take(const Line& line, std::span<const LineRead> reads);
};

// The picture as lines are sampled from it: sampling reads 2 x 2 cells, so a
// picture a single pixel thin is read doubled (its values in
// scratch.widened), any other as it is. False when memory runs out.
bool SampledPicture(Run& run, Picture& picture);

// The full line through (x, y) across the bars at angle theta, or false when
// the point lies outside the picture.
bool LineThrough(double x, double y, double theta, const Picture& p, Line& line);

// Lines through the strongest candidates of the tile grid of this size (the
// one the engine's search just measured), each first through the candidate
// and then, where that crossed enough bars for a symbol, on either side of it
// until the candidate is read. With a crew in the settings the lines are read
// ahead on the crew and taken in the same order. -1 on failure.
int CandidatePass(Run& run, int tileSize);

// Lines past both ends of every EAN/UPC symbol read without an add-on, on its
// middle row and on rows beside it, for the add-on after it. -1 on failure.
int AddOnPass(Run& run);
// The same for the reads accepted from order `firstAccepted` on: symbols
// read from the grey profile alone, which the ledger takes after every pass.
int LateAddOnPass(Run& run, size_t firstAccepted);

}  // namespace zeph::extended
