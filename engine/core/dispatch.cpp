#include <array>

#include "engine/core/dispatch.h"
#include "engine/further/further.h"
#include "engine/reader.h"
#include "engine/symbologies/decoders.h"

namespace {

// Every decoder, in the order of its mask bit: the order in which they are tried
// and in which their tables are released.
constexpr std::array kDecoders = {
    DecoderEntry{kEan13, XR_DecodeEan13, XR_FreeEan13Tables},
    DecoderEntry{kCode128, XR_DecodeCode128, XR_FreeCode128Tables},
    DecoderEntry{kCode39, XR_DecodeCode39, XR_FreeCode39Tables},
    DecoderEntry{kCode93, XR_DecodeCode93, XR_FreeCode93Tables},
    DecoderEntry{kEan8, XR_DecodeEan8, XR_FreeEan8Tables},
    DecoderEntry{kUpcE, XR_DecodeUpcE, XR_FreeUpcETables},
    DecoderEntry{kSupplement, XR_DecodeSupplementAlone, XR_FreeSupplementTables},
    DecoderEntry{kInterleaved2of5, XR_DecodeInterleaved2of5, XR_FreeInterleaved2of5Tables},
    DecoderEntry{kCodabar, XR_DecodeCodabar, XR_FreeCodabarTables},
    DecoderEntry{kPatchCode, XR_DecodePatchCode, XR_FreePatchCodeTables},
};

}  // namespace

std::span<const DecoderEntry> zeph::Decoders() {
    return kDecoders;
}

int XR_DecodeSignalWith(std::span<const DecoderEntry> decoders, const ScanSignal& scan,
                        int32_t protocolMask, MatchRecord& record, bool patchLatch) {
    int result = 0;
    for (const DecoderEntry& decoder : decoders) {
        if ((protocolMask & decoder.bit) == 0) continue;
        if (decoder.bit == kPatchCode && patchLatch) continue;
        const int r = decoder.decode(scan, record);
        if (r < 0) return -1;
        result |= r;
    }
    if (result == 1) {
        record.startX = scan.startX;
        record.startY = scan.startY;
        record.stopX = scan.stopX;
        record.stopY = scan.stopY;
        record.centreX = scan.centreX;
        record.centreY = scan.centreY;
    }
    return result;
}

int XR_DecodeSignal(const ScanSignal& scan, const ReaderConfig& config, MatchRecord& record,
                    bool patchLatch) {
    return XR_DecodeSignalWith(kDecoders, scan, config.protocolMask, record, patchLatch);
}

int XR_DecodeAttemptsWith(std::span<const DecoderEntry> decoders, ScanSignal& scan,
                          int32_t protocolMask, MatchRecord& record, bool patchLatch) {
    const int32_t leastBars = scan.barCount - 2;
    int result = 0;
    auto pass = [&]() {
        while (scan.barCount >= leastBars) {
            const int r = XR_DecodeSignalWith(decoders, scan, protocolMask, record, patchLatch);
            if (r < 0) return false;
            result |= r;
            // An empty bar list cannot shrink further; without this the loop
            // would not end for signals of fewer than two bars.
            if (scan.barCount == 0) break;
            XR_DropFirstBar(scan);
        }
        return true;
    };
    if (!pass()) return -1;
    XR_ReverseSignal(&scan);
    if (!pass()) return -1;
    return result;
}

int XR_DecodeAttempts(ScanSignal& scan, const ReaderConfig& config, MatchRecord& record,
                      bool patchLatch) {
    return XR_DecodeAttemptsWith(kDecoders, scan, config.protocolMask, record, patchLatch);
}

void XR_FreePatternTables() {
    for (const DecoderEntry& decoder : kDecoders)
        decoder.release();
    zeph::further::FreeTables();
}
