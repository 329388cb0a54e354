// Whole test pictures read through the engine's searches, the way the control
// reads a bitmap: 24-bit rows into a grey raster, then one search.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/reader.h"
#include "tests/support/image_renderer.h"

namespace zeph::test {

struct PictureReads {
    int count = 0;                     // the search's result (negative on failure)
    std::vector<MatchRecord> records;  // the matches it found
    // The raw texts of the matches, sorted.
    std::vector<std::string> RawTexts() const;
};

// One thorough (or standard) search of the picture under the configuration
// `settings` (the defaults when empty). The raster conversion is checked.
PictureReads SearchPicture(const Image& image, bool thorough = true, const char* settings = "");

// One extended search (thorough or standard) of the picture under the
// configuration `settings` (the defaults when empty) with the symbology mask
// `mask`; no records when the settings do not parse.
PictureReads SearchExtendedPicture(const Image& image, int32_t mask, bool thorough = true,
                                   const char* settings = "");

}  // namespace zeph::test
