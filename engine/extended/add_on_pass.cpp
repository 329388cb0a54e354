// The add-on pass: an EAN/UPC symbol read without an add-on may have one after
// a gap the line that read it stopped in (a trimmed line ends at the first
// quiet stretch, and the gap before an add-on is one). Its line is read again,
// drawn on past both ends by the width an add-on and its gap take, through
// the symbol's middle and on rows above and below it (an add-on's bars are
// shorter and may not reach the symbol's middle row). Each line's grey profile
// is also fitted with the add-on's patterns beside the symbol.
#include <cmath>
#include <string_view>

#include "engine/extended/add_on_zone.h"
#include "engine/extended/extended_run.h"

namespace zeph::extended {
namespace {

// Modules a line covers beyond an EAN/UPC symbol's bars (about half a quiet
// zone on either side, as the searches report it).
constexpr double kReportedMargins = 10.0;
// How far past a symbol its add-on ends: a gap of up to 12 modules, five
// digits (47 modules) and a quiet zone after them.
constexpr double kAddOnReach = 12.0 + 47.0 + 7.0;
// Rows read beside the middle one, as shares of the symbol's length: the bars
// of an EAN/UPC symbol stand at least about half its length high.
constexpr double kRowOffsets[] = {0.0, -0.12, 0.12, -0.24, 0.24};
constexpr int32_t kPathCount = 7;
// Records of one picture looked at, at most.
constexpr int kMostSymbols = 8;

// Modules of the symbol the record names, without quiet zones; 0 for one that
// takes no add-on.
double SymbolModules(const MatchRecord& r) {
    const std::string_view symbology = XR_TextOf(r.symbology);
    if (symbology == "EAN-13") return 95;
    if (symbology == "EAN-8") return 67;
    if (symbology == "UPC-E") return 51;
    return 0;
}

// The template read of the record's symbol among the reads of one line, if any.
const MatchRecord* ReadOnLine(std::span<const LineRead> reads, const MatchRecord& r) {
    for (const LineRead& read : reads) {
        if (!read.fromProfile && !read.databarRow &&
            XR_TextOf(read.record.rawData) == XR_TextOf(r.rawData) &&
            XR_TextOf(read.record.symbology) == XR_TextOf(r.symbology)) {
            return &read.record;
        }
    }
    return nullptr;
}

// Reads the lines of one record; -1 on failure.
int ReadAround(Run& run, const MatchRecord& r, double modules) {
    const double dx = double(r.stopX) - r.startX;
    const double dy = double(r.stopY) - r.startY;
    const double length = std::hypot(dx, dy);
    if (!(length >= 2 * modules / 3)) return 0;  // under two samples a module is not read here
    const double ux = dx / length;
    const double uy = dy / length;
    const double module = length / (modules + kReportedMargins);
    const double reach = kAddOnReach * module;
    const Picture& p = run.picture;
    const auto clampX = [&](double x) {
        return static_cast<int32_t>(std::lround(std::fmin(std::fmax(x, 0.0), p.width - 1.0)));
    };
    const auto clampY = [&](double y) {
        return static_cast<int32_t>(std::lround(std::fmin(std::fmax(y, 0.0), p.height - 1.0)));
    };
    if (!MayHoldAddOn(p, r, modules, kReportedMargins, kAddOnReach, kRowOffsets)) return 0;
    const double density = std::fmin(kMostSamplesPerPixel, std::fmax(1.0, 4.0 / module));
    run.scratch.addOns.Start(r, modules);
    for (const double share : kRowOffsets) {
        const double ox = -uy * share * length;
        const double oy = ux * share * length;
        const double x0 = r.startX - ux * reach + ox;
        const double y0 = r.startY - uy * reach + oy;
        const double x1 = r.stopX + ux * reach + ox;
        const double y1 = r.stopY + uy * reach + oy;
        const Line line{clampX(x0), clampY(y0), clampX(x1), clampY(y1)};
        const bool startAtBorder = line.x0 != std::lround(x0) || line.y0 != std::lround(y0);
        const bool stopAtBorder = line.x1 != std::lround(x1) || line.y1 != std::lround(y1);
        const bool seen = run.Seen(line);
        if (run.ReadLine(line, kPathCount, startAtBorder, stopAtBorder, static_cast<float>(density),
                         &r) < 0) {
            return -1;
        }
        if (run.scratch.ledger.HasAddOnOf(r)) break;
        // Where blur merged the add-on's bars, its profile may still read.
        if (seen) continue;
        MatchRecord whole;
        if (run.scratch.addOns.Read(run.scratch.reader.SamplesOf(line), line, kPathCount,
                                    ReadOnLine(run.scratch.reads, r), whole)) {
            run.scratch.ledger.AddCompletion(whole, static_cast<int>(run.scratch.lines.size()));
            break;
        }
    }
    return 0;
}

// Looks at the records from the ledger's accepted reads from order `first`
// on, copied: reading adds to the ledger.
int ReadAccepted(Run& run, size_t first, int& looked) {
    for (size_t i = first; i < run.scratch.ledger.AcceptedCount(); ++i) {
        const MatchRecord r = run.scratch.ledger.Accepted(i);
        const double modules = SymbolModules(r);
        if (modules == 0 || XR_TextOf(r.rawData).find(" + ") != std::string_view::npos) continue;
        if (++looked > kMostSymbols) return 0;
        if (ReadAround(run, r, modules) < 0) return -1;
    }
    return 0;
}

}  // namespace

int AddOnPass(Run& run) {
    int looked = 0;
    for (const MatchRecord& r : run.kept) {
        const double modules = SymbolModules(r);
        if (modules == 0 || XR_TextOf(r.rawData).find(" + ") != std::string_view::npos) continue;
        if (++looked > kMostSymbols) return 0;
        if (ReadAround(run, r, modules) < 0) return -1;
    }
    return ReadAccepted(run, 0, looked);
}

int LateAddOnPass(Run& run, size_t firstAccepted) {
    int looked = 0;
    return ReadAccepted(run, firstAccepted, looked);
}

}  // namespace zeph::extended
