// Small rasters of any shape and content go through both searches without a
// fault; counts stay within their bounds and kept records are well-formed.
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

    static ReaderConfigPtr config = XR_ParseConfig("-bctypes 1023 -sens 0.01");
    static std::vector<MatchRecord> records(kMaxMatches);
    if (!config) return 0;
    const int one = XR_Search(raster, height, width, kMaxGrey, config.get(), records);
    if (one < -1 || one > 1) __builtin_trap();
    const int many =
        XR_SearchThorough(raster, height, width, kMaxGrey, config.get(), records, kMaxMatches);
    if (many < -1 || many > kMaxMatches) __builtin_trap();
    for (int i = 0; i < many; ++i) {
        if (!std::memchr(records[i].rawData.data(), 0, records[i].rawData.size())) __builtin_trap();
    }
    return 0;
}
