#include "engine/profile/window_decoders.h"

namespace zeph::profile {

int WindowDecoders::Decode(const ScanSignal& window, int32_t mask, MatchRecord& record) {
    if ((mask & kCodabar) && codabar_.Decode(window, record) == 1) return 1;
    if ((mask & kInterleaved2of5) && itf_.Decode(window, record) == 1) return 1;
    return 0;
}

int WindowDecoders::DecodeProfile(const ScanSignal& window, int32_t mask, MatchRecord& record) {
    if ((mask & kEan13) && ean_.Decode(window, mask, record) == 1) return 1;
    if ((mask & kEan13) && eanEdges_.Decode(window, mask, record) == 1) return 1;
    return 0;
}

}  // namespace zeph::profile
