#include "engine/symbologies/ean_upc_common.h"

#include "engine/symbologies/decoders.h"
#include "engine/symbologies/width_checks.h"

namespace zeph::ean {

bool CheckSumHolds(std::span<const int> digits, int evenWeight, int oddWeight) {
    int sum = 0;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (digits[i] < 0) return false;
        sum += digits[i] * (i % 2 == 0 ? evenWeight : oddWeight);
    }
    return sum % 10 == 0;
}

bool StandsAlone(const ScanSignal& scan, int32_t first, int32_t bars, int modules) {
    if (first < 0 || bars < 1 || scan.barCount - first < bars) return false;
    const int32_t last = first + bars - 1;
    if (!XR_HasBarEnd(scan, last)) return false;
    const int32_t begin = scan.barStarts[first];
    const double quietZone =
        5.0 * double(scan.barEnds[last] - begin) / static_cast<double>(modules);
    if (scan.barCount > last + 1 && scan.barStarts[last + 1] - scan.barEnds[last] < quietZone) {
        return false;
    }
    // Before the first bar lies the signal's start, or the end of an earlier or
    // dropped bar, or of a dark run the signal began with.
    int32_t j = begin - 1;
    while (j >= 0 && scan.samples[j] >= 0)
        --j;
    return j < 0 || begin - 1 - j >= quietZone;
}

bool DigitsAndGuardsFit(std::span<const float> digitWidths, std::span<const GuardStretch> guards) {
    if (!EvenWidths(digitWidths, kWidthTolerance)) return false;
    std::array<float, 5> guardWidths{};
    const size_t n = std::min(guards.size(), guardWidths.size());
    for (size_t i = 0; i < n; ++i)
        guardWidths[i] = static_cast<float>(guards[i].to - guards[i].from) * 7.0f /
                         static_cast<float>(guards[i].modules);
    return GuardsFit(std::span<const float>(guardWidths.data(), n), digitWidths);
}

bool SameModuleWidth(const ScanSignal& scan, int32_t firstBar, int mainModules,
                     size_t addOnDigits) {
    // A k-digit add-on spans 9k + 2 modules from its first bar to its last.
    const auto addOnBars = static_cast<int32_t>(3 * addOnDigits + 1);
    const auto addOnModules = static_cast<double>(9 * addOnDigits + 2);
    if (firstBar < 1 || mainModules < 1 || scan.barCount < firstBar + addOnBars) return false;
    const double mainModule =
        double(scan.barEnds[firstBar - 1] - scan.barStarts[0]) / double(mainModules);
    const double addOnModule =
        double(scan.barEnds[firstBar + addOnBars - 1] - scan.barStarts[firstBar]) / addOnModules;
    return addOnModule >= kLeastModuleRatio * mainModule &&
           addOnModule <= kMostModuleRatio * mainModule;
}

void AppendTrailingSupplement(const ScanSignal& scan, int32_t firstBar, int mainModules,
                              MatchRecord& record) {
    if (scan.barCount <= firstBar) return;
    MatchRecord supplement;
    supplement.confidence = 0.8f * record.confidence;
    if (XR_DecodeSupplement(scan, firstBar, supplement) != 1) return;
    if (!SameModuleWidth(scan, firstBar, mainModules, XR_TextOf(supplement.rawData).size())) {
        return;
    }
    AppendSupplementTexts(supplement, record);
}

void AppendSupplementTexts(const MatchRecord& supplement, MatchRecord& record) {
    XR_AppendText(record.symbology, " + ");
    XR_AppendText(record.symbology, XR_TextOf(supplement.symbology));
    XR_AppendText(record.barcodeType, " + ");
    XR_AppendText(record.barcodeType, XR_TextOf(supplement.barcodeType));
    XR_AppendText(record.rawData, " + ");
    XR_AppendText(record.rawData, XR_TextOf(supplement.rawData));
    XR_AppendText(record.descriptor, " + ");
    XR_AppendText(record.descriptor, XR_TextOf(supplement.descriptor));
    XR_AppendText(record.data, "; ");
    XR_AppendText(record.data, XR_TextOf(supplement.data));
}

}  // namespace zeph::ean
