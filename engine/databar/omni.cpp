#include "engine/databar/omni.h"

#include "engine/databar/characters.h"
#include "engine/databar/checksums.h"
#include "engine/databar/finders.h"
#include "engine/databar/guards.h"

namespace zeph::databar {
namespace {

constexpr int kCharacterElements = 8;
constexpr CharacterShape kOuterShape{kCharacterElements, 16, 8};
constexpr CharacterShape kInnerShape{kCharacterElements, 15, 8};
// Checksum weights: the characters 1, 2, 3 and 4 in turn, eight elements each.
constexpr int32_t kFirstWeight[] = {0, 8, 16, 24};
// The left pair of characters and the right one make the number as
// left * kPairBase + right; the pair as outer * kInnerValues + inner.
constexpr int64_t kPairBase = 4537077;
constexpr int64_t kInnerValues = 1597;
// A linked symbol (a composite component above it) adds this to its number.
constexpr int64_t kLinkage = 10000000000000;

// The half of the finder at `f` on the list, when its characters read.
bool ReadHalf(const EdgeList& list, int32_t f, const FinderMatch& finder, OmniHalf& half) {
    const bool right = finder.mirrored;
    Measured before;
    Measured after;
    if (!MeasureCharacter(list, f - kCharacterElements, right ? kInnerShape : kOuterShape,
                          finder.inkSpread, before) ||
        !MeasureCharacter(list, f + kFinderElements, right ? kOuterShape : kInnerShape,
                          finder.inkSpread, after)) {
        return false;
    }
    const int32_t first = f - kCharacterElements;
    const int32_t end = f + kFinderElements + kCharacterElements;  // one past the half
    const int32_t firstWidth = before.widths[0];
    const int32_t lastWidth = after.widths[kCharacterElements - 1];
    // Characters are read from their outer end towards the finder.
    after.Reverse();
    const Measured& outer = right ? after : before;
    const Measured& inner = right ? before : after;
    half.outer = CharacterValue(outer.Widths(), kOmniOuter);
    half.inner = CharacterValue(inner.Widths(), kOmniInner);
    if (half.outer < 0 || half.inner < 0) return false;

    // The outer character has a guard beyond it; a row of a stacked symbol
    // has one beyond its inner character too.
    int32_t opening = first;
    int32_t closing = end - 1;
    if (right) {
        if (!ClosingGuard(list, end, after.module, lastWidth, closing)) return false;
        half.rowGuard = OpeningGuard(list, first, before.module, firstWidth, opening);
        half.checksum = (WeightedSum(outer.Widths(), kOmniModulus, kFirstWeight[2]) +
                         WeightedSum(inner.Widths(), kOmniModulus, kFirstWeight[3])) %
                        kOmniModulus;
    } else {
        if (!OpeningGuard(list, first, before.module, firstWidth, opening)) return false;
        half.rowGuard = ClosingGuard(list, end, after.module, lastWidth, closing);
        half.checksum = (WeightedSum(outer.Widths(), kOmniModulus, kFirstWeight[0]) +
                         WeightedSum(inner.Widths(), kOmniModulus, kFirstWeight[1])) %
                        kOmniModulus;
    }
    half.first = half.rowGuard || !right ? opening : first;
    half.last = half.rowGuard || right ? closing : end - 1;
    half.right = right;
    half.finder = finder.value;
    half.finderAt = f;
    half.residual = (before.residual + after.residual + finder.residual / 2) / 3;
    half.module = (before.module + after.module) / 2;
    return true;
}

}  // namespace

void FindOmniHalves(const EdgeList& list, std::span<const int32_t> candidates,
                    std::vector<OmniHalf>& halves, std::vector<FinderSeen>& seen) {
    // The left finder begins with a space, the right one (mirrored) with a bar.
    const int32_t last = list.Count() - kFinderElements - kCharacterElements;
    for (const int32_t f : candidates) {
        if (f < kCharacterElements + 1 || f >= last) continue;
        const bool mirrored = EdgeList::IsBar(f);
        FinderMatch finder;
        if (!MatchFinder(list, f, mirrored, kOmniFinders, finder)) continue;
        seen.push_back({f, mirrored, finder.module});
        OmniHalf half;
        if (ReadHalf(list, f, finder, half)) halves.push_back(half);
    }
}

bool JoinOmniHalves(const OmniHalf& left, const OmniHalf& right, int64_t& value, bool& linkage) {
    if (left.right || !right.right) return false;
    if ((left.checksum + right.checksum) % kOmniModulus !=
        OmniChecksumOfFinders(left.finder, right.finder)) {
        return false;
    }
    int64_t v = (left.outer * kInnerValues + left.inner) * kPairBase + right.outer * kInnerValues +
                right.inner;
    linkage = v >= kLinkage;
    if (linkage) v -= kLinkage;
    if (v >= kLinkage) return false;
    value = v;
    return true;
}

}  // namespace zeph::databar
