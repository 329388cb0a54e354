// Telepen: every character eight bits with even parity, least significant
// bit first, written as a stream of bar and space pairs: a 1 bit a narrow bar
// and space; 00 a wide bar and narrow space; 010 a wide bar and space; and a
// block 0 1...1 0 a narrow bar and wide space, its 1 bits as above, and a
// narrow bar and wide space again. Wide is three narrow (printers make it
// from about two to three and a half); each bit takes two narrow widths at
// three. The symbol is "_", the data, a check character (the data and it sum
// to a multiple of 127), "z".
//
// The pairs are measured from bar start to bar start, where ink spread
// cancels, against the narrow width of the character before; the start gives
// the first narrow width, the ratio of wide to narrow, and the widths the
// print gives each kind of element. Characters score the mean of their
// pairs' or their whole's correlations with templates of the ideal or the
// measured widths, whichever fits the symbol best.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "engine/further/check_digits.h"
#include "engine/further/decoders.h"
#include "engine/further/telepen_text.h"
#include "engine/symbologies/spans.h"
#include "engine/symbologies/width_checks.h"

namespace {

using zeph::further::kMostTelepenCharacters;

constexpr int kStart = '_';
constexpr int kStop = 'z';
constexpr int32_t kStartBars = 6;  // five narrow pairs, then a wide pair
// Start, one data character (two bars at least), check, stop.
constexpr int32_t kFewestBars = kStartBars + 2 + 2 + kStartBars;
constexpr int32_t kMostCharacters = static_cast<int32_t>(kMostTelepenCharacters) + 3;
// A character has four bars at most.
constexpr int32_t kMostBars = 4 * kMostCharacters;
constexpr float kMinRatio = 1.8f;
constexpr float kMaxRatio = 3.8f;
// The start's wide bar and wide space must be clearly wider than its narrow ones.
constexpr float kWideOverNarrow = 1.5f;
constexpr float kQuietNarrows = 3.0f;
constexpr float kFloorShare = 0.75f;
// Most pairs of a character (eight 1 bits), and the longest template of one
// (a wide element is at most kMaxRatio narrow ones, each four quarters).
constexpr size_t kMostPairs = 8;
constexpr int kQuarters = 4;
constexpr size_t kMostTemplate = 2 * kMostPairs * 16;

enum Pair : uint8_t { kNarrowNarrow, kWideNarrow, kNarrowWide, kWideWide };

struct Character {
    int32_t firstBar = 0;
    uint32_t bits = 0;  // as read, least significant first
    int32_t bitCount = 0;
    std::array<Pair, kMostPairs> pairs{};
    int32_t pairCount = 0;

    int32_t WideElements() const {
        int32_t wide = 0;
        for (int32_t p = 0; p < pairCount; ++p)
            wide += pairs[p] == kWideWide ? 2 : pairs[p] == kNarrowNarrow ? 0 : 1;
        return wide;
    }
};

// The widths the print gives its four kinds of element, measured over the
// whole symbol: ink spread widens bars and narrows spaces, and printers make
// wide bars and wide spaces differently wide.
struct PrintWidths {
    std::array<double, 4> sum{};  // narrow bar, wide bar, narrow space, wide space
    std::array<int, 4> count{};

    void Add(bool wide, bool space, double width) {
        const size_t kind = (space ? 2 : 0) + (wide ? 1 : 0);
        sum[kind] += width;
        ++count[kind];
    }
    // The mean of a kind, or of its narrow or wide counterpart scaled by the
    // ratio where the symbol has none of it.
    double Mean(size_t kind, double ratio) const {
        if (count[kind] > 0) return sum[kind] / count[kind];
        const size_t other = kind ^ 1;
        if (count[other] == 0) return 0;
        const double mean = sum[other] / count[other];
        return kind % 2 == 1 ? mean * ratio : mean / ratio;
    }
};

// Templates of a character's elements as long as the print makes their
// kinds, in quarters of a narrow element: of pairs first..last - 1, the
// last character's final space (the quiet zone) left out.
std::string_view TemplateOf(const Character& c, int32_t first, int32_t last, bool endsSymbol,
                            const std::array<int, 4>& quarters,
                            std::array<char, kMostTemplate>& store) {
    size_t at = 0;
    for (int32_t p = first; p < last; ++p) {
        const Pair pair = c.pairs[static_cast<size_t>(p)];
        const bool wideBar = pair == kWideNarrow || pair == kWideWide;
        const bool wideSpace = pair == kNarrowWide || pair == kWideWide;
        const auto bar = static_cast<size_t>(quarters[wideBar ? 1 : 0]);
        const auto space = static_cast<size_t>(quarters[wideSpace ? 3 : 2]);
        std::fill_n(store.begin() + static_cast<std::ptrdiff_t>(at), bar, '1');
        at += bar;
        if (endsSymbol && p + 1 == c.pairCount) break;
        std::fill_n(store.begin() + static_cast<std::ptrdiff_t>(at), space, '0');
        at += space;
    }
    return {store.data(), at};
}

class Reader {
  public:
    explicit Reader(const ScanSignal& scan) : scan_(scan) {}

