// Several pattern tables scored on one stretch, which is centred once for all.
#pragma once

#include <span>

#include "engine/reader.h"

namespace zeph::match {

// scores[t]: the best score of tables[t] on the stretch, as XR_MatchTable
// gives it to a fresh BestMatch (0 when no entry scores above 0, or when the
// stretch is empty or longer than kMaxStretch).
void BestScores(std::span<const float> stretch, std::span<const PatternTable* const> tables,
                int shiftRange, std::span<float> scores);

}  // namespace zeph::match
