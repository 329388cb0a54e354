// Small rasters of any shape and content go through both searches and both
// flavours of the extended search (GS1 DataBar included) without a fault; counts stay within their
// bounds, kept records are well-formed, and the extended search begins with
// the records of the search it extends.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    // Shapes up to 160 x 160: below, at and above the tile and window sizes.
    const int32_t width = data[0] % 161;
    const int32_t height = data[1] % 161;
    const uint8_t contrast = data[2];
    data += 3;
    size -= 3;
    std::vector<int32_t> raster(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < raster.size(); ++i) {
        // Pixels repeat the input; the contrast byte stretches them to the grey range.
        const int v = size ? data[i % size] : 0;
        raster[i] = static_cast<int32_t>(v * (contrast % 11)) % (kMaxGrey + 1);
    }

    // Every symbology, GS1 DataBar, the further ones and the interpretations included.
    static ReaderConfigPtr config = XR_ParseConfig("-bctypes 67108863 -sens 0.01");
    static std::vector<MatchRecord> records(kMaxMatches);
    static std::vector<MatchRecord> extended(kMaxMatches);
    if (!config) return 0;
    const auto wellFormed = [](const std::vector<MatchRecord>& r, int count) {
        for (int i = 0; i < count; ++i) {
            if (!std::memchr(r[i].rawData.data(), 0, r[i].rawData.size())) return false;
            if (!std::memchr(r[i].data.data(), 0, r[i].data.size())) return false;
        }
        return true;
    };
    for (const bool thorough : {false, true}) {
        const int limit = thorough ? kMaxMatches : 1;
        const int base = thorough
                             ? XR_SearchThorough(raster, height, width, kMaxGrey, config.get(),
                                                 records, kMaxMatches)
                             : XR_Search(raster, height, width, kMaxGrey, config.get(), records);
        if (base < -1 || base > limit || !wellFormed(records, base)) __builtin_trap();
        const int more = XR_SearchExtended(raster, height, width, kMaxGrey, config.get(), extended,
                                           kMaxMatches, thorough);
        if (more < -1 || more > limit || !wellFormed(extended, more)) __builtin_trap();
        if (base >= 0 && more < base) __builtin_trap();
        for (int i = 0; i < base; ++i) {
            if (XR_TextOf(records[i].rawData) != XR_TextOf(extended[i].rawData) ||
                records[i].confidence != extended[i].confidence) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
