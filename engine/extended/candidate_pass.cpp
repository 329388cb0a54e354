// The candidate pass of the extended search, on the calling thread or with its
// lines read ahead on a crew.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "engine/extended/extended_run.h"
#include "engine/parallel/work_crew.h"

namespace zeph::extended {
namespace {

// Contrast threshold of the candidate pass, as a share of the largest grey:
// a fifth of the engine's default.
constexpr float kCandidateSensitivity = 0.015f;
constexpr size_t kMostCandidates = 16;
// Parallel lines through a candidate, this far apart along the bars; with
// paths spread over less than that, no two lines share a pixel row.
constexpr std::array<int32_t, kLinesPerCandidate> kOffsets = {0, -10, 10};
constexpr int32_t kPathCount = 9;
// Lines longer than this are read only as far as the structure around their
// candidate reaches (see ExtentFinder); shorter ones whole.
constexpr double kWholeLine = 1200;
// Samples per pixel: about eight per mean transition spacing around the
// candidate, within kFewestSamplesPerPixel and kMostSamplesPerPixel.
constexpr double kSamplesPerRun = 8;
constexpr double kFewestSamplesPerPixel = 1.0;

// The line at `offset` from candidate c along its bars; false when there is
// none (the point lies off the picture, or off the line).
bool DrawLine(const Picture& picture, const Candidate& c, int32_t offset, ExtentFinder& extents,
              LineToRead& out) {
    const double px = c.x + offset * -std::sin(c.theta);
    const double py = c.y + offset * std::cos(c.theta);
    Line line;
    if (!LineThrough(px, py, c.theta, picture, line)) return false;
    Extent extent;
    if (!extents.Find(picture, line, static_cast<int32_t>(std::lround(px)),
                      static_cast<int32_t>(std::lround(py)), extent)) {
        return false;
    }
    if (std::hypot(double(line.x1 - line.x0), double(line.y1 - line.y0)) <= kWholeLine)
        extent = {line, true, true, extent.meanRun};
    out.extent = extent;
    out.density = static_cast<float>(
        std::clamp(kSamplesPerRun / extent.meanRun, kFewestSamplesPerPixel, kMostSamplesPerPixel));
    return true;
}

// Whether the lines beside a candidate are worth reading after the one
// through it gave `longest`: only where that crossed enough bars for a symbol.
bool Beside(int longest) {
    return longest >= WindowFinder::kFewestBars;
}

int SerialPass(Run& run) {
    Scratch& s = run.scratch;
    for (const Candidate& c : s.candidates) {
        if (run.Covered(c.x, c.y)) continue;
        for (const int32_t offset : kOffsets) {
            LineToRead line;
            if (!DrawLine(run.picture, c, offset, s.extents, line)) continue;
            const int longest =
                run.ReadLine(line.extent.line, kPathCount, line.extent.startAtBorder,
                             line.extent.stopAtBorder, line.density);
            if (longest < 0) return -1;
            // ... and only until the candidate is read.
            if (offset == 0 && !Beside(longest)) break;
            if (run.Covered(c.x, c.y)) break;
        }
    }
    return 0;
}

// The crew reads the lines through every candidate, then those beside the
// candidates whose line crossed enough bars (or had none), as the serial
// pass may want them; the lines are then taken one by one in the serial
// pass's order and by its rules, so that the ledger ends as it would. Lines
// read ahead that the serial pass would not read are dropped.
int CrewPass(Run& run, WorkCrew& crew) {
    const std::vector<Candidate>& candidates = run.scratch.candidates;
    const size_t count = candidates.size();
    // The plans and their reads keep their storage from the runs before: the
    // list only grows, and the plans of this run start afresh.
    std::vector<std::array<LinePlan, kLinesPerCandidate>>& plans = run.scratch.plans;
    try {
        if (plans.size() < count) plans.resize(count);
    } catch (...) {
        return -1;
    }
    for (size_t i = 0; i < count; ++i) {
        for (LinePlan& p : plans[i]) {
            p.planned = p.drawn = false;
            p.longest = 0;
            p.reads.clear();
        }
    }
    const auto plan = [&](size_t i, size_t o) {
        thread_local ExtentFinder extents;
        thread_local LineReader reader;
        LinePlan& p = plans[i][o];
        p.planned = true;
        p.drawn = DrawLine(run.picture, candidates[i], kOffsets[o], extents, p.line);
        if (!p.drawn) return;
        LineOptions options;
        options.pathCount = kPathCount;
        options.samplesPerPixel = p.line.density;
        options.startAtBorder = p.line.extent.startAtBorder;
        options.stopAtBorder = p.line.extent.stopAtBorder;
        options.read = run.kept;
        try {
            p.longest = reader.Read(run.picture, p.line.extent.line, run.config, options, p.reads);
        } catch (...) {
            p.longest = -1;
        }
    };
    crew.Run(count, [&](size_t i) { plan(i, 0); });
    std::vector<size_t>& beside = run.scratch.beside;
    beside.clear();
    try {
        for (size_t i = 0; i < count; ++i) {
            if (!plans[i][0].drawn || Beside(plans[i][0].longest)) beside.push_back(i);
        }
    } catch (...) {
        return -1;
    }
    crew.Run(2 * beside.size(), [&](size_t k) { plan(beside[k / 2], 1 + k % 2); });

    for (size_t i = 0; i < count; ++i) {
        const Candidate& c = candidates[i];
        if (run.Covered(c.x, c.y)) continue;
        for (size_t o = 0; o < kOffsets.size(); ++o) {
            const LinePlan& p = plans[i][o];
            if (!p.planned) return -1;  // the rules above make this impossible
            if (!p.drawn) continue;
            int longest = 0;
            if (!run.Seen(p.line.extent.line)) {
                if (p.longest < 0 || !run.Take(p.line.extent.line, p.reads)) return -1;
                longest = p.longest;
            }
            if (o == 0 && !Beside(longest)) break;
            if (run.Covered(c.x, c.y)) break;
        }
    }
    return 0;
}

}  // namespace

int CandidatePass(Run& run, int tileSize) {
    Scratch& s = run.scratch;
    const float threshold = kMaxGrey * kCandidateSensitivity;
    if (s.finder.Find(run.picture, run.config, tileSize, threshold, kMostCandidates, s.candidates,
                      &s.memo) < 0) {
        return -1;
    }
    // Candidates on the bars of a symbol the engine's own search read are
    // left out: their lines would read that symbol again.
    std::erase_if(s.candidates, [&](const Candidate& c) {
        return std::any_of(run.kept.begin(), run.kept.end(), [&](const MatchRecord& r) {
            return s.continuity.OnBarsOf(run.picture, r, c.x, c.y, c.theta);
        });
    });
    WorkCrew* crew = run.config.crew;
    return crew && crew->Threads() > 1 && s.candidates.size() > 1 ? CrewPass(run, *crew)
                                                                  : SerialPass(run);
}

}  // namespace zeph::extended
