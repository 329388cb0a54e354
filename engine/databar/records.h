// What a DataBar read gives: the symbology's name and the variant's, the
// element string as raw data (behind a leading FNC1, as GS1-128 reads give
// it) and its interpretation by the UCC/EAN-128 descriptor.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/databar/element_string.h"
#include "engine/reader.h"

namespace zeph::databar {

enum class Variant : uint8_t {
    kOmnidirectional,
    kTruncated,
    kStacked,
    kStackedOmnidirectional,
    kLimited,
    kExpanded,
    kExpandedStacked,
};

inline constexpr std::string_view kSymbology = "GS1 DataBar";

std::string_view VariantName(Variant variant);
// The mask bit that enables the variant.
int32_t MaskBit(Variant variant);

// A DataBar read stands on the one line that read it, from any signal: its
// finders, guards and characters had to fit edge to edge, and its checksum
// to hold (with the finder sequence of Expanded), which chance bars do not
// manage; nor does it need a quiet zone.
bool IsDataBar(const MatchRecord& record);

// The confidence of a read whose edge-to-edge sums lie `residual` modules
// from whole ones on average.
float ConfidenceOf(double residual);

// Writes the read's texts and confidence into the record. The descriptor
// names the data's application identifiers as for GS1-128; barcodeType
// then names the variant, with " Composite" behind it where the linkage
// flag says a two-dimensional component belongs to the symbol.
void WriteRecord(const ElementString& text, Variant variant, bool composite, float confidence,
                 MatchRecord& record);

}  // namespace zeph::databar
