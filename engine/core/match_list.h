// The sameness rule of the result list, for searches that keep their own lists.
#pragma once

#include "engine/reader.h"

namespace zeph {

// Whether `added` is the barcode `kept` already holds: the same symbology and
// raw data (also when only one of them carries an add-on), or lines whose
// midpoints lie closer than 0.15 times the sum of their lengths.
bool SameBarcode(const MatchRecord& kept, const MatchRecord& added);

// Whether the two records' lines lie at one place by the same rule: midpoints
// closer than 0.15 times the sum of their lengths.
bool SamePlace(const MatchRecord& a, const MatchRecord& b);

}  // namespace zeph
