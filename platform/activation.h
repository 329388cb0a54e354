// Creating component objects by ProgID: the registry names the class and its
// module; failing that, a manifest beside the client executable does
// (registration-free activation). Modules are loaded in-process and kept
// loaded while their objects live.
#pragma once

#include "platform/com.h"

inline constexpr uint32_t CLSCTX_INPROC_SERVER = 1;

// Starts and ends the calling thread's use of the component model; modules
// whose DllCanUnloadNow agrees are unloaded by the last CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// The class identifier registered (or listed in the manifest) for progId;
// CO_E_CLASSSTRING when neither knows it, E_POINTER for null arguments.
HRESULT CLSIDFromProgID(const OLECHAR* progId, CLSID* clsid);

// Loads the class's module, asks its DllGetClassObject for the class factory
// and creates one object, returned as interface iid. REGDB_E_CLASSNOTREG when
// the class or its module file is unknown or missing, CLASS_E_CLASSNOTAVAILABLE
// when the module lacks the exports or refuses the class,
// CLASS_E_NOAGGREGATION for a non-null outer object.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, uint32_t context, REFIID iid,
                         void** object);

namespace zeph::platform {

// The manifest consulted when the registry has no answer: "<executable>.manifest"
// beside /proc/self/exe. Lines "name=value": progid, clsid, module (a path,
// relative to the manifest's folder unless absolute); one class per block of
// lines, blocks separated by an empty line; lines starting with '#' are comments.
std::string ManifestPath();

}  // namespace zeph::platform
