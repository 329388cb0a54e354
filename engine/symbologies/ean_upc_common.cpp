#include "engine/symbologies/ean_upc_common.h"

#include "engine/symbologies/decoders.h"

namespace zeph::ean {

bool CheckSumHolds(std::span<const int> digits, int evenWeight, int oddWeight) {
    int sum = 0;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (digits[i] < 0) return false;
        sum += digits[i] * (i % 2 == 0 ? evenWeight : oddWeight);
    }
    return sum % 10 == 0;
}

bool FollowedByGap(const ScanSignal& scan, int32_t bars, int modules) {
    if (scan.barCount <= bars) return true;
    const double moduleWidth =
        double(scan.barEnds[bars - 1] - scan.barStarts[0]) / static_cast<double>(modules);
    return scan.barStarts[bars] - scan.barEnds[bars - 1] >= 5.0 * moduleWidth;
}

void AppendTrailingSupplement(const ScanSignal& scan, int32_t firstBar, MatchRecord& record) {
    if (scan.barCount <= firstBar) return;
    MatchRecord supplement;
    supplement.confidence = 0.8f * record.confidence;
    if (XR_DecodeSupplement(scan, firstBar, supplement) != 1) return;
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
