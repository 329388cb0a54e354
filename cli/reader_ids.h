// Dispatch identifiers of the reader control's interface, fixed for all
// clients: ZephScan calls the control by these numbers alone.
#pragma once

#include "platform/com.h"

namespace zeph::cli {

enum ReaderId : DISPID {
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
    kStartx = 15,
    kStarty = 16,
    kStopx = 17,
    kStopy = 18,
};

}  // namespace zeph::cli
