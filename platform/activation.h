// Creating component objects by ProgID: the registry names the class and its
// module; failing that, a manifest beside the client executable does
// (registration-free activation). Modules are loaded in-process and kept
// loaded while their objects live.
#pragma once

#include <string>

#include "platform/com.h"
#include "platform/manifest.h"

inline constexpr uint32_t CLSCTX_INPROC_SERVER = 1;

// Starts and ends the calling thread's use of the component model; modules
// whose DllCanUnloadNow agrees are unloaded by the last CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// The class identifier registered (or listed in the manifest) for progId;
// CO_E_CLASSSTRING when neither knows it, E_POINTER for null arguments.
HRESULT CLSIDFromProgID(const OLECHAR* progId, CLSID* clsid);

// Loads the class's module, asks its DllGetClassObject for the class factory
// and creates one object, returned as interface iid. The registered module is
// tried first, then each manifest's (ManifestPaths), so a registration whose
// module was deleted or broken does not hide an installed one.
// REGDB_E_CLASSNOTREG when no module file named for the class exists,
// CLASS_E_CLASSNOTAVAILABLE when the files there cannot be loaded, lack the
// exports or refuse the class, CLASS_E_NOAGGREGATION for a non-null outer
// object.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, uint32_t context, REFIID iid,
                         void** object);

namespace zeph::platform {

// Why the calling thread's last CLSIDFromProgID or CoCreateInstance failed,
// for people: every module path tried, who named it and what went wrong, or
// where the class was looked for. Empty after a success.
std::string LastActivationFailure();

}  // namespace zeph::platform
