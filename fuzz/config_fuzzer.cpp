// Any configuration string gives a configuration or none, and a configuration's
// scan signal can be cut into bars, reversed and thinned without faults.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ReaderConfigPtr config = XR_ParseConfig(text);
    if (!config) return 0;
    ScanSignal& scan = *config->scan;
    for (int32_t i = 0; i < scan.sampleCount; ++i)
        scan.samples[i] = (i * 7 % 5) - 2.0f;
    XR_FindBars(scan);
    MatchRecord record;
    record.confidence = config->minConfidence;
    XR_DecodeAttempts(scan, *config, record);
    XR_ReverseSignal(&scan);
    // Dropping is linear in the bars left: a bounded number of drops keeps a
    // configuration of a very long signal from taking quadratic time here,
    // and short signals are still emptied to the last bar.
    for (int drops = 0; drops < 64 && scan.barCount > 0; ++drops)
        XR_DropFirstBar(scan);
    XR_FreeConfig(std::move(config));
    return 0;
}
