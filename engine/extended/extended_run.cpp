#include "engine/extended/extended_run.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zeph::extended {

void Scratch::Keep(const LineRead& read, int line) {
    if (read.databarRow) {
        databarRows.Add(*read.databarRow, line);
    } else if (read.fromProfile) {
        profileReads.push_back({read, line});
    } else {
        ledger.Add(read, line);
    }
}

void Scratch::KeepProfileReads(std::span<const MatchRecord> kept) {
    for (const HeldRead& held : profileReads)
        ledger.AddProfileRead(held.read, held.line, kept);
    profileReads.clear();
}

bool Run::Covered(double x, double y) const {
    for (const MatchRecord& r : kept) {
        if (LiesOn(r, x, y)) return true;
    }
    return scratch.ledger.Covers(x, y);
}

bool Run::Seen(const Line& line) const {
    return std::any_of(scratch.lines.begin(), scratch.lines.end(), [&](const Line& l) {
        return std::abs(l.x0 - line.x0) + std::abs(l.y0 - line.y0) <= kSameLine &&
               std::abs(l.x1 - line.x1) + std::abs(l.y1 - line.y1) <= kSameLine;
    });
}

int Run::ReadLine(const Line& line, int32_t paths, bool startAtBorder, bool stopAtBorder,
                  float samplesPerPixel, const MatchRecord* completing) {
    if (Seen(line)) return 0;
    LineOptions options;
    options.pathCount = paths;
    options.samplesPerPixel = samplesPerPixel;
    options.startAtBorder = startAtBorder;
    options.stopAtBorder = stopAtBorder;
    options.read = kept;
    scratch.reads.clear();
    try {
        scratch.lines.push_back(line);
    } catch (...) {
        return -1;
    }
    const int longest = scratch.reader.Read(picture, line, config, options, scratch.reads);
    if (longest < 0) return -1;
    for (const LineRead& read : scratch.reads) {
        if (completing && !Completes(read.record, *completing)) continue;
        scratch.Keep(read, static_cast<int>(scratch.lines.size()));
    }
    return longest;
}

bool Run::Take(const Line& line, std::span<const LineRead> reads) {
    try {
        scratch.lines.push_back(line);
    } catch (...) {
        return false;
    }
    for (const LineRead& read : reads)
        scratch.Keep(read, static_cast<int>(scratch.lines.size()));
    return true;
}

bool SampledPicture(Run& run, Picture& picture) {
    const Picture& p = run.picture;
    picture = p;
    if (p.height != 1 && p.width != 1) return true;
    const size_t size = p.values.size();
    try {
        run.scratch.widened.resize(2 * size);
    } catch (...) {
        return false;
    }
    std::vector<int32_t>& w = run.scratch.widened;
    if (p.height == 1) {
        std::copy(p.values.begin(), p.values.end(), w.begin());
        std::copy(p.values.begin(), p.values.end(), w.begin() + static_cast<std::ptrdiff_t>(size));
        picture = {w, 2, p.width};
    } else {
        for (size_t i = 0; i < size; ++i)
            w[2 * i] = w[2 * i + 1] = p.values[i];
        picture = {w, p.height, 2};
    }
    return true;
}

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

}  // namespace zeph::extended
