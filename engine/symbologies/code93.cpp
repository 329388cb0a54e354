// Code 93: a start character, c characters of three bars each (the data, then
// the check characters C and K) and the stop character with its termination
// bar, 3c + 7 bars.
#include <array>
#include <span>
#include <string_view>

#include "engine/match/lazy_tables.h"
#include "engine/symbologies/code93_patterns.h"
#include "engine/symbologies/decoders.h"
#include "engine/symbologies/full_ascii.h"
#include "engine/symbologies/spans.h"
#include "engine/symbologies/width_checks.h"

namespace {

using namespace zeph::code93;

thread_local zeph::LazyTables<1> tables({kCharacters});

constexpr int32_t kMaxCharacters = 100;

// Weighted sum mod 47 of the values, weights 1, 2, ... cycle from the last
// value leftwards.
int CheckValue(std::span<const BestMatch> values, int cycle) {
    int sum = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const int j = static_cast<int>(values.size() - i);
        sum += ((j - 1) % cycle + 1) * values[i].index;
    }
    return sum % kValueCount;
}

// Both check characters follow the m = size - 2 data characters.
bool ChecksHold(std::span<const BestMatch> reading) {
    const size_t m = reading.size() - 2;
    for (size_t i = 0; i <= m; ++i) {
        if (reading[i].index < 0) return false;
    }
    return CheckValue(reading.first(m), kCWeightCycle) == reading[m].index &&
           CheckValue(reading.first(m + 1), kKWeightCycle) == reading[m + 1].index;
}

char CharacterOf(int value) {
    return value < static_cast<int>(kAlphabet.size())
               ? kAlphabet[static_cast<size_t>(value)]
               : zeph::full_ascii::kCode93Escapes[static_cast<size_t>(value) - kAlphabet.size()];
}

void WriteRecord(std::span<const BestMatch> data, MatchRecord& record) {
    std::array<char, kMaxCharacters> characters{};
    for (size_t i = 0; i < data.size(); ++i)
        characters[i] = CharacterOf(data[i].index);
    const std::string_view raw(characters.data(), data.size());
    std::array<char, kMaxCharacters> text{};
    const size_t length = zeph::full_ascii::Read(raw, zeph::full_ascii::kCode93Escapes, text);

    XR_SetText(record.rawData, raw);
    XR_SetText(record.data, {text.data(), length});
    XR_SetText(record.symbology, "CODE-93");
    XR_SetText(record.barcodeType, "Generic");
    XR_SetText(record.descriptor, "");
}

}  // namespace

int XR_DecodeCode93(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    const int32_t n = scan.barCount;
    if (n <= 9 || n % 3 != 1) return 0;
    const int32_t c = (n - 7) / 3;
    // Fewer than two characters cannot hold both check characters.
    if (c < 2 || c > kMaxCharacters) return 0;
    if (!XR_HasBarEnd(scan, n - 1)) return 0;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();
    // The start and every character are nine modules wide, the stop ten.
    std::array<float, kMaxCharacters + 2> widths{};
    zeph::StretchWidths(scan, 0, 3, c + 1, widths);
    widths[static_cast<size_t>(c) + 1] =
        static_cast<float>(ends[n - 1] - starts[3 * c + 3]) * kCharacterModules / kStopModules;
    if (!zeph::EvenWidths(std::span<const float>(widths.data(), static_cast<size_t>(c) + 2),
                          zeph::kWidthTolerance)) {
        return 0;
    }

    std::array<BestMatch, kMaxCharacters> reading{};
    float sum = zeph::ScoreSpan(scan, starts[0], starts[3], kStart);
    for (int32_t i = 0; i < c; ++i) {
        reading[i] = zeph::MatchSpan(scan, starts[3 * i + 3], starts[3 * i + 6], tables[0]);
        sum += reading[i].score;
    }
    sum += zeph::ScoreSpan(scan, starts[3 * c + 3], ends[n - 1], kStop);

    const float confidence = sum / static_cast<float>(c + 2);
    if (!(confidence > record.confidence)) return 0;
    const std::span<const BestMatch> read(reading.data(), static_cast<size_t>(c));
    if (!ChecksHold(read)) return 0;
    WriteRecord(read.first(static_cast<size_t>(c) - 2), record);
    record.confidence = confidence;
    return 1;
}

void XR_FreeCode93Tables() {
    if (tables.Built()) tables.Release();
}
