// Activation of in-process classes: the registry (or the manifest beside the
// executable) names the module, which is loaded once and asked for a class
// factory. Loaded modules stay in a process-wide table until the last
// CoUninitialize finds them idle.
#include "platform/activation.h"

#include <dlfcn.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/manifest.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT (*)();

struct ModuleCloser {
    void operator()(void* handle) const { dlclose(handle); }
};
using ModuleHandle = std::unique_ptr<void, ModuleCloser>;

struct LoadedModule {
    std::string path;  // canonical, so that every spelling of a file finds it
    ModuleHandle handle;
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;  // none: the module stays loaded
};

struct ActivationState {
    // Recursive: a module may create objects of other classes while it is
    // being asked for one.
    std::recursive_mutex mutex;
    std::vector<LoadedModule> modules;
    long initializations = 0;  // outstanding CoInitialize calls of all threads

    ActivationState() = default;
    ActivationState(const ActivationState&) = delete;
    ActivationState& operator=(const ActivationState&) = delete;
    // Objects may still be alive while static objects are destroyed at exit;
    // their code must stay mapped, so the handles are left open.
    ~ActivationState() {
        for (LoadedModule& module : modules)
            (void)module.handle.release();
    }
};

ActivationState& State() {
    static ActivationState state;
    return state;
}

thread_local unsigned threadInitializations = 0;

