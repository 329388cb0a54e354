// A minimal component module for the activation tests: one creatable class
// whose objects answer one late-bound method, and the counts of live objects
// and server locks that DllCanUnloadNow reports.
//
// Built with ZEPH_TEST_MODULE_NO_EXPORTS it becomes a loadable library whose
// entry points are hidden: a module without the exports.
#include <dlfcn.h>

#include <atomic>
#include <exception>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "platform/com.h"
#include "platform/registry.h"
#include "tests/platform/test_module.h"

#ifdef ZEPH_TEST_MODULE_NO_EXPORTS
#define ZEPH_TEST_EXPORT __attribute__((visibility("hidden")))
#else
#define ZEPH_TEST_EXPORT __attribute__((visibility("default")))
#endif

namespace {

using namespace zeph::test_module;

constexpr DISPID kDoubleId = 1;

std::atomic<long> liveObjects{0};
// Server locks and references to the class factory: a client holding the
// factory expects its code to stay loaded.
std::atomic<long> serverLocks{0};

bool SameName(const OLECHAR* a, const OLECHAR* b) {
    // Member names are matched without regard to ASCII case, as late-bound
    // clients expect.
    auto lower = [](OLECHAR c) { return c >= u'A' && c <= u'Z' ? OLECHAR(c - u'A' + u'a') : c; };
    for (; *a && *b; ++a, ++b) {
        if (lower(*a) != lower(*b)) return false;
    }
    return *a == *b;
}

class TestObject final : public IDispatch {
  public:
    TestObject() { ++liveObjects; }
    TestObject(const TestObject&) = delete;
    TestObject& operator=(const TestObject&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++references_; }
    uint32_t Release() override {
        const uint32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetTypeInfoCount(uint32_t* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const* names, uint32_t count, LCID,
                          DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        if (count != 1 || !names[0]) return DISP_E_UNKNOWNNAME;
        if (!SameName(names[0], kDoubleName)) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = kDoubleId;
        return S_OK;
    }
    HRESULT Invoke(DISPID id, REFIID iid, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO*, uint32_t*) override {
        if (!(iid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (id != kDoubleId || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1 || params->cNamedArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (params->rgvarg[0].vt != VT_I4) return DISP_E_TYPEMISMATCH;
        if (result) {
            // The caller passes an empty variant; nothing to free first.
            result->vt = VT_I4;
            result->lVal = params->rgvarg[0].lVal * 2;
        }
        return S_OK;
    }

  private:
    ~TestObject() { --liveObjects; }

    std::atomic<uint32_t> references_{1};
};

// One factory for the module's lifetime; its references count as locks.
class Factory final : public IClassFactory {
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
    uint32_t AddRef() override { return static_cast<uint32_t>(++serverLocks + 1); }
    uint32_t Release() override { return static_cast<uint32_t>(--serverLocks + 1); }

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* created = new (std::nothrow) TestObject;
        if (!created) return E_OUTOFMEMORY;
        const HRESULT hr = created->QueryInterface(iid, object);
        created->Release();
        return hr;
    }
    HRESULT LockServer(bool lock) override {
        if (lock) {
            ++serverLocks;
        } else {
            --serverLocks;
        }
        return S_OK;
    }
};

Factory factory;

// The absolute path this module was loaded from.
std::string ModulePath() {
    Dl_info info{};
    if (dladdr(&liveObjects, &info) == 0 || !info.dli_fname) return {};
    std::error_code error;
    const std::filesystem::path path = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::string() : path.string();
}

}  // namespace

extern "C" {

ZEPH_TEST_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!(clsid == kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

ZEPH_TEST_EXPORT HRESULT DllCanUnloadNow() {
    return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

ZEPH_TEST_EXPORT HRESULT DllRegisterServer() {
    try {
        const std::string path = ModulePath();
        if (path.empty()) return SELFREG_E_CLASS;
        if (!zeph::platform::RegisterTypeLibrary(kTypeLibrary, kTypeLibraryVersion,
                                                 "Zeph test module", path)) {
            return SELFREG_E_TYPELIB;
        }
        zeph::platform::ClassRegistration registration;
        registration.clsid = kClsid;
        registration.progId = kProgId;
        registration.typeName = "Zeph test object";
        registration.modulePath = path;
        registration.typeLibrary = kTypeLibrary;
        registration.typeLibraryVersion = kTypeLibraryVersion;
        if (!zeph::platform::RegisterClass(registration)) {
            zeph::platform::UnregisterTypeLibrary(kTypeLibrary, kTypeLibraryVersion);
            return SELFREG_E_CLASS;
        }
        return S_OK;
    } catch (const std::exception&) {
        return SELFREG_E_CLASS;
    }
}

ZEPH_TEST_EXPORT HRESULT DllUnregisterServer() {
    try {
        const bool library =
            zeph::platform::UnregisterTypeLibrary(kTypeLibrary, kTypeLibraryVersion);
        const bool registeredClass = zeph::platform::UnregisterClass(kClsid, kProgId);
        if (!registeredClass) return SELFREG_E_CLASS;
        return library ? S_OK : SELFREG_E_TYPELIB;
    } catch (const std::exception&) {
        return SELFREG_E_CLASS;
    }
}

}  // extern "C"
