// Matrix 2 of 5: three bars and two spaces per digit.
#include "engine/further/decoders.h"
#include "engine/further/two_of_five.h"

namespace {

constexpr zeph::further::Layout kLayout = zeph::further::MatrixDigitLayout(
    zeph::two_of_five::kMatrixStart, zeph::two_of_five::kMatrixStop);
thread_local zeph::further::CharacterTables tables(kLayout);

}  // namespace

int XR_DecodeMatrix2of5(const ScanSignal& scan, MatchRecord& record) {
    return zeph::further::DecodeTwoOfFive(scan, record, tables, "Matrix 2 of 5");
}

void XR_FreeMatrix2of5Tables() {
    if (tables.Built()) tables.Release();
}
