// Industrial 2 of 5: the digits in the bars alone, every space narrow.
#include "engine/further/decoders.h"
#include "engine/further/two_of_five.h"

namespace {

constexpr zeph::further::Layout kLayout = zeph::further::BarDigitLayout(
    zeph::two_of_five::kIndustrialStart, zeph::two_of_five::kIndustrialStop);
thread_local zeph::further::CharacterTables tables(kLayout);

}  // namespace

int XR_DecodeIndustrial2of5(const ScanSignal& scan, MatchRecord& record) {
    return zeph::further::DecodeTwoOfFive(scan, record, tables, "Industrial 2 of 5");
}

void XR_FreeIndustrial2of5Tables() {
    if (tables.Built()) tables.Release();
}
