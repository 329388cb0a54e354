// Code 128: every character has three bars, the stop four, so a symbol of c
// characters (start and check included) has 3c + 4 bars and character k starts
// at bar 3k. Read left to right only; the search hands the reversed signal.
// A reading is also taken backwards over the same bars, and one that reads
// better that way is left to the reversed signal.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/descriptors/ucc_ean128_descriptor.h"
#include "engine/match/lazy_tables.h"
#include "engine/symbologies/code128_patterns.h"
#include "engine/symbologies/decoders.h"
#include "engine/symbologies/spans.h"
#include "engine/symbologies/width_checks.h"

namespace {

using namespace zeph::code128;

// A text that begins with FNC1 is GS1 data for the descriptor.
static_assert(kFunctionBytes[0] == kFnc1Byte);

enum Table {
    kSymbolTable,
    kStartTable,
    kSymbolBackwardTable,
    kStartBackwardTable,
    kStopBackwardTable
};
thread_local zeph::LazyTables<5> tables({kSymbols, kStarts, kSymbolsBackward, kStartsBackward,
                                         kStopBackward});

constexpr int32_t kMinBars = 10;
// Start, data and check characters; the reading holds one match per character.
constexpr int kMaxCharacters = 100;
constexpr int kCheckModulus = 103;
// Printed characters are all eleven modules wide, so neighbours measure alike
// far more closely than the general width test allows; bars that only happen
// to group into threes do not.
constexpr float kCharacterWidthTolerance = 0.12f;
// Least score of each character and of the stop. The mean over a long symbol
// hides a part that matches nothing, which a symbol read from random bars
// always has; a real one keeps every part above these even when blurred and
// coarsely sampled (the stop, with its narrow last elements, suffers most).
constexpr float kCharacterFloor = 0.65f;
constexpr float kStopFloor = 0.45f;

enum class CodeSet { kA, kB, kC };

constexpr char Fnc(int n) {
    return kFunctionBytes[static_cast<size_t>(n - 1)];
}

// The decoded text: at most two bytes per data character (set C digits).
class Text {
  public:
    void Put(char byte) { bytes_[size_++] = byte; }
    std::string_view View() const { return {bytes_.data(), size_}; }

  private:
    std::array<char, 2 * kMaxCharacters> bytes_{};
    size_t size_ = 0;
};

// Whether every character was recognised and the check character is the
// weighted sum of the start and data values modulo 103.
bool CheckCharacterHolds(std::span<const BestMatch> reading) {
    for (const BestMatch& m : reading) {
        if (m.index < 0) return false;
    }
    const size_t check = reading.size() - 1;
    int64_t total = kFirstStartValue + reading[0].index;
    for (size_t k = 1; k < check; ++k)
        total += static_cast<int64_t>(k) * reading[k].index;
    return total % kCheckModulus == reading[check].index;
}

// Adds the meaning of value v read in set A or B.
void PutInAOrB(int v, CodeSet set, Text& text) {
    if (v < 64 || (set == CodeSet::kB && v < 96)) {
        text.Put(static_cast<char>(v + 32));
    } else if (set == CodeSet::kA && v < 96) {
        text.Put(static_cast<char>(v - 64));
    } else if (v == kFnc3) {
        text.Put(Fnc(3));
    } else if (v == kFnc2) {
        text.Put(Fnc(2));
    } else if (v == kFnc1) {
        text.Put(Fnc(1));
    } else if ((set == CodeSet::kA && v == kCodeA) || (set == CodeSet::kB && v == kCodeB)) {
        text.Put(Fnc(4));
    }
}

// The text of data characters 1 .. c - 2; the check character carries none.
Text TextOf(std::span<const BestMatch> reading) {
    Text text;
    CodeSet set = static_cast<CodeSet>(reading[0].index);
    bool shifted = false;
    for (size_t k = 1; k + 1 < reading.size(); ++k) {
        const int v = reading[k].index;
        if (v == kCodeC && set != CodeSet::kC) {
            set = CodeSet::kC;
        } else if (v == kCodeB && set != CodeSet::kB) {
            set = CodeSet::kB;
        } else if (v == kCodeA && set != CodeSet::kA) {
            set = CodeSet::kA;
        } else if (set == CodeSet::kC) {
            if (v < 100) {
                text.Put(static_cast<char>('0' + v / 10));
                text.Put(static_cast<char>('0' + v % 10));
            } else if (v == kFnc1) {
                text.Put(Fnc(1));
            }
        } else {
            // A shift reads one character in the other of sets A and B; it
            // waits across code-set changes and set C digits for that character.
            const CodeSet readIn = !shifted ? set : set == CodeSet::kA ? CodeSet::kB : CodeSet::kA;
            shifted = v == kShift;
            PutInAOrB(v, readIn, text);
        }
    }
    return text;
}

// The confidence of the c characters read as a symbol met from its stop end:
// the reversed stop over the first four bars, then each character reversed
// from the check character back to the start, each a space then three bars.
// Negative when that reading's own check character does not hold. Reversed
// and regrouped one bar on, most characters of the table are other characters
// of eleven modules, so a symbol met backwards reads forwards too; only its
// ends match worse than they do backwards, and its check holds by chance.
float BackwardConfidence(const ScanSignal& scan, int c) {
    const int32_t* ends = scan.barEnds.get();
    std::array<BestMatch, kMaxCharacters> storage{};
    const std::span<BestMatch> reading(storage.data(), static_cast<size_t>(c));
    float sum = zeph::MatchSpan(scan, scan.barStarts[0], ends[3], tables[kStopBackwardTable]).score;
    for (int j = 0; j < c; ++j) {
        const Table table = j == c - 1 ? kStartBackwardTable : kSymbolBackwardTable;
        const BestMatch m = zeph::MatchSpan(scan, ends[3 * j + 3], ends[3 * j + 6], tables[table]);
        reading[static_cast<size_t>(c - 1 - j)] = m;
        sum += m.score;
    }
    if (!CheckCharacterHolds(reading)) return -1.0f;
    return sum / static_cast<float>(c + 1);
}

}  // namespace