// nullopt for text that is not UTF-16 (an unpaired surrogate).
std::optional<std::string> Utf8FromUtf16(const OLECHAR* text) {
    std::string out;
    for (const OLECHAR* p = text; *p; ++p) {
        char32_t c = *p;
        if (c >= 0xD800 && c <= 0xDBFF) {
            const char32_t low = p[1];
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++p;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::nullopt;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Why the calling thread's last activation failed, for people.
thread_local std::string lastFailure;

// One place a class's module may be: the file and who named it.
struct ModuleCandidate {
    std::string path;
    std::string source;  // "registered", "manifest <path>"
};

// The module files named for the class: the registry's answer when it has a
// usable one, then each manifest's, so that a stale registration does not
// hide a working installation.
std::vector<ModuleCandidate> ModulesOf(const CLSID& clsid) {
    std::vector<ModuleCandidate> candidates;
    if (const std::optional<zeph::platform::RegistryValues> values =
            zeph::platform::RegistryRead("CLSID/" + GuidToString(clsid))) {
        const auto it = values->find(zeph::platform::kClassModuleValue);
        if (it != values->end() && fs::path(it->second).is_absolute()) {
            candidates.push_back({it->second, "registered"});
        }
    }
    for (const std::string& manifest : zeph::platform::ManifestPaths()) {
        for (zeph::platform::ManifestClass& entry : zeph::platform::ReadManifest(manifest)) {
            const bool named = std::any_of(
                candidates.begin(), candidates.end(),
                [&](const ModuleCandidate& earlier) { return earlier.path == entry.module; });
            if (entry.clsid == clsid && !named) {
                candidates.push_back({std::move(entry.module), "manifest " + manifest});
            }
        }
    }
    return candidates;
}

std::string ListOfManifests() {
    std::string list;
    for (const std::string& manifest : zeph::platform::ManifestPaths())
        list += (list.empty() ? "" : ", ") + manifest;
    return list.empty() ? "none found" : list;
}

// The module at `path` (canonical), loaded on first use; `why` says what
// failed. Called with the state's mutex held.
HRESULT FindOrLoad(ActivationState& state, const std::string& path, GetClassObjectFn& get,
                   std::string& why) {
    for (const LoadedModule& module : state.modules) {
        if (module.path == path) {
            get = module.getClassObject;
            return S_OK;
        }
    }
    ModuleHandle handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) {
        const char* error = dlerror();
        why = error ? error : "cannot be loaded";
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    LoadedModule module;
    // dlsym gives an object pointer; the exports are functions of known type.
    module.getClassObject =
        reinterpret_cast<GetClassObjectFn>(dlsym(handle.get(), "DllGetClassObject"));
    if (!module.getClassObject) {
        why = "no DllGetClassObject export";
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    module.canUnloadNow = reinterpret_cast<CanUnloadNowFn>(dlsym(handle.get(), "DllCanUnloadNow"));
    module.path = path;
    module.handle = std::move(handle);
    state.modules.push_back(std::move(module));
    get = state.modules.back().getClassObject;
    return S_OK;
}

}  // namespace

HRESULT CoInitialize(void* reserved) {
    if (reserved) return E_INVALIDARG;
    try {
        ActivationState& state = State();
        const std::lock_guard lock(state.mutex);
        ++state.initializations;
    } catch (const std::exception&) {
        return E_UNEXPECTED;
    }
    return threadInitializations++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (threadInitializations == 0) return;  // unbalanced call: nothing to end
    --threadInitializations;
    try {
        ActivationState& state = State();
        const std::lock_guard lock(state.mutex);
        if (--state.initializations > 0) return;
        // Ask every module first; the ones with live objects or locks say
        // S_FALSE and stay. Nothing is closed until all have answered, so a
        // failure half-way leaves every module loaded.
        std::vector<char> idle(state.modules.size(), 0);
        for (size_t i = 0; i < idle.size(); ++i) {
            const CanUnloadNowFn canUnloadNow = state.modules[i].canUnloadNow;
            idle[i] = canUnloadNow && canUnloadNow() == S_OK;
        }
        // Modules loaded while they were asked (by a module's own answer) stay.
        const LoadedModule* first = state.modules.data();
        std::erase_if(state.modules, [&](const LoadedModule& module) {
            const auto i = static_cast<size_t>(&module - first);
            return i < idle.size() && idle[i] != 0;
        });
    } catch (...) {
        // Nothing to report through this signature (and a module's answer
        // must not unwind into the caller); the modules stay loaded.
    }
}

HRESULT CLSIDFromProgID(const OLECHAR* progId, CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID{};
    if (!progId) return E_POINTER;
    try {
        lastFailure.clear();
        const std::optional<std::string> name = Utf8FromUtf16(progId);
        if (!name || !zeph::platform::RegistrySegmentValid(*name)) {
            lastFailure = "not a valid ProgID";
            return CO_E_CLASSSTRING;
        }
        if (const std::optional<zeph::platform::RegistryValues> values =
                zeph::platform::RegistryRead("ProgID/" + *name)) {
            const auto it = values->find(zeph::platform::kProgIdClassValue);
            CLSID found;
            if (it != values->end() && GuidFromString(it->second, found)) {
                *clsid = found;
                return S_OK;
            }
        }
        for (const std::string& manifest : zeph::platform::ManifestPaths()) {
            for (const zeph::platform::ManifestClass& entry :
                 zeph::platform::ReadManifest(manifest)) {
                if (entry.progId == *name) {
                    *clsid = entry.clsid;
                    return S_OK;
                }
            }
        }
        lastFailure = *name + " is not registered under " +
                      zeph::platform::RegistryRoot().string() +
                      " and no manifest names it (manifests: " + ListOfManifests() + ")";
        return CO_E_CLASSSTRING;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, uint32_t context, REFIID iid,
                         void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    // In-process servers are all there is; a caller asking only for other
    // kinds finds no class registered for them.
    if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    try {
        lastFailure.clear();
        const std::vector<ModuleCandidate> candidates = ModulesOf(clsid);
        if (candidates.empty()) {
            lastFailure = "class " + GuidToString(clsid) + " is not registered under " +
                          zeph::platform::RegistryRoot().string() +
                          " and no manifest names it (manifests: " + ListOfManifests() + ")";
            return REGDB_E_CLASSNOTREG;
        }
        // Each candidate in turn; the failures of all of them are the reason.
        HRESULT failure = REGDB_E_CLASSNOTREG;
        std::string reasons;
        const auto note = [&](const ModuleCandidate& candidate, const std::string& why) {
            reasons += (reasons.empty() ? "" : "; ") + candidate.path + " (" + candidate.source +
                       "): " + why;
        };
        for (const ModuleCandidate& candidate : candidates) {
            std::error_code error;
            if (!fs::is_regular_file(candidate.path, error)) {
                note(candidate,
                     fs::exists(candidate.path, error) ? "not a regular file" : "no such file");
                continue;
            }
            const std::string path = fs::canonical(candidate.path, error).string();
            if (error) {
                note(candidate, error.message());
                continue;
            }
            failure = CLASS_E_CLASSNOTAVAILABLE;

            ActivationState& state = State();
            // Held until the object exists, so that the last CoUninitialize on
            // another thread cannot close the module in between.
            const std::lock_guard lock(state.mutex);
            GetClassObjectFn getClassObject = nullptr;
            std::string why;
            if (FAILED(FindOrLoad(state, path, getClassObject, why))) {
                note(candidate, why);
                continue;
            }
            IClassFactory* raw = nullptr;
            if (FAILED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&raw))) ||
                !raw) {
                note(candidate, "the module does not serve the class");
                continue;
            }
            const ComPtr<IClassFactory> factory = ComPtr<IClassFactory>::Attach(raw);
            const HRESULT hr = factory->CreateInstance(nullptr, iid, object);
            if (FAILED(hr)) {
                *object = nullptr;
                note(candidate, "the class factory failed");
                lastFailure = std::move(reasons);
                return hr;
            }
            return *object ? hr : E_UNEXPECTED;
        }
        if (candidates.size() == 1 && candidates.front().source == "registered") {
            reasons += "; no manifest names the class (manifests: " + ListOfManifests() + ")";
        }
        lastFailure = std::move(reasons);
        return failure;
    } catch (const std::bad_alloc&) {
        *object = nullptr;
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        *object = nullptr;
        return E_FAIL;
    } catch (...) {
        // Thrown by a module's own code: it must not cross into the caller.
        *object = nullptr;
        return E_UNEXPECTED;
    }
}

namespace zeph::platform {

std::string LastActivationFailure() {
    return lastFailure;
}

}  // namespace zeph::platform
