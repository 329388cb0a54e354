// Any signal, of any length and with any finite sample values, goes through the
// decode attempts of every symbology (the further ones of the extended search
// included, read in either direction of the line) and yields 0 or 1 with a
// well-formed record, and through the DataBar readers of the extended search,
// which read the whole line: their reads are well-formed too.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/databar/line_decoder.h"
#include "engine/extended/line_reader.h"
#include "engine/further/further.h"
#include "engine/reader.h"

namespace {

bool Terminated(std::span<const char> field) {
    return std::memchr(field.data(), 0, field.size()) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte chooses how the rest becomes samples: small steps, 16-bit
    // values, or raw float bits (extremes included, non-finite values zeroed).
    const uint8_t mode = data[0] % 3;
    const uint8_t shift = data[1] % 12;
    data += 2;
    size -= 2;
    const size_t width = mode == 0 ? 1 : mode == 1 ? 2 : 4;
    const int32_t count = static_cast<int32_t>(size / width);

    static ReaderConfigPtr config = XR_ParseConfig("-bctypes 1023");
    ScanSignalPtr scan = XR_NewScanSignal(count, 21, 1, 0.5f, shift);
    if (!config || !scan) return 0;
    for (int32_t i = 0; i < count; ++i) {
        float v = 0;
        if (mode == 0) {
            v = static_cast<float>(static_cast<int8_t>(data[i]));
        } else if (mode == 1) {
            int16_t s;
            std::memcpy(&s, data + 2 * i, 2);
            v = static_cast<float>(s);
        } else {
            std::memcpy(&v, data + 4 * i, 4);
            if (!std::isfinite(v)) v = 0;
        }
        scan->samples[i] = v;
    }
    XR_FindBars(*scan);

    MatchRecord record;
    record.confidence = config->minConfidence;
    const int single = XR_DecodeSignal(*scan, *config, record);
    const int attempts = XR_DecodeAttempts(*scan, *config, record);
    if (single < 0 || single > 1 || attempts < 0 || attempts > 1) __builtin_trap();
    // The line's direction decides how a Pharmacode reads: both are tried.
    scan->stopX = shift & 1;
    const int further = XR_DecodeAttemptsWith(zeph::further::Decoders(), *scan,
                                              zeph::further::kDecoderBits, record, false);
    if (further < 0 || further > 1) __builtin_trap();
    if (!Terminated(record.rawData) || !Terminated(record.data) || !Terminated(record.symbology) ||
        !Terminated(record.barcodeType) || !Terminated(record.descriptor)) {
        __builtin_trap();
    }

    // A small picture under the line, for the bar heights of DataBar reads.
    static const std::vector<int32_t> picture(64 * 64, kMaxGrey / 2);
    static zeph::databar::LineDecoder databar;
    static std::vector<zeph::extended::LineRead> reads;
    reads.clear();
    const auto bars = static_cast<size_t>(scan->barCount);
    const zeph::databar::LineSignal line{
        scan->Samples(), {scan->barStarts.get(), bars}, {scan->barEnds.get(), bars}};
    const zeph::databar::LineGeometry geometry{0, 10, 63, 50, double(shift), double(count + 1)};
    const zeph::databar::ReadSettings settings{kExtendedDefaultMask, config->minConfidence, 1,
                                               zeph::extended::LineOptions::kPlain, 0};
    if (!databar.Read({picture, 64, 64}, geometry, line, settings, reads)) return 0;
    for (const zeph::extended::LineRead& r : reads) {
        if (!Terminated(r.record.rawData) || !Terminated(r.record.data) ||
            !Terminated(r.record.barcodeType) || !Terminated(r.record.descriptor) ||
            !(r.record.confidence >= 0 && r.record.confidence <= 1)) {
            __builtin_trap();
        }
    }
    return 0;
}
