// Datalogic 2 of 5: Matrix 2 of 5's digits between a narrow start and stop.
#include "engine/further/decoders.h"
#include "engine/further/two_of_five.h"

namespace {

constexpr zeph::further::Layout kLayout = zeph::further::MatrixDigitLayout(
    zeph::two_of_five::kNarrowStart, zeph::two_of_five::kNarrowStop);
thread_local zeph::further::CharacterTables tables(kLayout);

}  // namespace

int XR_DecodeDatalogic2of5(const ScanSignal& scan, MatchRecord& record) {
    return zeph::further::DecodeTwoOfFive(scan, record, tables, "Datalogic 2 of 5");
}

void XR_FreeDatalogic2of5Tables() {
    if (tables.Built()) tables.Release();
}
