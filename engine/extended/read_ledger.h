// The reads of the extended passes, and the evidence each needs before it is
// reported. Every read shows quiet zones on both sides (or the picture's
// border; see LineReader). A read that a check character protects stands on
// one line. Two independent lines with the same text are needed for a read
// that nothing protects (Code 39 without its check, Interleaved 2 of 5,
// Codabar, an add-on on its own), for a short symbol found inside a longer
// run of bars, for a symbol whose quiet zone is the picture's border, and for
// a read of a reshaped signal. A GS1 DataBar read stands on one line from any
// signal (see engine/databar/records.h). Where lines disagree about one
// place, the text fewer lines read is not reported.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "engine/extended/line_reader.h"
#include "engine/reader.h"

namespace zeph::extended {

// The raw data without an add-on.
std::string_view MainText(const MatchRecord& record);

class ReadLedger {
  public:
    // Symbols of this many bars or fewer are short: a run of bars often holds
    // one by chance.
    static constexpr int32_t kShortSymbolBars = 22;

    void Clear() {
        entries_.clear();
        acceptedCount_ = 0;
    }
    // Takes a read of line number `line` (reads of one line come together).
    void Add(const LineRead& read, int line);
    // The same for a read from the grey profile, taken after the template
    // decoders' reads: where a kept record or an accepted read holds another
    // text at its place, the templates have read that symbol and the read is
    // dropped.
    void AddProfileRead(const LineRead& read, int line, std::span<const MatchRecord> kept);
    // Takes a main symbol's record completed with an add-on read beside it
    // from the grey profile, accepted as it stands: the main symbol's read
    // and the evidence its reader weighed (see AddOnFits) protect it.
    void AddCompletion(const MatchRecord& whole, int line);
    bool AnyAccepted() const { return acceptedCount_ > 0; }
    // Whether (x, y) lies on the line of an accepted read.
    bool Covers(double x, double y) const;
    // The accepted reads, in the order they were accepted.
    size_t AcceptedCount() const { return static_cast<size_t>(acceptedCount_); }
    const MatchRecord& Accepted(size_t order) const;
    // Whether an accepted read holds the record's symbol with an add-on.
    bool HasAddOnOf(const MatchRecord& record) const;

    // Withdraws the accepted reads that lie on the bars of another text's
    // read (sameBars(a, b): whether their lines cross one symbol's bars)
    // where that text has as many lines, or is a kept record: the place of a
    // read is its symbol, not only its line. Called once, before AppendTo.
    template <typename SameBars>
    void WithdrawContested(SameBars&& sameBars, std::span<const MatchRecord> kept) {
        for (Entry& e : entries_) {
            if (!e.accepted) continue;
            const std::string_view text = MainText(e.best);
            e.outvoted = Contested(e, sameBars) ||
                         std::any_of(kept.begin(), kept.end(), [&](const MatchRecord& r) {
                             return MainText(r) != text && sameBars(r, e.best);
                         });
        }
        for (Entry& e : entries_) {
            if (e.outvoted) e.accepted = false;
        }
    }

    // Appends the accepted barcodes that no record of records[0..count) already
    // holds (by the result list's sameness rule), in the order they were
    // accepted, up to maxRecords in all. An accepted read of a record's symbol
    // with an add-on, on the record's line, completes a record without one.
    // Returns the new count.
    int AppendTo(std::span<MatchRecord> records, int count, int maxRecords) const;

  private:
    static constexpr size_t kLinesKept = 4;
    struct Entry {
        MatchRecord best;  // the most confident read of the text, a template read before any
        bool bestFromProfile = false;
        std::array<MatchRecord, kLinesKept> lines;  // reads with quiet zones, no two independent
        size_t lineCount = 0;
        bool accepted = false;
        int order = 0;    // acceptance order
        int support = 0;  // lines that read the text
        int lastLine = -1;
        bool outvoted = false;  // see WithdrawContested
    };
    Entry* Find(const MatchRecord& record);
    // Whether another text was read at the entry's place (samePlace(rival,
    // entry)) by at least as many lines: a symbol whose lines disagree is not
    // reported on the weaker side.
    template <typename Place>
    bool Contested(const Entry& entry, Place&& samePlace) const {
        const std::string_view text = MainText(entry.best);
        return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& rival) {
            return &rival != &entry && rival.support >= entry.support &&
                   MainText(rival.best) != text && samePlace(rival.best, entry.best);
        });
    }

    std::vector<Entry> entries_;
    int acceptedCount_ = 0;
};

// Whether (x, y) lies on the barcode the record's line crosses: within a tenth
// of the line's length of it, between its ends.
bool LiesOn(const MatchRecord& record, double x, double y);

// Whether `whole` reads the symbol of `part` with an add-on that `part` lacks.
bool Completes(const MatchRecord& whole, const MatchRecord& part);

// Whether a check character (or the EAN/UPC parity and quiet zones) protects
// the read's text.
bool IsProtected(const MatchRecord& record);

}  // namespace zeph::extended
