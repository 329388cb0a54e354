#include <cmath>

#include "engine/core/match_list.h"

#include "engine/reader.h"

namespace {

struct Line {
    double length;
    double midX;
    double midY;
};

Line LineOf(const MatchRecord& r) {
    const double dx = double(r.stopX) - r.startX;
    const double dy = double(r.stopY) - r.startY;
    return {std::sqrt(dx * dx + dy * dy), (double(r.startX) + r.stopX) / 2.0,
            (double(r.startY) + r.stopY) / 2.0};
}

// The text before an appended add-on (" + ..."), or the whole text.
std::string_view MainPart(std::string_view text) {
    return text.substr(0, text.find(" + "));
}

bool HasAddOn(const MatchRecord& r) {
    return XR_TextOf(r.rawData).find(" + ") != std::string_view::npos;
}

bool Close(const Line& a, const Line& b) {
    const double distance = std::hypot(a.midX - b.midX, a.midY - b.midY);
    return 0.15 * (a.length + b.length) > distance;
}

bool SameBarcode(const MatchRecord& kept, const Line& keptLine, const MatchRecord& added,
                 const Line& addedLine) {
    if (XR_TextOf(kept.symbology) == XR_TextOf(added.symbology) &&
        XR_TextOf(kept.rawData) == XR_TextOf(added.rawData)) {
        return true;
    }
    // A line that missed the add-on reads the same symbol without it.
    if (MainPart(XR_TextOf(kept.symbology)) == MainPart(XR_TextOf(added.symbology)) &&
        MainPart(XR_TextOf(kept.rawData)) == MainPart(XR_TextOf(added.rawData))) {
        return true;
    }
    return Close(keptLine, addedLine);
}

}  // namespace

bool zeph::SameBarcode(const MatchRecord& kept, const MatchRecord& added) {
    return ::SameBarcode(kept, LineOf(kept), added, LineOf(added));
}

bool zeph::SamePlace(const MatchRecord& a, const MatchRecord& b) {
    return Close(LineOf(a), LineOf(b));
}

int XR_MergeMatch(std::span<MatchRecord> records, int n) {
    if (n < 1) return 0;
    // A count past the list is a caller's slip; the last slot is the new match.
    if (static_cast<size_t>(n) > records.size()) n = static_cast<int>(records.size());
    if (n < 1) return 0;
    const MatchRecord& added = records[n - 1];
    const Line addedLine = LineOf(added);
    for (int k = n - 2; k >= 0; --k) {
        if (!SameBarcode(records[k], LineOf(records[k]), added, addedLine)) continue;
        // The read that includes an add-on is the more complete one, whatever
        // the confidences; otherwise the more confident read stays.
        const bool addOnGained = HasAddOn(added) && !HasAddOn(records[k]);
        const bool addOnLost = !HasAddOn(added) && HasAddOn(records[k]);
        if (addOnGained || (!addOnLost && added.confidence > records[k].confidence)) {
            records[k] = added;
        }
        return n - 1;
    }
    return n;
}
