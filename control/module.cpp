// The control module's four exports, its class factory and its registration.
#include <dlfcn.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <string>

#include "control/module_state.h"
#include "control/reader_control.h"
#include "control/type_library.h"
#include "platform/registry.h"

#define ZEPH_EXPORT extern "C" __attribute__((visibility("default")))

namespace zeph::control {
namespace {

// Invisible at run time, activate when visible, set client site first,
// inside-out, can't link inside, recompose on resize.
constexpr uint32_t kMiscStatus = 0x20591;

// A black 32 x 32 icon with white stripes: the control's picture in a designer.
struct ModuleIcon {
    ModuleIcon() {
        std::array<uint32_t, 32 * 32> pixels{};
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const bool bar = x >= 4 && x < 28 && y >= 6 && y < 26 && (x * 7 / 5) % 2 == 0;
                pixels[y * 32 + x] = bar ? 0xFFFFFFFFu : 0xFF000000u;
            }
        }
        RegisterIconResource(ModuleInstance(), 1, CreateIconFromPixels(32, 32, pixels));
    }
    ~ModuleIcon() { UnregisterIconResources(ModuleInstance()); }
};

class ClassFactory final : public IClassFactory {
  public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory lives as long as the module; references count as locks so
    // that a client holding it keeps the module loaded.
    uint32_t AddRef() override {
        ServerLocked(true);
        return 2;
    }
    uint32_t Release() override {
        ServerLocked(false);
        return 1;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        CZephBarcodeReaderCtrl* control = CZephBarcodeReaderCtrl::Create();
        if (!control) return E_OUTOFMEMORY;
        const HRESULT hr = control->QueryInterface(iid, object);
        control->Release();
        return hr;
    }
    HRESULT LockServer(bool lock) override {
        ServerLocked(lock);
        return S_OK;
    }
};

ClassFactory factory;

std::string ModulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || !info.dli_fname) return {};
    char resolved[PATH_MAX];
    if (!realpath(info.dli_fname, resolved)) return info.dli_fname;
    return resolved;
}

}  // namespace

namespace {
const ModuleIcon icon;
}  // namespace

}  // namespace zeph::control

using namespace zeph::control;

ZEPH_EXPORT HRESULT DllRegisterServer() {
    try {
        const std::string path = ModulePath();
        if (path.empty()) return SELFREG_E_TYPELIB;
        if (!zeph::platform::RegisterTypeLibrary(kLibraryId, kLibraryVersion, kLibraryHelp, path)) {
            return SELFREG_E_TYPELIB;
        }
        zeph::platform::ClassRegistration r;
        r.clsid = kControlClsid;
        r.progId = kProgId;
        r.typeName = kClassHelp;
        r.modulePath = path;
        r.threadingModel = "Apartment";
        r.miscStatus = kMiscStatus;
        r.insertable = true;
        r.typeLibrary = kLibraryId;
        r.typeLibraryVersion = kLibraryVersion;
        if (!zeph::platform::RegisterClass(r)) return SELFREG_E_CLASS;
        return S_OK;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

ZEPH_EXPORT HRESULT DllUnregisterServer() {
    try {
        // The version registered above, so that its key really goes.
        if (!zeph::platform::UnregisterTypeLibrary(kLibraryId, kLibraryVersion)) {
            return SELFREG_E_TYPELIB;
        }
        if (!zeph::platform::UnregisterClass(kControlClsid, kProgId)) return SELFREG_E_CLASS;
        return S_OK;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

ZEPH_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != kControlClsid) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

ZEPH_EXPORT HRESULT DllCanUnloadNow() {
    return ModuleIdle() ? S_OK : S_FALSE;
}
