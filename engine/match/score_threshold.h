// Whether pattern tables reach a least score on one stretch, without scoring
// every sample against every entry. A template is constant over each of its
// modules, so its correlation is a sum over modules of the stretch's sums
// there; that sum, taken in another order, is within a far smaller distance
// of the exact score than the margin kept around the threshold, so it
// decides every stretch that is not close to it. Close ones are scored
// exactly. The answer is the one the exact scores give, for every stretch.
#pragma once

#include <span>

#include "engine/reader.h"

namespace zeph::match {

// reached[t]: whether BestScores' score of tables[t] on the stretch, at shift
// range 0, is at least `least`.
void ScoresReach(std::span<const float> stretch, std::span<const PatternTable* const> tables,
                 float least, std::span<bool> reached);

}  // namespace zeph::match