int XR_DecodeCode128(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    const int32_t n = scan.barCount;
    if (n < kMinBars || n % 3 != 1) return 0;
    const int c = (n - 4) / 3;
    if (c > kMaxCharacters) return 0;
    // The stop stretch ends with the last bar; a signal cut inside it gives no end.
    if (!XR_HasBarEnd(scan, n - 1)) return 0;
    const int32_t* starts = scan.barStarts.get();
    // Every character is eleven modules wide, the stop thirteen.
    std::array<float, kMaxCharacters + 1> widths{};
    zeph::StretchWidths(scan, 0, 3, c, widths);
    widths[static_cast<size_t>(c)] =
        static_cast<float>(scan.barEnds[n - 1] - starts[3 * c]) * kSymbolModules / kStopModules;
    if (!zeph::EvenWidths(std::span<const float>(widths.data(), static_cast<size_t>(c) + 1),
                          kCharacterWidthTolerance)) {
        return 0;
    }

    std::array<BestMatch, kMaxCharacters> storage{};
    const std::span<BestMatch> reading(storage.data(), static_cast<size_t>(c));
    reading[0] = zeph::MatchSpan(scan, starts[0], starts[3], tables[kStartTable]);
    float sum = reading[0].score;
    for (int k = 1; k < c; ++k) {
        reading[k] = zeph::MatchSpan(scan, starts[3 * k], starts[3 * k + 3], tables[kSymbolTable]);
        sum += reading[k].score;
    }
    const float stop = zeph::ScoreSpan(scan, starts[3 * c], scan.barEnds[n - 1], kStop);
    const float confidence = (sum + stop) / static_cast<float>(c + 1);

    if (!(confidence > record.confidence)) return 0;
    if (!CheckCharacterHolds(reading)) return 0;
    if (!(stop >= kStopFloor)) return 0;
    for (const BestMatch& m : reading) {
        if (!(m.score >= kCharacterFloor)) return 0;
    }
    if (BackwardConfidence(scan, c) >= confidence) return 0;

    const Text text = TextOf(reading);
    XR_SetText(record.data, text.View());
    XR_SetText(record.rawData, text.View());
    XR_SetText(record.symbology, "CODE-128");
    XR_SetText(record.barcodeType, "Generic");
    XR_SetText(record.descriptor, "");
    if (!text.View().empty() && text.View().front() == kFnc1Byte) {
        XR_DescribeUccEan128(record);
    }
    record.confidence = confidence;
    return 1;
}

void XR_FreeCode128Tables() {
    if (tables.Built()) tables.Release();
}