    // Cuts the bars into characters; false where the pairs break the code.
    bool Read() {
        const int32_t n = scan_.barCount;
        const int32_t* starts = scan_.barStarts.get();
        const int32_t* ends = scan_.barEnds.get();
        // The start's ten narrow elements and its wide pair give the narrow
        // width, the ratio, and the widths of each kind of element.
        float narrowBars = 0;
        float narrowSpaces = 0;
        for (int32_t k = 0; k < kStartBars - 1; ++k) {
            narrowBars += static_cast<float>(ends[k] - starts[k]);
            narrowSpaces += static_cast<float>(starts[k + 1] - ends[k]);
        }
        narrow_ = static_cast<float>(starts[kStartBars - 1] - starts[0]) / 10;
        if (!(narrow_ > 0)) return false;
        ratio_ = static_cast<float>(starts[kStartBars] - starts[kStartBars - 1]) / (2 * narrow_);
        if (ratio_ < kMinRatio || ratio_ > kMaxRatio) return false;
        const int32_t w = kStartBars - 1;
        const float unit = 1 / narrow_;
        narrowBar_ = narrowBars / (kStartBars - 1) * unit;
        narrowSpace_ = narrowSpaces / (kStartBars - 1) * unit;
        wideBar_ = static_cast<float>(ends[w] - starts[w]) * unit;
        wideSpace_ = static_cast<float>(starts[w + 1] - ends[w]) * unit;
        if (wideBar_ < kWideOverNarrow * narrowBar_ || wideSpace_ < kWideOverNarrow * narrowSpace_)
            return false;

        bool inBlock = false;
        Open(0);
        for (int32_t k = 0; k < n; ++k) {
            Pair pair = kNarrowNarrow;
            if (k + 1 < n) {
                if (!Classify(k, pair)) return false;
            } else {
                // The last bar's space is the quiet zone: it ends a 1 bit.
                const float bar = static_cast<float>(ends[k] - starts[k]) / narrow_;
                if (bar > 0.5f * (narrowBar_ + wideBar_)) return false;
            }
            if (!Take(pair, inBlock)) return false;
            const Character& c = characters_[count_ - 1];
            if (c.bitCount == 8 && !inBlock) {
                if (k + 1 == n) break;
                // A new character starts at the next bar: the one just read
                // gives the narrow width from here on.
                const auto width = static_cast<float>(starts[k + 1] - starts[c.firstBar]);
                const int32_t wide = c.WideElements();
                narrow_ = width / (static_cast<float>(2 * c.pairCount - wide) + ratio_ * wide);
                if (count_ == kMostCharacters) return false;
                Open(k + 1);
            }
        }
        const Character& last = characters_[count_ - 1];
        return last.bitCount == 8 && !inBlock;
    }

    int32_t Count() const { return count_; }
    const Character& At(int32_t i) const { return characters_[i]; }
    float Narrow() const { return narrow_; }
    float Ratio() const { return ratio_; }

  private:
    void Open(int32_t firstBar) { characters_[count_++] = Character{firstBar}; }

    // What the bar and space at bar k are. A pair of two narrow elements
    // spans 2 narrow widths, of one wide 1 + ratio, of two wide 2 ratio;
    // those of one wide element have a wide bar or a wide space, whichever
    // lies further towards the wide width the start shows for its kind (ink
    // spread and printers move bars and spaces differently).
    bool Classify(int32_t k, Pair& pair) const {
        const float total =
            static_cast<float>(scan_.barStarts[k + 1] - scan_.barStarts[k]) / narrow_;
        if (total < 1.0f || total > 2 * ratio_ + 1.5f) return false;
        if (total < 0.5f * (3 + ratio_)) {
            pair = kNarrowNarrow;
        } else if (total < 0.5f * (1 + 3 * ratio_)) {
            const float bar = static_cast<float>(scan_.barEnds[k] - scan_.barStarts[k]) / narrow_;
            const float space =
                static_cast<float>(scan_.barStarts[k + 1] - scan_.barEnds[k]) / narrow_;
            const float barWide = (bar - 0.5f * (narrowBar_ + wideBar_)) / (wideBar_ - narrowBar_);
            const float spaceWide =
                (space - 0.5f * (narrowSpace_ + wideSpace_)) / (wideSpace_ - narrowSpace_);
            pair = barWide > spaceWide ? kWideNarrow : kNarrowWide;
        } else {
            pair = kWideWide;
        }
        return true;
    }

