// Code 11: a start, the characters, one check character (C) or two (C and K),
// a stop. Both check characters stay in the texts, as printed: the symbol
// alone does not say how many of its last characters are checks, and a short
// symbol with two passes for one with one.
#include <span>

#include "engine/further/character_reader.h"
#include "engine/further/check_digits.h"
#include "engine/further/code11_patterns.h"
#include "engine/further/decoders.h"

namespace {

using namespace zeph::further;

constexpr Layout kLayout = [] {
    Layout l;
    l.startBars = 3;
    l.stopBars = 3;
    l.barsPerCharacter = 3;
    l.fewestCharacters = 2;  // a character and its check
    l.startLetters = zeph::code11::kStart;
    l.stopLetters = zeph::code11::kStop;
    l.characterLetters = zeph::code11::kCharacters;
    return l;
}();
thread_local CharacterTables tables(kLayout);

// Weights of the C check run 1 to 10 from the right, those of K 1 to 9.
constexpr int kCCycle = 10;
constexpr int kKCycle = 9;

}  // namespace

int XR_DecodeCode11(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    Reading reading;
    if (!ReadCharacters(scan, tables, record.confidence, reading)) return 0;
    const auto values =
        std::span<const int>(reading.values).first(static_cast<size_t>(reading.count));
    const size_t n = values.size();
    const bool c = Code11Check(values.first(n - 1), kCCycle) == values[n - 1];
    const bool ck = n >= 3 && Code11Check(values.first(n - 2), kCCycle) == values[n - 2] &&
                    Code11Check(values.first(n - 1), kKCycle) == values[n - 1];
    if (!c && !ck) return 0;

    XR_SetText(record.rawData, "");
    for (const int v : values)
        XR_AppendText(record.rawData, zeph::code11::kAlphabet.substr(static_cast<size_t>(v), 1));
    XR_SetText(record.data, XR_TextOf(record.rawData));
    XR_SetText(record.symbology, "CODE-11");
    XR_SetText(record.barcodeType, ck ? "Two check characters" : "One check character");
    XR_SetText(record.descriptor, "");
    record.confidence = reading.confidence;
    return 1;
}

void XR_FreeCode11Tables() {
    if (tables.Built()) tables.Release();
}
