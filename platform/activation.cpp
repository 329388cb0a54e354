// Activation of in-process classes: the registry (or the manifest beside the
// executable) names the module, which is loaded once and asked for a class
// factory. Loaded modules stay in a process-wide table until the last
// CoUninitialize finds them idle.
#include "platform/activation.h"

#include <dlfcn.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;

// A manifest is a few lines per class; a bigger file is not a manifest.
constexpr std::uintmax_t kMaxManifestSize = 1 << 20;

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

struct ManifestClass {
    std::string progId;  // may be empty: creatable by CLSID only
    CLSID clsid;
    std::string module;  // absolute
};

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlank = " \t\r";
    const std::size_t first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

// The classes of the manifest; empty when there is none or when any part of
// it is damaged, as a half-understood manifest must not register anything.
std::vector<ManifestClass> ReadManifest() {
    const std::string path = zeph::platform::ManifestPath();
    if (path.empty()) return {};
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return {};
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxManifestSize) return {};
    std::ifstream file(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!file.read(text.data(), static_cast<std::streamsize>(text.size()))) return {};
    if (text.find('\0') != std::string::npos) return {};
    const fs::path folder = fs::path(path).parent_path();

    std::vector<ManifestClass> classes;
    struct Block {
        std::optional<std::string> progId, clsid, module;
    } block;
    bool inBlock = false;
    // Completes the current block; false when it lacks what a class needs.
    auto finish = [&]() -> bool {
        if (!inBlock) return true;
        inBlock = false;
        ManifestClass entry;
        if (!block.clsid || !GuidFromString(*block.clsid, entry.clsid)) return false;
        if (!block.module || block.module->empty()) return false;
        if (block.progId && !zeph::platform::RegistrySegmentValid(*block.progId)) return false;
        entry.progId = block.progId.value_or("");
        const fs::path module(*block.module);
        entry.module =
            (module.is_absolute() ? module : folder / module).lexically_normal().string();
        for (const ManifestClass& other : classes) {
            // Two answers for one name or class would be a guess.
            if (other.clsid == entry.clsid) return false;
            if (!entry.progId.empty() && other.progId == entry.progId) return false;
        }
        classes.push_back(std::move(entry));
        block = {};
        return true;
    };

    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = Trim(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty()) {
            if (!finish()) return {};
            continue;
        }
        if (line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return {};
        const std::string_view name = Trim(line.substr(0, equals));
        const std::string value(Trim(line.substr(equals + 1)));
        std::optional<std::string>* slot = name == "progid"   ? &block.progId
                                           : name == "clsid"  ? &block.clsid
                                           : name == "module" ? &block.module
                                                              : nullptr;
        if (!slot || *slot) return {};  // unknown or repeated name
        *slot = value;
        inBlock = true;
    }
    if (!finish()) return {};
    return classes;
}

// The module file registered for the class: the registry's answer when it has
// a usable one, else the manifest's.
std::optional<std::string> ModuleOf(const CLSID& clsid) {
    if (const std::optional<zeph::platform::RegistryValues> values =
            zeph::platform::RegistryRead("CLSID/" + GuidToString(clsid))) {
        const auto it = values->find(zeph::platform::kClassModuleValue);
        if (it != values->end() && fs::path(it->second).is_absolute()) return it->second;
    }
    for (ManifestClass& entry : ReadManifest()) {
        if (entry.clsid == clsid) return std::move(entry.module);
    }
    return std::nullopt;
}

// The module at `path` (canonical), loaded on first use. Called with the
// state's mutex held.
HRESULT FindOrLoad(ActivationState& state, const std::string& path, GetClassObjectFn& get) {
    for (const LoadedModule& module : state.modules) {
        if (module.path == path) {
            get = module.getClassObject;
            return S_OK;
        }
    }
    ModuleHandle handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) return CLASS_E_CLASSNOTAVAILABLE;
    LoadedModule module;
    // dlsym gives an object pointer; the exports are functions of known type.
    module.getClassObject =
        reinterpret_cast<GetClassObjectFn>(dlsym(handle.get(), "DllGetClassObject"));
    if (!module.getClassObject) return CLASS_E_CLASSNOTAVAILABLE;
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
        const std::optional<std::string> name = Utf8FromUtf16(progId);
        if (!name || !zeph::platform::RegistrySegmentValid(*name)) return CO_E_CLASSSTRING;
        if (const std::optional<zeph::platform::RegistryValues> values =
                zeph::platform::RegistryRead("ProgID/" + *name)) {
            const auto it = values->find(zeph::platform::kProgIdClassValue);
            CLSID found;
            if (it != values->end() && GuidFromString(it->second, found)) {
                *clsid = found;
                return S_OK;
            }
        }
        for (const ManifestClass& entry : ReadManifest()) {
            if (entry.progId == *name) {
                *clsid = entry.clsid;
                return S_OK;
            }
        }
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
        const std::optional<std::string> module = ModuleOf(clsid);
        if (!module) return REGDB_E_CLASSNOTREG;
        std::error_code error;
        if (!fs::is_regular_file(*module, error)) return REGDB_E_CLASSNOTREG;
        const std::string path = fs::canonical(*module, error).string();
        if (error) return REGDB_E_CLASSNOTREG;

        ActivationState& state = State();
        // Held until the object exists, so that the last CoUninitialize on
        // another thread cannot close the module in between.
        const std::lock_guard lock(state.mutex);
        GetClassObjectFn getClassObject = nullptr;
        if (const HRESULT hr = FindOrLoad(state, path, getClassObject); FAILED(hr)) return hr;

        IClassFactory* raw = nullptr;
        if (FAILED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&raw))) ||
            !raw) {
            return CLASS_E_CLASSNOTAVAILABLE;
        }
        const ComPtr<IClassFactory> factory = ComPtr<IClassFactory>::Attach(raw);
        const HRESULT hr = factory->CreateInstance(nullptr, iid, object);
        if (FAILED(hr)) {
            *object = nullptr;
            return hr;
        }
        return *object ? hr : E_UNEXPECTED;
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

std::string ManifestPath() {
    try {
        std::error_code error;
        const fs::path executable = fs::read_symlink("/proc/self/exe", error);
        if (error) return {};
        return executable.string() + ".manifest";
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace zeph::platform
