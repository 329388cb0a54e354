#include "cli/control_calls.h"

namespace zeph::cli {

HRESULT PutProperty(IDispatch& control, DISPID id, Variant value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{value.Get(), &named, 1, 1};
    return control.Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                          nullptr);
}

HRESULT GetProperty(IDispatch& control, DISPID id, Variant& result) {
    DISPPARAMS none{};
    return control.Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.Get(), nullptr,
                          nullptr);
}

}  // namespace zeph::cli
