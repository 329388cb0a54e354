#include "engine/profile/codabar_widths.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string_view>

#include "engine/profile/edge_widths.h"

namespace zeph::profile {
namespace {

constexpr std::string_view kAlphabet = "0123456789-$:/.+ABCD";
// The elements of each character of kAlphabet, bar first, as bits (element 0
// the highest of seven): 1 wide, 0 narrow.
constexpr std::array<uint8_t, 20> kPatterns = {
    0b0000011, 0b0000110, 0b0001001, 0b1100000, 0b0010010, 0b1000010, 0b0100001,
    0b0100100, 0b0110000, 0b1001000, 0b0001100, 0b0011000, 0b1000101, 0b1010001,
    0b1010100, 0b0010101, 0b0011010, 0b0101001, 0b0001011, 0b0001110};
constexpr int kFirstLetter = 16;

// The step between the widest narrow element and the narrowest wide one (of
// bars, or of spaces), as a ratio: blur and ink spread move the widths of
// wide elements with their neighbours.
constexpr double kLeastStep = 1.3;
// The mean wide element, as a multiple of the mean narrow one.
constexpr double kLeastRatio = 1.6;
// Largest distance of an element from its class's width across the symbol,
// as a share of that width.
constexpr double kMostDeviation = 0.4;
// Characters' widths may differ from their neighbour's by this share of the
// wider one: a character with three wide elements is one wide less one
// narrow element wider than one with two, and perspective changes it slowly.
constexpr double kMostCharacterChange = 0.3;

int Lookup(uint8_t pattern) {
    const auto it = std::find(kPatterns.begin(), kPatterns.end(), pattern);
    return it == kPatterns.end() ? -1 : static_cast<int>(it - kPatterns.begin());
}

}  // namespace

int CodabarWidths::Decode(const ScanSignal& window, MatchRecord& record) {
    const int32_t bars = window.barCount;
    if (bars % 4 != 0) return 0;
    const int32_t count = bars / 4;
    if (count < kFewestCharacters || count > kMostCharacters) return 0;
    if (!EdgeWidths(window, std::span(widths_).first(static_cast<size_t>(2 * bars - 1)))) return 0;

    // Every element in units of its neighbourhood: the mean width of its
    // character and the characters on either side, so that perspective
    // cancels.
    for (int32_t c = 0; c < count; ++c) {
        double width = 0;
        for (int i = 0; i < 7; ++i)
            width += widths_[static_cast<size_t>(8 * c + i)];
        characterWidths_[static_cast<size_t>(c)] = width;
        const double previous = c > 0 ? characterWidths_[static_cast<size_t>(c) - 1] : width;
        if (std::fabs(width - previous) > kMostCharacterChange * std::max(width, previous)) {
            return 0;
        }
    }
    for (int32_t c = 0; c < count; ++c) {
        const int32_t from = std::max(0, c - 1);
        const int32_t to = std::min(count - 1, c + 1);
        double scale = 0;
        for (int32_t k = from; k <= to; ++k)
            scale += characterWidths_[static_cast<size_t>(k)];
        scale /= (to - from + 1);
        for (int i = 0; i < 8 && (i < 7 || c + 1 < count); ++i)
            units_[static_cast<size_t>(8 * c + i)] =
                widths_[static_cast<size_t>(8 * c + i)] / scale;
    }
    // Bars and spaces apart (ink spread widens one and narrows the other):
    // narrow and wide at the widest step between their sorted widths.
    std::array<double, 2> cut{};
    for (int parity = 0; parity < 2; ++parity) {
        size_t m = 0;
        for (int32_t c = 0; c < count; ++c) {
            for (int i = parity; i < 7; i += 2)
                sorted_[m++] = units_[static_cast<size_t>(8 * c + i)];
        }
        std::sort(sorted_.begin(), sorted_.begin() + static_cast<std::ptrdiff_t>(m));
        double best = 0;
        for (size_t i = 0; i + 1 < m; ++i) {
            const double step = sorted_[i + 1] / sorted_[i];
            if (step > best) {
                best = step;
                cut[static_cast<size_t>(parity)] = sorted_[i];
            }
        }
        if (best < kLeastStep) return 0;
    }

    for (int32_t c = 0; c < count; ++c) {
        uint8_t pattern = 0;
        for (int i = 0; i < 7; ++i) {
            const size_t at = static_cast<size_t>(8 * c + i);
            const bool wide = units_[at] > cut[static_cast<size_t>(i % 2)];
            wide_[at] = wide;
            pattern = static_cast<uint8_t>(pattern << 1 | (wide ? 1 : 0));
        }
        const int k = Lookup(pattern);
        const bool letter = k >= kFirstLetter;
        const bool end = c == 0 || c == count - 1;
        if (k < 0 || letter != end) return 0;
        text_[static_cast<size_t>(c)] = kAlphabet[static_cast<size_t>(k)];
    }

    // How far each element lies from its class's mean across the symbol.
    std::array<double, 4> sum{};
    std::array<int, 4> number{};
    for (int32_t c = 0; c < count; ++c) {
        for (int i = 0; i < 7; ++i) {
            const size_t at = static_cast<size_t>(8 * c + i);
            const auto cls = static_cast<size_t>((i % 2) * 2 + wide_[at]);
            sum[cls] += units_[at];
            ++number[cls];
        }
    }
    std::array<double, 4> mean{};
    for (size_t cls = 0; cls < 4; ++cls) {
        if (number[cls] == 0) return 0;
        mean[cls] = sum[cls] / number[cls];
    }
    if (mean[1] < kLeastRatio * mean[0] || mean[3] < kLeastRatio * mean[2]) return 0;
    double deviation = 0;
    int elements = 0;
    for (int32_t c = 0; c < count; ++c) {
        for (int i = 0; i < 7; ++i) {
            const size_t at = static_cast<size_t>(8 * c + i);
            const double m = mean[static_cast<size_t>((i % 2) * 2 + wide_[at])];
            const double d = std::fabs(units_[at] - m) / m;
            if (d > kMostDeviation) return 0;
            deviation += d;
            ++elements;
        }
        // The gap between characters is a narrow space or somewhat wider,
        // never as wide as two wide ones.
        if (c + 1 < count) {
            const double gap = units_[static_cast<size_t>(8 * c + 7)];
            if (gap < (1 - kMostDeviation) * mean[2] || gap > 2 * mean[3]) return 0;
        }
    }
    const auto confidence = static_cast<float>(1.0 - deviation / elements);
    if (!(confidence > record.confidence)) return 0;

    const std::string_view text(text_.data(), static_cast<size_t>(count));
    XR_SetText(record.rawData, text);
    XR_SetText(record.data, text);
    XR_SetText(record.symbology, "CODABAR");
    XR_SetText(record.barcodeType, "Generic");
    XR_SetText(record.descriptor, "");
    record.confidence = confidence;
    return 1;
}

}  // namespace zeph::profile
