// Late-bound calls into the reader control: ZephScan reaches it through Invoke
// alone, by the control's published dispatch identifiers.
#pragma once

#include "control/dispatch_ids.h"
#include "platform/com.h"

namespace zeph::cli {

// Puts one property value.
HRESULT PutProperty(IDispatch& control, DISPID id, Variant value);
// Gets one property into `result`.
HRESULT GetProperty(IDispatch& control, DISPID id, Variant& result);

}  // namespace zeph::cli
