// Any pattern string parses into a table or none, and every entry of a table
// can be scored against stretches of any length with any shift range.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    // The first bytes choose the stretch length and the shift range; the rest is
    // the pattern string.
    const int stretchLength = (data[0] | (data[1] << 8)) % 520;
    const int shiftRange = static_cast<int8_t>(data[2]);
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

    PatternTablePtr table = XR_ParsePatterns(text);
    if (!table) return 0;
    std::vector<float> stretch(static_cast<size_t>(stretchLength));
    for (size_t i = 0; i < stretch.size(); ++i) {
        stretch[i] = static_cast<float>(static_cast<int8_t>(data[(i + 3) % size]));
    }
    BestMatch best;
    XR_MatchTable(stretch, *table, best, shiftRange);
    if (best.index >= table->count) __builtin_trap();
    if (table->count > 0) {
        const PatternEntry& e = (*table)[0];
        XR_ShiftedCorrelation(stretch, e.samples, shiftRange);
        const size_t start = text.find_first_not_of(" [](),\t\n");
        const std::string_view first = text.substr(start, static_cast<size_t>(e.length));
        const float score = XR_ScorePattern(stretch, first);
        if (score > 1.0001f || score < -1.0001f) __builtin_trap();
    }
    XR_FreePatterns(std::move(table));
    return 0;
}