    // Adds the pair's bits to the open character.
    bool Take(Pair pair, bool& inBlock) {
        Character& c = characters_[count_ - 1];
        const auto add = [&c](std::initializer_list<int> bits) {
            for (const int b : bits)
                c.bits |= static_cast<uint32_t>(b) << c.bitCount++;
        };
        if (inBlock) {
            if (pair == kNarrowNarrow) {
                add({1});
            } else if (pair == kNarrowWide) {
                add({1, 0});
                inBlock = false;
            } else {
                return false;
            }
        } else if (pair == kNarrowNarrow) {
            add({1});
        } else if (pair == kWideNarrow) {
            add({0, 0});
        } else if (pair == kWideWide) {
            add({0, 1, 0});
        } else {
            add({0, 1});
            inBlock = true;
        }
        if (c.bitCount > 8 || c.pairCount == static_cast<int32_t>(kMostPairs)) return false;
        c.pairs[static_cast<size_t>(c.pairCount++)] = pair;
        return true;
    }

    const ScanSignal& scan_;
    float narrow_ = 0;
    float ratio_ = 3;
    // The widths of each kind of element at the start, in narrow widths.
    float narrowBar_ = 1;
    float narrowSpace_ = 1;
    float wideBar_ = 3;
    float wideSpace_ = 3;
    std::array<Character, kMostCharacters> characters_{};
    int32_t count_ = 0;
};

// The start's five narrow pairs and one wide pair, cheaply: most windows end
// here.
bool StartsLikeTelepen(const ScanSignal& scan) {
    const int32_t* starts = scan.barStarts.get();
    const float narrowPairs = static_cast<float>(starts[kStartBars - 1] - starts[0]) / 5;
    const auto wide = static_cast<float>(starts[kStartBars] - starts[kStartBars - 1]);
    if (!(narrowPairs > 0) || wide < 2.2f * narrowPairs || wide > 4.0f * narrowPairs) return false;
    for (int32_t k = 0; k + 1 < kStartBars; ++k) {
        const auto pair = static_cast<float>(starts[k + 1] - starts[k]);
        if (pair > 1.4f * narrowPairs || pair < 0.6f * narrowPairs) return false;
    }
    return true;
}

bool EvenParity(uint32_t bits) {
    return __builtin_popcount(bits) % 2 == 0;
}

}  // namespace

namespace {

int DecodeTelepen(const ScanSignal& scan, MatchRecord& record, bool numericLabel) {
    const int32_t n = scan.barCount;
    if (n < kFewestBars || n > kMostBars) return 0;
    if (!XR_HasBarEnd(scan, n - 1) || !StartsLikeTelepen(scan)) return 0;
    Reader reader(scan);
    if (!reader.Read()) return 0;
    const int32_t count = reader.Count();
    std::array<int, kMostCharacters> values{};
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t bits = reader.At(i).bits;
        if (!EvenParity(bits)) return 0;
        values[i] = static_cast<int>(bits & 0x7F);
    }
    if (count < 4 || values[0] != kStart || values[count - 1] != kStop) return 0;
    const auto data = std::span<const int>(values).subspan(1, static_cast<size_t>(count - 3));
    if (zeph::further::TelepenCheck(data) != values[count - 2]) return 0;

    // Every character is sixteen modules at the ratio of three: their widths
    // agree.
    std::array<float, kMostCharacters> characterWidths{};
    for (int32_t i = 0; i + 1 < count; ++i) {
        characterWidths[i] = static_cast<float>(scan.barStarts[reader.At(i + 1).firstBar] -
                                                scan.barStarts[reader.At(i).firstBar]);
    }
    if (!zeph::EvenWidths(
            std::span<const float>(characterWidths.data(), static_cast<size_t>(count - 1)),
            zeph::kWidthTolerance)) {
        return 0;
    }
    if (!zeph::LightBefore(scan, reader.Narrow(), kQuietNarrows)) return 0;

