#include "engine/databar/guards.h"

#include <cmath>

namespace zeph::databar {
namespace {

// Edge-to-edge sums over a guard lie this close to their drawn width.
constexpr double kGuardTolerance = 0.6;
// The paper beyond a guard is at least this wide, in modules, less the
// tolerance (the guard's own space added where that runs into it).
constexpr double kPaper = 1.0;

bool Near(double measured, double drawn) {
    return std::fabs(measured - drawn) <= kGuardTolerance;
}

}  // namespace

bool OpeningGuard(const EdgeList& list, int32_t first, double module, int32_t firstWidth,
                  int32_t& outer) {
    if (!(module > 0)) return false;
    if (EdgeList::IsBar(first - 1)) {
        // The bar, its space run into the paper before it.
        if (first < 2) return false;
        outer = first - 1;
        return Near((list.Edge(first + 1) - list.Edge(first - 1)) / module, 1 + firstWidth) &&
               list.Width(first - 2) / module >= 1 + kPaper - kGuardTolerance;
    }
    if (first < 3) return false;
    outer = first - 2;
    return Near((list.Edge(first) - list.Edge(first - 2)) / module, 2) &&
           list.Width(first - 3) / module >= kPaper - kGuardTolerance;
}

bool ClosingGuard(const EdgeList& list, int32_t end, double module, int32_t lastWidth,
                  int32_t& outer) {
    if (!(module > 0)) return false;
    if (EdgeList::IsBar(end)) {
        if (end + 1 >= list.Count()) return false;
        outer = end;
        return Near((list.Edge(end + 1) - list.Edge(end - 1)) / module, lastWidth + 1) &&
               list.Width(end + 1) / module >= 1 + kPaper - kGuardTolerance;
    }
    if (end + 2 >= list.Count()) return false;
    outer = end + 1;
    return Near((list.Edge(end + 2) - list.Edge(end)) / module, 2) &&
           list.Width(end + 2) / module >= kPaper - kGuardTolerance;
}

}  // namespace zeph::databar
