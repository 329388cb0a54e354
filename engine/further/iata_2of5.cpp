// IATA 2 of 5: Industrial 2 of 5's digits between a narrow start and stop.
#include "engine/further/decoders.h"
#include "engine/further/two_of_five.h"

namespace {

constexpr zeph::further::Layout kLayout =
    zeph::further::BarDigitLayout(zeph::two_of_five::kNarrowStart, zeph::two_of_five::kNarrowStop);
thread_local zeph::further::CharacterTables tables(kLayout);

}  // namespace

int XR_DecodeIata2of5(const ScanSignal& scan, MatchRecord& record) {
    return zeph::further::DecodeTwoOfFive(scan, record, tables, "IATA 2 of 5");
}

void XR_FreeIata2of5Tables() {
    if (tables.Built()) tables.Release();
}
