// Interpretation of an accepted 2- or 5-digit EAN/UPC add-on: writes all five
// texts of a match record.
#pragma once

#include <span>

#include "engine/reader.h"

// reading: the k digits followed by the check value; count = k + 1 (3 or 6).
void XR_DescribeSupplement(std::span<const BestMatch> reading, int count, MatchRecord& record);
