#include "engine/databar/records.h"

#include <algorithm>
#include <array>

#include "engine/descriptors/ucc_ean128_descriptor.h"

namespace zeph::databar {
namespace {

static_assert(kFnc1 == kFnc1Byte);
static_assert(ElementString::kCapacity + 2 <= kRawDataWidth);

constexpr std::array<std::string_view, 7> kNames = {
    "GS1 DataBar Omnidirectional",         "GS1 DataBar Truncated", "GS1 DataBar Stacked",
    "GS1 DataBar Stacked Omnidirectional", "GS1 DataBar Limited",   "GS1 DataBar Expanded",
    "GS1 DataBar Expanded Stacked",
};
constexpr std::string_view kComposite = " Composite";

// Edge-to-edge sums off by this much on average (in modules) give no
// confidence at all.
constexpr double kNoConfidence = 1.0;

}  // namespace

std::string_view VariantName(Variant variant) {
    return kNames[static_cast<size_t>(variant)];
}

int32_t MaskBit(Variant variant) {
    switch (variant) {
        case Variant::kLimited:
            return kDataBarLimited;
        case Variant::kExpanded:
        case Variant::kExpandedStacked:
            return kDataBarExpanded;
        default:
            return kDataBar;
    }
}

bool IsDataBar(const MatchRecord& record) {
    return XR_TextOf(record.symbology) == kSymbology;
}

float ConfidenceOf(double residual) {
    return static_cast<float>(std::clamp(1.0 - residual / kNoConfidence, 0.0, 1.0));
}

void WriteRecord(const ElementString& text, Variant variant, bool composite, float confidence,
                 MatchRecord& record) {
    std::array<char, ElementString::kCapacity + 1> raw{};
    raw[0] = kFnc1;
    const std::string_view data = text.View();
    std::copy(data.begin(), data.end(), raw.begin() + 1);
    const std::string_view rawText(raw.data(), data.size() + 1);
    XR_SetText(record.rawData, rawText);
    XR_SetText(record.data, rawText);
    XR_SetText(record.symbology, kSymbology);
    XR_SetText(record.descriptor, "");
    XR_DescribeUccEan128(record);
    XR_SetText(record.barcodeType, VariantName(variant));
    if (composite) XR_AppendText(record.barcodeType, kComposite);
    record.confidence = confidence;
}

}  // namespace zeph::databar
