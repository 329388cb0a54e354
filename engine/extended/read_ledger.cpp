#include "engine/extended/read_ledger.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "engine/core/match_list.h"
#include "engine/databar/records.h"
#include "engine/further/further.h"

namespace zeph::extended {

// A read with and without its add-on agree on this.
std::string_view MainText(const MatchRecord& r) {
    const std::string_view raw = XR_TextOf(r.rawData);
    return raw.substr(0, raw.find(" + "));
}

namespace {

bool HasAddOn(const MatchRecord& r) {
    return XR_TextOf(r.rawData).find(" + ") != std::string_view::npos;
}

}  // namespace

bool Completes(const MatchRecord& whole, const MatchRecord& part) {
    const std::string_view symbology = XR_TextOf(part.symbology);
    return HasAddOn(whole) && !HasAddOn(part) && MainText(whole) == MainText(part) &&
           XR_TextOf(whole.symbology).starts_with(symbology) &&
           XR_TextOf(whole.symbology).substr(symbology.size()).starts_with(" + ");
}

namespace {

bool SameText(const MatchRecord& a, const MatchRecord& b) {
    return XR_TextOf(a.symbology) == XR_TextOf(b.symbology) &&
           XR_TextOf(a.rawData) == XR_TextOf(b.rawData);
}

// Whether two reads of a symbol come from lines that share no pixel: their
// centres lie apart across the first line by more than the paths of either
// line spread.
bool Independent(const MatchRecord& a, const MatchRecord& b, int32_t paths) {
    const double dx = double(a.stopX) - a.startX;
    const double dy = double(a.stopY) - a.startY;
    const double length = std::hypot(dx, dy);
    if (!(length > 0)) return false;
    const double across =
        std::fabs((double(b.centreX) - a.centreX) * dy - (double(b.centreY) - a.centreY) * dx) /
        length;
    return across >= std::max(2, paths);
}

// How close to a record's line a point lies on it, in lengths of the line.
constexpr double kOnLine = 0.1;

}  // namespace

bool LiesOn(const MatchRecord& r, double x, double y) {
    const double dx = double(r.stopX) - r.startX;
    const double dy = double(r.stopY) - r.startY;
    const double length2 = dx * dx + dy * dy;
    if (length2 <= 0) return false;
    const double t = ((x - r.startX) * dx + (y - r.startY) * dy) / length2;
    if (t < 0 || t > 1) return false;
    const double across = std::fabs((x - r.startX) * dy - (y - r.startY) * dx);
    return across < kOnLine * length2;
}

bool ReadLedger::Covers(double x, double y) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return e.accepted && LiesOn(e.best, x, y); });
}

const MatchRecord& ReadLedger::Accepted(size_t order) const {
    const auto e = std::find_if(entries_.begin(), entries_.end(), [order](const Entry& x) {
        return x.accepted && x.order == static_cast<int>(order);
    });
    return e->best;
}

bool ReadLedger::HasAddOnOf(const MatchRecord& record) const {
    return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.accepted && Completes(e.best, record) &&
               LiesOn(e.best, record.centreX, record.centreY);
    });
}

bool IsProtected(const MatchRecord& record) {
    const std::string_view symbology = XR_TextOf(record.symbology);
    if (symbology == "CODE-39") return XR_TextOf(record.barcodeType) != "Generic";
    return symbology == "CODE-128" || symbology == "CODE-93" || symbology.starts_with("EAN") ||
           symbology.starts_with("UPC-") || further::IsProtected(record);
}

ReadLedger::Entry* ReadLedger::Find(const MatchRecord& record) {
    for (Entry& e : entries_) {
        if (SameText(e.best, record)) return &e;
    }
    return nullptr;
}

