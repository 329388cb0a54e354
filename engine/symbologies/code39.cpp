// Code 39: a start character, c characters of five bars each and a stop
// character, 5c + 10 bars. The wide/narrow ratio of the start character picks
// one of seven tables; the reading is then a VIN, a symbol with its modulo-43
// check character, or a plain symbol whose every character scored well.
#include <array>
#include <span>
#include <string_view>

#include "engine/symbologies/code39_patterns.h"
#include "engine/symbologies/decoders.h"
#include "engine/symbologies/full_ascii.h"
#include "engine/symbologies/spans.h"
#include "engine/symbologies/wide_narrow.h"
#include "engine/symbologies/width_checks.h"

namespace {

using namespace zeph::code39;

// The start/stop source is parsed too but read as a literal pattern.
enum Source { kCharacterTable, kStartStopPattern };
thread_local zeph::wide_narrow::VariantTables<7, 2> tables({kCharacters, kStartStop});

constexpr int32_t kMaxCharacters = 100;

enum class Kind { kNone, kGeneric, kChecksum, kVin };

// Light before the start character, in narrow widths: a symbol begins with a
// quiet zone, a piece of one with a narrow gap.
constexpr float kQuietNarrows = 3.0f;

struct StartWidths {
    float narrow = 0;
    float ratio = 0;  // wide over narrow; 0 when there is no narrow width
};

// The widths of the start character (bar N, space W, bar N, space N, bar W,
// space N, bar W, space N, bar N).
StartWidths MeasureStart(const int32_t* starts, const int32_t* ends) {
    const float wide = 0.3333f * static_cast<float>((starts[1] - ends[0]) + (ends[2] - starts[2]) +
                                                    (ends[3] - starts[3]));
    const float narrow = 0.1667f * (static_cast<float>(ends[4] - starts[0]) - 3.0f * wide);
    if (!(narrow > 0.0f)) return {};
    return {narrow, wide / narrow};
}

bool VinCheckHolds(std::span<const BestMatch> reading) {
    if (reading.size() != kVinLength || reading[0].index != kLetterI) return false;
    int total = 0;
    for (int k = 0; k < kVinLength; ++k) {
        if (reading[k].index > kLastAlphanumeric) return false;
        total += kVinTransliteration[reading[k].index] * kVinWeights[k];
    }
    const int m = total % 11;
    return reading[kVinCheckPosition].index == (m == 10 ? kLetterX : m);
}

Kind Classify(std::span<const BestMatch> reading, float floor) {
    for (const BestMatch& m : reading) {
        if (m.index < 0) return Kind::kNone;
    }
    if (VinCheckHolds(reading)) return Kind::kVin;
    int sum = 0;
    for (size_t i = 0; i + 1 < reading.size(); ++i)
        sum += reading[i].index;
    if (sum % kCharacterCount == reading.back().index) return Kind::kChecksum;
    for (const BestMatch& m : reading) {
        if (m.score < floor) return Kind::kNone;
    }
    return Kind::kGeneric;
}

void WriteVin(std::string_view raw, MatchRecord& record) {
    const size_t year = kAlphabet.find(raw[kVinYearPosition]);
    XR_SetText(record.barcodeType, "VIN");
    XR_SetText(record.descriptor, "Vehicle Identification Number");
    XR_SetText(record.data, "WMI: ");
    XR_AppendText(record.data, raw.substr(1, 3));
    XR_AppendText(record.data, "; VDS: ");
    XR_AppendText(record.data, raw.substr(4, 5));
    XR_AppendText(record.data, "; Year: ");
    XR_AppendText(record.data, kModelYears.substr(5 * year, 4));
    XR_AppendText(record.data, "; Plant: ");
    XR_AppendText(record.data, raw.substr(11, 1));
    XR_AppendText(record.data, "; Serial#: ");
    XR_AppendText(record.data, raw.substr(12, 6));
}

void WriteRecord(std::span<const BestMatch> reading, Kind kind, MatchRecord& record) {
    std::array<char, kMaxCharacters> characters{};
    for (size_t i = 0; i < reading.size(); ++i)
        characters[i] = kAlphabet[static_cast<size_t>(reading[i].index)];
    const std::string_view raw(characters.data(), reading.size());

    XR_SetText(record.symbology, "CODE-39");
    XR_SetText(record.rawData, raw);
    if (kind == Kind::kVin) {
        WriteVin(raw, record);
        return;
    }
    XR_SetText(record.barcodeType, kind == Kind::kChecksum ? "Generic with checksum" : "Generic");
    std::array<char, kMaxCharacters> data{};
    const size_t length = zeph::full_ascii::Read(raw, zeph::full_ascii::kCode39Escapes, data);
    XR_SetText(record.data, {data.data(), length});
    const bool extended = raw.find_first_of("$/+%") != std::string_view::npos;
    XR_SetText(record.descriptor, extended ? "Extended ASCII formatting" : "");
}

}  // namespace

int XR_DecodeCode39(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    const int32_t n = scan.barCount;
    if (n <= 9 || n % 5 != 0) return 0;
    const int32_t c = (n - 10) / 5;
    // A start and a stop character with nothing between them carry no data.
    if (c == 0 || c > kMaxCharacters) return 0;
    if (!XR_HasBarEnd(scan, n - 1)) return 0;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();
    // Every character, start and stop included, has three wide and six narrow
    // elements.
    if (!zeph::EvenCharactersAndGaps(scan, 5, c + 2)) return 0;

    const StartWidths start = MeasureStart(starts, ends);
    if (start.ratio < kMinRatio || start.ratio > kMaxRatio) return 0;
    if (!zeph::LightBefore(scan, start.narrow, kQuietNarrows)) return 0;
    const size_t variant = tables.Choose(start.ratio);
    const PatternTable& table = tables.Table(variant, kCharacterTable);
    const std::string_view startStop = tables.Pattern(variant, kStartStopPattern);

    std::array<BestMatch, kMaxCharacters> reading{};
    float sum = zeph::ScoreSpan(scan, starts[0], ends[4], startStop);
    for (int32_t i = 0; i < c; ++i) {
        reading[i] = zeph::MatchSpan(scan, starts[5 * i + 5], ends[5 * i + 9], table);
        sum += reading[i].score;
    }
    sum += zeph::ScoreSpan(scan, starts[5 * c + 5], ends[n - 1], startStop);

    const float confidence = sum / static_cast<float>(c + 2);
    if (!(confidence > record.confidence)) return 0;
    const std::span<const BestMatch> read(reading.data(), static_cast<size_t>(c));
    const Kind kind = Classify(read, 0.75f * confidence);
    if (kind == Kind::kNone) return 0;
    if (!zeph::FollowsWideNarrow(scan, 0, kStartStop) ||
        !zeph::FollowsWideNarrow(scan, 5 * c + 5, kStartStop)) {
        return 0;
    }
    for (int32_t i = 0; i < c; ++i) {
        const auto letters = kCharacters.substr(static_cast<size_t>(read[i].index) * 10, 9);
        if (!zeph::FollowsWideNarrow(scan, 5 * i + 5, letters)) return 0;
    }
    WriteRecord(read, kind, record);
    record.confidence = confidence;
    return 1;
}

void XR_FreeCode39Tables() {
    if (tables.Built()) tables.Release();
}
