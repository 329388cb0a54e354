// Dispatch identifiers of the reader control's interface. They are published:
// clients such as ZephScan call the control by these numbers alone, so they
// never change.
#pragma once

#include "platform/com.h"

namespace zeph::reader_dispid {

enum : DISPID {
    kThoroughMode = 1,
    kPicture = 2,
    kProtocolMask = 3,
    kConfidenceThreshold = 4,
    kNbCodesFound = 5,
    kContrastSensitivity = 6,
    kData = 7,
    kBarcodeType = 8,
    kSymbology = 9,
    kDataDescriptor = 10,
    kRawData = 11,
    kConfidence = 12,
    kCx = 13,
    kCy = 14,
    kStartx = 15,
    kStarty = 16,
    kStopx = 17,
    kStopy = 18,
    // Beyond the original interface: the engine's extended search on or off.
    kExtendedSearch = 19,
    // Beyond the original interface: threads one picture's search may use.
    kSearchThreads = 20,
};

// The most threads SearchThreads takes; larger values are refused.
inline constexpr int32_t kMostSearchThreads = 64;

}  // namespace zeph::reader_dispid