    // The widths the print gives each kind of element.
    PrintWidths print;
    for (int32_t i = 0; i < count; ++i) {
        const Character& c = reader.At(i);
        for (int32_t p = 0; p < c.pairCount; ++p) {
            const int32_t k = c.firstBar + p;
            const Pair pair = c.pairs[static_cast<size_t>(p)];
            print.Add(pair == kWideNarrow || pair == kWideWide, false,
                      scan.barEnds[k] - scan.barStarts[k]);
            if (k + 1 < n) {
                print.Add(pair == kNarrowWide || pair == kWideWide, true,
                          scan.barStarts[k + 1] - scan.barEnds[k]);
            }
        }
    }
    const double quarter =
        (print.Mean(0, reader.Ratio()) + print.Mean(2, reader.Ratio())) / (2 * kQuarters);
    if (!(quarter > 0)) return 0;
    const auto quarters = [](double width) {
        return std::clamp(static_cast<int>(std::lround(width)), 1,
                          static_cast<int>(kQuarters * kMaxRatio));
    };
    // Two models of the print: its elements as wide as the ratio makes them,
    // and as wide as they measure (ink spread and printers move bars and
    // spaces differently; the zero crossings of a blurred signal too).
    const int wide = quarters(kQuarters * reader.Ratio());
    std::array<std::array<int, 4>, 2> models = {{{kQuarters, wide, kQuarters, wide}, {}}};
    for (size_t kind = 0; kind < 4; ++kind)
        models[1][kind] = quarters(print.Mean(kind, reader.Ratio()) / quarter);

    // Each model scores every character in two ways: the whole character,
    // which blur smears less, and the mean of its pairs one by one, which a
    // rough print's local distortion moves less (the last bar with a narrow
    // space of the quiet zone). The best of the four is the confidence.
    std::array<char, kMostTemplate> pattern{};
    const auto narrowSpace = static_cast<int32_t>(std::lround(kQuarters * quarter));
    std::array<float, kMostCharacters> scores{};
    float sum = -1;
    for (const std::array<int, 4>& model : models) {
        for (const bool byPairs : {false, true}) {
            std::array<float, kMostCharacters> fit{};
            float total = 0;
            for (int32_t i = 0; i < count; ++i) {
                const Character& c = reader.At(i);
                const bool last = i + 1 == count;
                if (!byPairs) {
                    const int32_t end =
                        last ? scan.barEnds[n - 1] : scan.barStarts[reader.At(i + 1).firstBar];
                    fit[i] = zeph::ScoreSpan(scan, scan.barStarts[c.firstBar], end,
                                             TemplateOf(c, 0, c.pairCount, last, model, pattern));
                } else {
                    for (int32_t p = 0; p < c.pairCount; ++p) {
                        const int32_t k = c.firstBar + p;
                        const int32_t stop =
                            k + 1 < n ? scan.barStarts[k + 1] : scan.barEnds[k] + narrowSpace;
                        fit[i] += zeph::ScoreSpan(scan, scan.barStarts[k], stop,
                                                  TemplateOf(c, p, p + 1, false, model, pattern));
                    }
                    fit[i] /= static_cast<float>(c.pairCount);
                }
                total += fit[i];
            }
            if (total > sum) {
                sum = total;
                scores = fit;
            }
        }
    }
    const float confidence = sum / static_cast<float>(count);
    if (!(confidence > record.confidence)) return 0;
    for (int32_t i = 0; i < count; ++i) {
        if (scores[i] < kFloorShare * confidence) return 0;
    }

    zeph::further::TelepenText text;
    if (!zeph::further::ReadTelepenText(data, numericLabel, text)) return 0;
    XR_SetText(record.rawData, text.Text());
    XR_SetText(record.data, text.Text());
    XR_SetText(record.symbology, "TELEPEN");
    XR_SetText(record.barcodeType, text.form);
    XR_SetText(record.descriptor, "");
    if (text.otherLength > 0) {
        XR_SetText(record.descriptor, text.otherNumeric ? "As digit pairs: " : "As ASCII: ");
        XR_AppendText(record.descriptor, text.Other());
    }
    record.confidence = confidence;
    return 1;
}

}  // namespace

int XR_DecodeTelepen(const ScanSignal& scan, MatchRecord& record) {
    return DecodeTelepen(scan, record, false);
}

int XR_DecodeTelepenNumeric(const ScanSignal& scan, MatchRecord& record) {
    return DecodeTelepen(scan, record, true);
}

// Telepen is read from its widths alone: it keeps no tables.
void XR_FreeTelepenTables() {}
