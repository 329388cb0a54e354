// zephreg MODULE     registers the control module's classes
// zephreg -u MODULE  unregisters them
// Loads the module and calls its own registration export.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/com.h"

namespace {

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};

int Usage() {
    std::fprintf(stderr, "usage: zephreg [-u] MODULE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    const char* module = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0 && !unregister) {
            unregister = true;
        } else if (!module && argv[i][0] != '-') {
            module = argv[i];
        } else {
            return Usage();
        }
    }
    if (!module) return Usage();

    // dlopen searches the library path for bare names; a path is meant as given.
    const std::string path = std::strchr(module, '/') ? module : std::string("./") + module;
    std::unique_ptr<void, LibraryCloser> library(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!library) {
        std::fprintf(stderr, "zephreg: cannot load %s: %s\n", module, dlerror());
        return 1;
    }
    const char* exportName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    using Entry = HRESULT (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(library.get(), exportName));
    if (!entry) {
        std::fprintf(stderr, "zephreg: %s has no %s\n", module, exportName);
        return 1;
    }
    const HRESULT hr = entry();
    if (FAILED(hr)) {
        std::fprintf(stderr, "zephreg: %s failed with 0x%08X\n", exportName,
                     static_cast<unsigned>(hr));
        return 1;
    }
    std::printf("%s succeeded for %s\n", exportName, module);
    return 0;
}
