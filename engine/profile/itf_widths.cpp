#include "engine/profile/itf_widths.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string_view>

#include "engine/profile/edge_widths.h"
#include "engine/symbologies/interleaved_2of5_patterns.h"

namespace zeph::profile {
namespace {

// Elements before the first pair (the start's four narrow ones), and the
// stop's three after the last.
constexpr int32_t kStartElements = 4;
constexpr int32_t kStopElements = 3;
// The narrowest wide element of a digit against its widest narrow one.
constexpr double kLeastStep = 1.25;
// The mean wide element, as a multiple of the mean narrow one, of bars and
// of spaces.
constexpr double kLeastRatio = 1.6;
// Largest distance of an element from its class's mean across the symbol,
// as a share of that mean.
constexpr double kMostDeviation = 0.35;
// Neighbouring pairs are equally wide but for perspective, which may be
// steep: a symbol seen at a slant has modules four times as wide at one end.
constexpr double kMostPairChange = 0.3;

// The digit whose wide elements are the two marked.
int DigitOf(int first, int second) {
    for (size_t d = 0; d < zeph::itf::kDigitWide.size(); ++d) {
        const auto& wide = zeph::itf::kDigitWide[d];
        if (wide[static_cast<size_t>(first)] && wide[static_cast<size_t>(second)])
            return static_cast<int>(d);
    }
    return -1;
}

}  // namespace

int ItfWidths::Decode(const ScanSignal& window, MatchRecord& record) {
    const int32_t bars = window.barCount;
    if (bars % 5 != 4) return 0;
    const int32_t pairs = (bars - 4) / 5;
    if (pairs < kFewestPairs || pairs > kMostPairs) return 0;
    const auto elements = static_cast<size_t>(2 * bars - 1);
    if (!EdgeWidths(window, std::span(widths_).first(elements))) return 0;

    // Pair widths and centres, in samples from the first element's start.
    double at = 0;
    for (size_t e = 0; e < static_cast<size_t>(kStartElements); ++e)
        at += widths_[e];
    for (int32_t p = 0; p < pairs; ++p) {
        double width = 0;
        for (int32_t i = 0; i < 10; ++i)
            width += widths_[static_cast<size_t>(kStartElements + 10 * p + i)];
        pairWidths_[static_cast<size_t>(p)] = width;
        pairCentres_[static_cast<size_t>(p)] = at + 0.5 * width;
        at += width;
        const double previous = p > 0 ? pairWidths_[static_cast<size_t>(p) - 1] : width;
        if (std::fabs(width - previous) > kMostPairChange * std::max(width, previous)) return 0;
    }
    // Each element in units of the pair width at its centre, interpolated
    // between the pairs' centres (perspective changes it along the symbol),
    // and beyond the outer pairs taken as theirs.
    at = 0;
    size_t p = 0;
    for (size_t e = 0; e < elements; ++e) {
        const double centre = at + 0.5 * widths_[e];
        at += widths_[e];
        while (p + 1 < static_cast<size_t>(pairs) && pairCentres_[p + 1] <= centre)
            ++p;
        double scale = pairWidths_[p];
        if (p + 1 < static_cast<size_t>(pairs) && centre > pairCentres_[p]) {
            const double t = (centre - pairCentres_[p]) / (pairCentres_[p + 1] - pairCentres_[p]);
            scale += t * (pairWidths_[p + 1] - pairWidths_[p]);
        }
        units_[e] = widths_[e] / scale;
    }

    // Each digit's two widest elements are its wide ones.
    std::fill_n(wide_.begin(), elements, uint8_t{0});
    wide_[elements - kStopElements] = 1;  // the stop's wide bar
    for (int32_t p = 0; p < pairs; ++p) {
        for (int32_t parity = 0; parity < 2; ++parity) {
            const size_t base = static_cast<size_t>(kStartElements + 10 * p + parity);
            const auto unit = [&](int i) { return units_[base + 2 * static_cast<size_t>(i)]; };
            int first = 0;
            for (int i = 1; i < 5; ++i)
                if (unit(i) > unit(first)) first = i;
            int second = first == 0 ? 1 : 0;
            for (int i = 0; i < 5; ++i)
                if (i != first && unit(i) > unit(second)) second = i;
            double widestNarrow = 0;
            for (int i = 0; i < 5; ++i)
                if (i != first && i != second) widestNarrow = std::max(widestNarrow, unit(i));
            if (unit(second) < kLeastStep * widestNarrow) return 0;
            const int digit = DigitOf(first, second);
            if (digit < 0) return 0;
            wide_[base + 2 * static_cast<size_t>(first)] = 1;
            wide_[base + 2 * static_cast<size_t>(second)] = 1;
            text_[static_cast<size_t>(2 * p + parity)] = static_cast<char>('0' + digit);
        }
    }

    // Classes: narrow bar, wide bar, narrow space, wide space.
    std::array<double, 4> sum{};
    std::array<int, 4> number{};
    const auto classOf = [&](size_t e) { return (e % 2) * 2 + wide_[e]; };
    for (size_t e = 0; e < elements; ++e) {
        sum[classOf(e)] += units_[e];
        ++number[classOf(e)];
    }
    std::array<double, 4> mean{};
    for (size_t c = 0; c < 4; ++c) {
        if (number[c] == 0) return 0;
        mean[c] = sum[c] / number[c];
    }
    if (mean[1] < kLeastRatio * mean[0] || mean[3] < kLeastRatio * mean[2]) return 0;
    double deviation = 0;
    for (size_t e = 0; e < elements; ++e) {
        const double m = mean[classOf(e)];
        const double d = std::fabs(units_[e] - m) / m;
        if (d > kMostDeviation) return 0;
        deviation += d;
    }
    const auto confidence = static_cast<float>(1.0 - deviation / static_cast<double>(elements));
    if (!(confidence > record.confidence)) return 0;

    const std::string_view text(text_.data(), static_cast<size_t>(2 * pairs));
    XR_SetText(record.rawData, text);
    XR_SetText(record.data, text);
    XR_SetText(record.symbology, "Interleaved 2 of 5");
    XR_SetText(record.barcodeType, "Generic");
    XR_SetText(record.descriptor, "");
    record.confidence = confidence;
    return 1;
}

}  // namespace zeph::profile
