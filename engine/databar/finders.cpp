#include "engine/databar/finders.h"

#include <algorithm>
#include <cmath>

namespace zeph::databar {
namespace {

// A finder's edge-to-edge sums lie this close to its shape's at most, in modules.
constexpr double kFinderTolerance = 0.6;
// The two single modules at its end, summed, lie this close to 2 before the
// whole shape is compared.
constexpr double kNarrowPairTolerance = 0.7;
// The modules of (a, b, c, 1): the first four elements, between edges of one kind.
constexpr int kFirstFour = 14;

}  // namespace

bool MayBeFinder(const EdgeList& list, int32_t first) {
    if (first < 1 || first + kFinderElements >= list.Count()) return false;
    const bool mirrored = EdgeList::IsBar(first);
    const auto edge = [&](int i) {
        return mirrored ? -list.Edge(first + kFinderElements - i) : list.Edge(first + i);
    };
    // |narrow pair / module - 2| within the tolerance, the module being a
    // fourteenth of the first four elements.
    const double four = edge(4) - edge(0);
    return four > 0 &&
           std::fabs(kFirstFour * (edge(5) - edge(3)) - 2 * four) <= kNarrowPairTolerance * four;
}

void FinderCandidates(const EdgeList& list, std::vector<int32_t>& out) {
    out.clear();
    for (int32_t f = 1; f + kFinderElements < list.Count(); ++f) {
        if (MayBeFinder(list, f)) out.push_back(f);
    }
}

bool MatchFinder(const EdgeList& list, int32_t first, bool mirrored,
                 std::span<const FinderShape> table, FinderMatch& out) {
    if (first < 1 || first + kFinderElements >= list.Count()) return false;
    // Elements in the finder's own order: e(0) = a ... e(4) = the last 1.
    const auto edge = [&](int i) {
        return mirrored ? -list.Edge(first + kFinderElements - i) : list.Edge(first + i);
    };
    const double m = (edge(4) - edge(0)) / kFirstFour;
    if (!(m > 0)) return false;
    const double narrowPair = (edge(5) - edge(3)) / m;
    if (std::fabs(narrowPair - 2) > kNarrowPairTolerance) return false;
    const double q0 = (edge(2) - edge(0)) / m;  // a + b
    const double q1 = (edge(3) - edge(1)) / m;  // b + c
    const double q2 = (edge(4) - edge(2)) / m;  // c + 1

    int32_t best = -1;
    double bestWorst = 0;
    double bestMean = 0;
    double bestSquares = 0;
    for (size_t v = 0; v < table.size(); ++v) {
        const FinderShape& f = table[v];
        const double d0 = q0 - (f[0] + f[1]);
        const double d1 = q1 - (f[1] + f[2]);
        const double d2 = q2 - (f[2] + 1);
        const double squares = d0 * d0 + d1 * d1 + d2 * d2;
        if (best < 0 || squares < bestSquares) {
            best = static_cast<int32_t>(v);
            bestSquares = squares;
            const double dn = narrowPair - 2;
            bestWorst = std::max({std::fabs(d0), std::fabs(d1), std::fabs(d2), std::fabs(dn)});
            bestMean = (std::fabs(d0) + std::fabs(d1) + std::fabs(d2) + std::fabs(dn)) / 4;
        }
    }
    if (best < 0 || bestWorst > kFinderTolerance) return false;

    // Ink spread: the mean excess of the bars over their drawn widths, the
    // spaces' shortfall counted alike.
    const FinderShape& f = table[static_cast<size_t>(best)];
    const int drawn[kFinderElements] = {f[0], f[1], f[2], 1, 1};
    double spread = 0;
    for (int i = 0; i < kFinderElements; ++i) {
        const int32_t element = mirrored ? first + kFinderElements - 1 - i : first + i;
        const double excess = list.Width(element) / m - drawn[i];
        spread += EdgeList::IsBar(element) ? excess : -excess;
    }
    out.value = best;
    out.mirrored = mirrored;
    out.residual = bestMean;
    out.inkSpread = spread / kFinderElements;
    out.module = m;
    return true;
}

}  // namespace zeph::databar
