#include "engine/databar/expanded_rows.h"

#include <algorithm>
#include <new>

#include "engine/databar/characters.h"
#include "engine/databar/finders.h"
#include "engine/databar/guards.h"

namespace zeph::databar {
namespace {

constexpr int kCharacter = kExpandedCharacterElements;
constexpr CharacterShape kShape{kCharacter, 17, 8};
// From one pair's finder to the next one's: a character, the finder, a character.
constexpr int32_t kPairStep = 2 * kCharacter + kFinderElements;

void CopyWidths(const Measured& m, std::array<int8_t, kCharacter>& out) {
    for (int i = 0; i < kCharacter; ++i)
        out[static_cast<size_t>(i)] = static_cast<int8_t>(m.widths[i]);
}

}  // namespace

bool ExpandedRowFinder::Find(const EdgeList& list, std::span<const int32_t> candidates,
                             std::vector<ExpandedRow>& rows, std::vector<FinderSeen>& seen) {
    found_.clear();
    try {
        for (const int32_t f : candidates) {
            if (f < kCharacter + 1 || f + kFinderElements + 1 >= list.Count()) continue;
            // A pair reads this way when its finder is drawn as it is and
            // begins with a space (the symbol's first, third, ... pair), or
            // mirrored with a bar where it begins (second, fourth, ...).
            const bool mirrored = EdgeList::IsBar(f);
            FinderMatch finder;
            if (!MatchFinder(list, f, mirrored, kExpandedFinders, finder)) continue;
            seen.push_back({f, mirrored, finder.module});
            Found x;
            x.at = f;
            x.pair.finder = finder.value;
            x.pair.odd = mirrored;
            x.leftRead = MeasureCharacter(list, f - kCharacter, kShape, finder.inkSpread, x.left);
            if (x.leftRead) {
                x.pair.left = CharacterValue(x.left.Widths(), kExpandedSet);
                x.leftRead = x.pair.left >= 0;
                CopyWidths(x.left, x.pair.leftWidths);
            }
            x.rightRead =
                MeasureCharacter(list, f + kFinderElements, kShape, finder.inkSpread, x.right);
            if (x.rightRead) {
                Measured reading = x.right;
                reading.Reverse();
                x.pair.right = CharacterValue(reading.Widths(), kExpandedSet);
                x.rightRead = x.pair.right >= 0;
                CopyWidths(reading, x.pair.rightWidths);
            }
            x.residual = finder.residual;
            if (x.leftRead) found_.push_back(x);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Runs of pairs one step apart, alternately drawn as they are and
    // mirrored. Every pair starts a run: one matched by chance before a row
    // must not hide the row's own start, and runs from inside a row have no
    // guard before them.
    const auto next = [&](size_t i) -> size_t {
        if (!found_[i].rightRead) return found_.size();
        const int32_t at = found_[i].at + kPairStep;
        const auto it = std::lower_bound(found_.begin(), found_.end(), at,
                                         [](const Found& x, int32_t a) { return x.at < a; });
        if (it == found_.end() || it->at != at || it->pair.odd == found_[i].pair.odd) {
            return found_.size();
        }
        return static_cast<size_t>(it - found_.begin());
    };
    try {
        for (size_t i = 0; i < found_.size(); ++i) {
            chain_.clear();
            for (size_t j = i;
                 j < found_.size() && chain_.size() <= static_cast<size_t>(kMostPairs);
                 j = next(j)) {
                chain_.push_back(j);
            }
            EndRow(list, rows);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void ExpandedRowFinder::EndRow(const EdgeList& list, std::vector<ExpandedRow>& rows) {
    if (chain_.empty() || chain_.size() > static_cast<size_t>(kMostPairs)) return;
    const Found& head = found_[chain_.front()];
    int32_t opening = 0;
    if (!OpeningGuard(list, head.at - kCharacter, head.left.module, head.left.widths[0], opening)) {
        return;
    }
    // The last pair ends with its right character and a guard, or with its
    // finder and a guard.
    const Found& tail = found_[chain_.back()];
    int32_t closing = 0;
    const int32_t afterRight = tail.at + kFinderElements + kCharacter;
    const bool withRight =
        tail.rightRead && ClosingGuard(list, afterRight, tail.right.module,
                                       tail.right.widths[kCharacter - 1], closing);
    if (!withRight &&
        !ClosingGuard(list, tail.at + kFinderElements, tail.left.module, 1, closing)) {
        return;
    }
    ExpandedRow row;
    row.pairCount = static_cast<int>(chain_.size());
    double residual = 0;
    double module = 0;
    int characters = 0;
    for (size_t k = 0; k < chain_.size(); ++k) {
        const Found& x = found_[chain_[k]];
        ExpandedPair& p = row.pairs[k];
        p = x.pair;
        p.hasRight = k + 1 < chain_.size() || withRight;
        residual += x.left.residual + x.residual / 2;
        module += x.left.module;
        ++characters;
        if (p.hasRight) {
            residual += x.right.residual;
            module += x.right.module;
            ++characters;
        }
    }
    row.first = opening;
    row.last = closing;
    row.residual = residual / characters;
    row.module = module / characters;
    rows.push_back(row);
}

}  // namespace zeph::databar
