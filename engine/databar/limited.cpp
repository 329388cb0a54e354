#include "engine/databar/limited.h"

#include <cmath>

#include "engine/databar/characters.h"
#include "engine/databar/checksums.h"

namespace zeph::databar {
namespace {

constexpr int kCharacterElements = 14;
constexpr CharacterShape kDataShape{kCharacterElements, 26, 8};
constexpr CharacterShape kCheckShape{kCharacterElements, 18, 3};
// On the list from the left guard's bar: left character 1 to 14, check 15 to
// 28, right character 29 to 42, the right guard's space and bar 43 and 44.
constexpr int32_t kLeft = 1;
constexpr int32_t kCheck = 15;
constexpr int32_t kRight = 29;
constexpr int32_t kGuardSpace = 43;
constexpr int32_t kGuardBar = 44;
constexpr double kDataModules = 26;
constexpr double kCheckModules = 18;
// Perspective makes one data character's module at most this much larger
// than the other's; the check character's lies within this share of their
// mean.
constexpr double kMostGrowth = 1.6;
constexpr double kCheckModuleTolerance = 0.08;
constexpr double kGuardTolerance = 0.6;
// Paper after the right guard, at least (five modules drawn), and before
// the left one's bar (its one-module space and more).
constexpr double kPaperAfter = 4.0;
constexpr double kPaperBefore = 1.4;

constexpr int64_t kPairBase = 2013571;
constexpr int64_t kLinkage = 2015133531096;
// The number is at most 13 digits that begin with 0 or 1.
constexpr int64_t kValues = 2000000000000;

bool Near(double measured, double drawn, double tolerance) {
    return std::fabs(measured - drawn) <= tolerance;
}

bool ReadSymbol(const EdgeList& list, int32_t b, LimitedSymbol& symbol,
                std::vector<LimitedSymbol>& seen) {
    const auto edge = [&](int32_t i) { return list.Edge(b + i); };
    // The modules of the three characters, each from its own span: under
    // perspective the module grows along the symbol, so that the check
    // character's lies about halfway between the others'.
    const double ml = (edge(kCheck) - edge(kLeft)) / kDataModules;
    const double mc = (edge(kRight) - edge(kCheck)) / kCheckModules;
    const double mr = (edge(kGuardSpace) - edge(kRight)) / kDataModules;
    if (!(ml > 0 && mr > 0 && mc > 0)) return false;
    if (mr > kMostGrowth * ml || ml > kMostGrowth * mr ||
        !Near(mc / ((ml + mr) / 2), 1, kCheckModuleTolerance)) {
        return false;
    }
    if (!Near((edge(kGuardBar + 1) - edge(kGuardSpace)) / mr, 2, kGuardTolerance)) return false;
    if (list.Width(b - 1) / ml < kPaperBefore || list.Width(b + kGuardBar + 1) / mr < kPaperAfter) {
        return false;
    }
    symbol.first = b;
    symbol.last = b + kGuardBar;
    symbol.module = (ml + mc + mr) / 3;
    seen.push_back(symbol);
    // Ink spread from the guards' single modules.
    const double spread = (list.Width(b) / ml - 1 + 1 - list.Width(b + kGuardSpace) / mr +
                           list.Width(b + kGuardBar) / mr - 1) /
                          3;
    Measured left;
    Measured check;
    Measured right;
    if (!MeasureCharacter(list, b + kLeft, kDataShape, spread, left) ||
        !MeasureCharacter(list, b + kCheck, kCheckShape, spread, check) ||
        !MeasureCharacter(list, b + kRight, kDataShape, spread, right)) {
        return false;
    }
    if (!Near((edge(kLeft + 1) - edge(0)) / left.module, 1 + left.widths[0], kGuardTolerance)) {
        return false;
    }
    const int32_t l = CharacterValue(left.Widths(), kLimitedSet);
    const int32_t r = CharacterValue(right.Widths(), kLimitedSet);
    const int32_t c = LimitedChecksumOfCharacter(check.Widths());
    if (l < 0 || r < 0 || c < 0) return false;
    const int32_t sum = (WeightedSum(left.Widths(), kLimitedModulus, 0) +
                         WeightedSum(right.Widths(), kLimitedModulus, kCharacterElements)) %
                        kLimitedModulus;
    if (sum != c) return false;
    int64_t v = l * kPairBase + r;
    symbol.linkage = v >= kLinkage;
    if (symbol.linkage) v -= kLinkage;
    if (v >= kValues) return false;
    symbol.value = v;
    symbol.residual = (left.residual + check.residual + right.residual) / 3;
    return true;
}

}  // namespace

void FindLimitedSymbols(const EdgeList& list, std::vector<LimitedSymbol>& symbols,
                        std::vector<LimitedSymbol>& seen) {
    for (int32_t b = 1; b + kGuardBar + 1 < list.Count(); b += 2) {
        LimitedSymbol symbol;
        if (ReadSymbol(list, b, symbol, seen)) symbols.push_back(symbol);
    }
}

}  // namespace zeph::databar
