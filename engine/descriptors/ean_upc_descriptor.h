// Interpretation of accepted EAN-13/UPC-A, EAN-8 and UPC-E readings: writes all
// five texts of a match record (never its confidence or coordinates).
#pragma once

#include <span>

#include "engine/reader.h"

// reading: 13 digits d0..d12 in the index fields.
void XR_DescribeEan13(std::span<const BestMatch> reading, MatchRecord& record);
// reading: 8 digits d0..d7.
void XR_DescribeEan8(std::span<const BestMatch> reading, MatchRecord& record);
// reading: number system, d1..d6, check digit; expansion: the 12 UPC-A digits.
void XR_DescribeUpcE(std::span<const BestMatch> reading, std::span<const int> expansion,
                     MatchRecord& record);
