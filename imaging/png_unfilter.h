// The reversal of PNG's row filters, in place, row by row.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zeph::imaging::detail {

// Filter types 0 to 4: none, sub, up, average, Paeth.
inline constexpr uint8_t kLastPngFilter = 4;

// Reverses `filter` on the `bytes` bytes of `row`, whose pixels are
// `pixelBytes` bytes apart (1 for depths below 8), given the row above
// already unfiltered (`above`, all zeros for the first row).
void UnfilterPngRow(uint8_t filter, uint8_t* row, const uint8_t* above, size_t bytes,
                    size_t pixelBytes);

// The same for `row` and the row below it, `lower` (filtered by
// `lowerFilter`), together: for colour rows whose filters look left, the two
// rows' pixels are reversed side by side, in about half the time of one
// row after the other, with the same values.
void UnfilterPngRowPair(uint8_t filter, uint8_t* row, const uint8_t* above, uint8_t lowerFilter,
                        uint8_t* lower, size_t bytes, size_t pixelBytes);

}  // namespace zeph::imaging::detail
