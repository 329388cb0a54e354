// Patch codes: one four-bar mark matched whole. The narrow width is the mean
// space and the bars hold one narrow and one wide width per two bars.
#include <cstdint>
#include <string_view>

#include "engine/symbologies/decoders.h"
#include "engine/symbologies/patch_code_patterns.h"
#include "engine/symbologies/spans.h"
#include "engine/symbologies/wide_narrow.h"

namespace {

thread_local zeph::wide_narrow::VariantTables<4, 1> tables({zeph::patch::kMarks});

constexpr int32_t kBars = 4;
constexpr float kMinRatio = 1.25f;
constexpr float kMaxRatio = 3.5f;

int64_t SquaredDistance(int32_t x, int32_t y, int32_t cx, int32_t cy) {
    const int64_t dx = int64_t{x} - cx;
    const int64_t dy = int64_t{y} - cy;
    return dx * dx + dy * dy;
}

// Types 1 and 3 read along a line that runs towards the image centre (its stop
// no farther from the centre than its start) are the marks 6 and T.
bool ReadTowardsCentre(const ScanSignal& scan) {
    const int32_t cx = scan.imageWidth / 2;
    const int32_t cy = scan.imageHeight / 2;
    return SquaredDistance(scan.stopX, scan.stopY, cx, cy) <=
           SquaredDistance(scan.startX, scan.startY, cx, cy);
}

}  // namespace

int XR_DecodePatchCode(const ScanSignal& scan, MatchRecord& record) {
    if (!tables.Build()) return -1;
    if (scan.barCount != kBars || !XR_HasBarEnd(scan, kBars - 1)) return 0;
    const int32_t* starts = scan.barStarts.get();
    const int32_t* ends = scan.barEnds.get();

    int32_t spaces = 0;
    int32_t bars = 0;
    for (int32_t k = 0; k < kBars - 1; ++k)
        spaces += starts[k + 1] - ends[k];
    for (int32_t k = 0; k < kBars; ++k)
        bars += ends[k] - starts[k];
    // The exact mean: a rounded third would measure a mark printed at the
    // largest ratio, 3.5, just above it and refuse it.
    const auto narrow = static_cast<float>(spaces / 3.0);
    if (!(narrow > 0)) return 0;
    const auto ratio = static_cast<float>((0.5 * bars - narrow) / narrow);
    if (ratio < kMinRatio || ratio > kMaxRatio) return 0;

    const BestMatch best =
        zeph::MatchSpan(scan, starts[0], ends[kBars - 1], tables.Table(tables.Choose(ratio), 0));
    if (best.index < 0 || !(best.score > record.confidence)) return 0;

    const int type = best.index + 1;
    std::string_view raw;
    if ((type == 1 || type == 3) && ReadTowardsCentre(scan)) {
        raw = type == 1 ? "6" : "T";
    } else {
        static constexpr std::string_view kDigits = "1234";
        raw = kDigits.substr(static_cast<size_t>(best.index), 1);
    }
    XR_SetText(record.rawData, raw);
    XR_SetText(record.data, "Patch code ");
    XR_AppendText(record.data, raw);
    XR_SetText(record.symbology, "Patch Code");
    XR_SetText(record.barcodeType, "Generic");
    XR_SetText(record.descriptor, "Document separator");
    record.confidence = best.score;
    return 1;
}

void XR_FreePatchCodeTables() {
    if (tables.Built()) tables.Release();
}
