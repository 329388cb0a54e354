#include "imaging/shared_library.h"

#include <dlfcn.h>

namespace zeph::imaging::detail {

void* SymbolBinder::Find(const char* name) {
    void* symbol = dlsym(handle_, name);
    if (!symbol && error_.empty()) error_ = std::string(soname_) + " has no " + name;
    return symbol;
}

void* OpenLibrary(const char* soname, std::string& error) {
    void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = std::string("cannot load ") + soname + (why ? std::string(": ") + why : "");
    }
    return handle;
}

}  // namespace zeph::imaging::detail
