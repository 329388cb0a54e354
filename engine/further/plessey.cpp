// UK Plessey: a start, four bits per hexadecimal digit, eight check bits of a
// cyclic code, a stop. The texts hold the digits without the check bits.
#include <array>
#include <cstdint>

#include "engine/further/character_reader.h"
#include "engine/further/check_digits.h"
#include "engine/further/decoders.h"
#include "engine/further/msi_plessey_patterns.h"

namespace {

using namespace zeph::further;
using namespace zeph::msi_plessey;

// The check bits are read as two more characters.
constexpr int32_t kCheckCharacters = 2;

constexpr Layout kLayout = [] {
    Layout l;
    l.startBars = 4;
    l.stopBars = 5;
    l.barsPerCharacter = 4;
    l.fewestCharacters = 1 + kCheckCharacters;
    l.startLetters = kPlesseyStart;
    l.stopLetters = kPlesseyStop;
    l.characterLetters = kPlesseyCharacters;
    return l;
}();
thread_local CharacterTables tables(kLayout);

}  // namespace

int XR_DecodePlessey(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    Reading reading;
    if (!ReadCharacters(scan, tables, record.confidence, reading)) return 0;
    const int32_t data = reading.count - kCheckCharacters;
    std::array<uint8_t, 4 * kMostCharacters> bits{};
    for (int32_t i = 0; i < data; ++i) {
        for (int b = 0; b < 4; ++b)
            bits[static_cast<size_t>(4 * i + b)] = (reading.values[i] >> b) & 1;
    }
    const uint32_t crc =
        PlesseyCrc(std::span<const uint8_t>(bits).first(4 * static_cast<size_t>(data)));
    for (int b = 0; b < 8; ++b) {
        const int read = (reading.values[data + b / 4] >> (b % 4)) & 1;
        if (read != static_cast<int>((crc >> (7 - b)) & 1)) return 0;
    }

    XR_SetText(record.rawData, "");
    for (int32_t i = 0; i < data; ++i)
        XR_AppendText(record.rawData,
                      kPlesseyAlphabet.substr(static_cast<size_t>(reading.values[i]), 1));
    XR_SetText(record.data, XR_TextOf(record.rawData));
    XR_SetText(record.symbology, "PLESSEY");
    XR_SetText(record.barcodeType, "CRC");
    XR_SetText(record.descriptor, "");
    record.confidence = reading.confidence;
    return 1;
}

void XR_FreePlesseyTables() {
    if (tables.Built()) tables.Release();
}