void ReadLedger::Add(const LineRead& read, int line) {
    Entry* entry = Find(read.record);
    if (!entry) {
        entries_.push_back({read.record, read.fromProfile, {}, 0, false, 0, 0, -1, false});
        entry = &entries_.back();
    } else if ((entry->bestFromProfile && !read.fromProfile) ||
               (entry->bestFromProfile == read.fromProfile &&
                read.record.confidence > entry->best.confidence)) {
        // A fit's confidence is no template score: it never displaces a
        // template read of the same text.
        entry->best = read.record;
        entry->bestFromProfile = read.fromProfile;
    }
    if (entry->lastLine != line) {
        ++entry->support;
        entry->lastLine = line;
    }
    if (entry->accepted) return;

    const bool shortInRun = read.trimmed && read.bars <= kShortSymbolBars;
    // A symbol cut by the picture's border may be part of something longer.
    const bool atBorder =
        read.quiet.before < WindowFinder::kQuietZone || read.quiet.after < WindowFinder::kQuietZone;
    // Signals the line reader reshaped (a local threshold, crisp bars) make
    // more of faint structure, good and bad.
    // So do decoders that fit the profile rather than match templates.
    const bool reshaped = read.variant != LineOptions::kPlain || read.fromProfile;
    // DataBar needs no quiet zone, and its checksums protect it on any signal.
    if (databar::IsDataBar(read.record) ||
        (IsProtected(read.record) && !shortInRun && !atBorder && !reshaped)) {
        entry->accepted = true;
        entry->order = acceptedCount_++;
        return;
    }
    const auto end = entry->lines.begin() + static_cast<std::ptrdiff_t>(entry->lineCount);
    // Any kept line the new one shares no pixel with makes a pair: lines kept
    // close together may each have a partner apart from the others.
    const bool paired = std::any_of(entry->lines.begin(), end, [&](const MatchRecord& seen) {
        return Independent(seen, read.record, read.pathCount);
    });
    if (paired) {
        entry->accepted = true;
        entry->order = acceptedCount_++;
    } else if (entry->lineCount < kLinesKept) {
        entry->lines[entry->lineCount++] = read.record;
    }
}

void ReadLedger::AddCompletion(const MatchRecord& whole, int line) {
    Entry* entry = Find(whole);
    if (!entry) {
        entries_.push_back({whole, true, {}, 0, false, 0, 0, -1, false});
        entry = &entries_.back();
    }
    if (entry->lastLine != line) {
        ++entry->support;
        entry->lastLine = line;
    }
    if (entry->accepted) return;
    entry->accepted = true;
    entry->order = acceptedCount_++;
}

void ReadLedger::AddProfileRead(const LineRead& read, int line, std::span<const MatchRecord> kept) {
    const std::string_view text = MainText(read.record);
    const auto other = [&](const MatchRecord& r) {
        return MainText(r) != text && SamePlace(r, read.record);
    };
    if (std::any_of(kept.begin(), kept.end(), other) ||
        std::any_of(entries_.begin(), entries_.end(),
                    [&](const Entry& e) { return e.accepted && other(e.best); })) {
        return;
    }
    Add(read, line);
}

int ReadLedger::AppendTo(std::span<MatchRecord> records, int count, int maxRecords) const {
    maxRecords = std::min(maxRecords, static_cast<int>(records.size()));
    const int kept = count;
    for (MatchRecord& r : records.first(static_cast<size_t>(kept))) {
        const auto whole = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
            return e.accepted && Completes(e.best, r) && LiesOn(e.best, r.centreX, r.centreY);
        });
        if (whole == entries_.end()) continue;
        // The texts and the line of the whole symbol; the confidence stays the
        // main symbol's, as the decoders give it.
        const float confidence = r.confidence;
        const float redundancy = r.redundancy;
        r = whole->best;
        r.confidence = confidence;
        r.redundancy = redundancy;
    }
    for (int order = 0; order < acceptedCount_ && count < maxRecords; ++order) {
        const auto e = std::find_if(entries_.begin(), entries_.end(), [order](const Entry& x) {
            return x.accepted && x.order == order;
        });
        if (e == entries_.end()) continue;
        const bool tied =
            std::any_of(records.begin(), records.begin() + kept,
                        [&](const MatchRecord& r) { return SameBarcode(r, e->best); });
        if (tied || Contested(*e, SamePlace)) continue;
        // Among the added reads the result list's own rule merges repeats,
        // keeping the read with an add-on or the more confident one.
        records[static_cast<size_t>(count)] = e->best;
        count = kept + XR_MergeMatch(records.subspan(static_cast<size_t>(kept)), count - kept + 1);
    }
    return count;
}

}  // namespace zeph::extended
