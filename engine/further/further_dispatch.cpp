#include <array>
#include <string_view>

#include "engine/further/decoders.h"
#include "engine/further/further.h"

namespace zeph::further {
namespace {

constexpr std::array kDecoders = {
    DecoderEntry{kTelepen, XR_DecodeTelepen, XR_FreeTelepenTables},
    DecoderEntry{kCode11, XR_DecodeCode11, XR_FreeCode11Tables},
    DecoderEntry{kMsi, XR_DecodeMsi, XR_FreeMsiTables},
    DecoderEntry{kPlessey, XR_DecodePlessey, XR_FreePlesseyTables},
    DecoderEntry{kIndustrial2of5, XR_DecodeIndustrial2of5, XR_FreeIndustrial2of5Tables},
    DecoderEntry{kIata2of5, XR_DecodeIata2of5, XR_FreeIata2of5Tables},
    DecoderEntry{kMatrix2of5, XR_DecodeMatrix2of5, XR_FreeMatrix2of5Tables},
    DecoderEntry{kDatalogic2of5, XR_DecodeDatalogic2of5, XR_FreeDatalogic2of5Tables},
    DecoderEntry{kPharmacode, XR_DecodePharmacode, XR_FreePharmacodeTables},
    // After Telepen's own reading: with both bits it writes only where it is
    // more confident, which one symbol read two ways never is.
    DecoderEntry{kTelepenNumeric, XR_DecodeTelepenNumeric, XR_FreeTelepenTables},
};

}  // namespace

std::span<const DecoderEntry> Decoders() {
    return kDecoders;
}

int DecodeWindow(const ScanSignal& window, int32_t protocolMask, MatchRecord& record) {
    if ((protocolMask & kDecoderBits) == 0) return 0;
    return XR_DecodeSignalWith(kDecoders, window, protocolMask, record, false);
}

bool IsProtected(const MatchRecord& record) {
    return XR_TextOf(record.symbology) == "TELEPEN";
}

bool MayTouchBorder(const MatchRecord& record) {
    return XR_TextOf(record.symbology) != "PHARMACODE";
}

void FreeTables() {
    for (const DecoderEntry& decoder : kDecoders)
        decoder.release();
}

}  // namespace zeph::further
