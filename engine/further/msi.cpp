// MSI Plessey: a start bit, four bits per digit, a stop. The last digit or
// two are checks (modulo 10, modulo 11, or a modulo 10 after either); one of
// them must hold. The check digits stay in the texts: a modulo 10/10 symbol
// passes for a modulo 10 one, so the symbol alone does not say where its
// data ends.
#include <span>

#include "engine/further/character_reader.h"
#include "engine/further/check_digits.h"
#include "engine/further/decoders.h"
#include "engine/further/msi_plessey_patterns.h"

namespace {

using namespace zeph::further;
using namespace zeph::msi_plessey;

constexpr Layout kLayout = [] {
    Layout l;
    l.startBars = 1;
    l.stopBars = 2;
    l.barsPerCharacter = 4;
    l.fewestCharacters = 2;  // a digit and its check
    l.startLetters = kMsiStart;
    l.stopLetters = kMsiStop;
    l.characterLetters = kMsiDigits;
    return l;
}();
thread_local CharacterTables tables(kLayout);

// Whether the modulo 11 check of the digits before `end` is the digit before
// `end` (or, for 10, the two digits "10"): the end of what it checks, or 0.
size_t Mod11Holds(std::span<const int> digits, size_t end) {
    if (end >= 2 && Mod11Check(digits.first(end - 1)) == digits[end - 1]) return end - 1;
    if (end >= 3 && digits[end - 2] == 1 && digits[end - 1] == 0 &&
        Mod11Check(digits.first(end - 2)) == 10) {
        return end - 2;
    }
    return 0;
}

// The check form the digits carry, or none.
const char* CheckForm(std::span<const int> digits) {
    const size_t n = digits.size();
    if (Mod10Check(digits.first(n - 1)) == digits[n - 1]) {
        if (n >= 3 && Mod10Check(digits.first(n - 2)) == digits[n - 2]) return "Mod 10/10";
        if (Mod11Holds(digits, n - 1) > 0) return "Mod 11/10";
        return "Mod 10";
    }
    if (Mod11Holds(digits, n) > 0) return "Mod 11";
    return nullptr;
}

}  // namespace

int XR_DecodeMsi(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    Reading reading;
    if (!ReadCharacters(scan, tables, record.confidence, reading)) return 0;
    const auto digits =
        std::span<const int>(reading.values).first(static_cast<size_t>(reading.count));
    const char* form = CheckForm(digits);
    if (!form) return 0;

    XR_SetText(record.rawData, "");
    for (const int d : digits) {
        const char c = static_cast<char>('0' + d);
        XR_AppendText(record.rawData, {&c, 1});
    }
    XR_SetText(record.data, XR_TextOf(record.rawData));
    XR_SetText(record.symbology, "MSI");
    XR_SetText(record.barcodeType, form);
    XR_SetText(record.descriptor, "");
    record.confidence = reading.confidence;
    return 1;
}

void XR_FreeMsiTables() {
    if (tables.Built()) tables.Release();
}
