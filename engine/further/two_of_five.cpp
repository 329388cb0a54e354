#include "engine/further/two_of_five.h"

#include <array>

#include "engine/further/character_reader.h"

namespace zeph::further {
int DecodeTwoOfFive(const ScanSignal& scan, MatchRecord& record, CharacterTables& tables,
                    std::string_view symbology) {
    if (!tables.Build()) return -1;
    Reading reading;
    if (!ReadCharacters(scan, tables, record.confidence, reading)) return 0;
    std::array<char, kMostCharacters> text{};
    for (int32_t i = 0; i < reading.count; ++i)
        text[static_cast<size_t>(i)] = static_cast<char>('0' + reading.values[i]);
    const std::string_view digits(text.data(), static_cast<size_t>(reading.count));
    XR_SetText(record.rawData, digits);
    XR_SetText(record.data, digits);
    XR_SetText(record.symbology, symbology);
    XR_SetText(record.barcodeType, "Generic");
    XR_SetText(record.descriptor, "");
    record.confidence = reading.confidence;
    return 1;
}

}  // namespace zeph::further
