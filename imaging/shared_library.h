// Decoder libraries opened when the first file of their format is read rather
// than when the program starts: each one loaded takes as long as reading a
// small picture, most runs read one or two formats, and a program that reads
// one picture per process pays the loading on every picture.
#pragma once

#include <string>
#include <utility>

namespace zeph::imaging::detail {

// One library's functions, bound by name.
class SymbolBinder {
  public:
    SymbolBinder(void* handle, const char* soname) : handle_(handle), soname_(soname) {}

    // Binds `function` to the library's symbol `name`; false, with the
    // missing name kept for Error(), when the library has no such symbol.
    template <typename F>
    bool operator()(const char* name, F& function) {
        function = reinterpret_cast<F>(Find(name));
        return function != nullptr;
    }
    const std::string& Error() const { return error_; }

  private:
    void* Find(const char* name);

    void* handle_;
    const char* soname_;
    std::string error_;
};

// A deleter for what a loaded library allocated, through the library's own
// release function.
template <typename T>
struct ReleaseWith {
    void (*release)(T*) = nullptr;
    void operator()(T* p) const { release(p); }
};

// Opens `soname` for the life of the process (never closed: decoders may keep
// allocations in their own globals, which must stay mapped for as long as
// anything, a leak checker at exit included, may look at them). Null, with
// `error` naming the reason, when it cannot be opened.
void* OpenLibrary(const char* soname, std::string& error);

// The functions of a library, bound on the first call by bind(binder,
// functions) and kept: Library<F>::Get returns them, or null with `error`
// naming the reason when the library or one of its functions is missing.
template <typename Functions>
class Library {
  public:
    template <typename Bind>
    Library(const char* soname, Bind&& bind) {
        void* handle = OpenLibrary(soname, error_);
        if (!handle) return;
        SymbolBinder binder(handle, soname);
        if (bind(binder, functions_)) {
            ready_ = true;
        } else {
            error_ = binder.Error();
        }
    }

    const Functions* Get(std::string& error) const {
        if (ready_) return &functions_;
        error = error_;
        return nullptr;
    }

  private:
    Functions functions_{};
    bool ready_ = false;
    std::string error_;
};

}  // namespace zeph::imaging::detail
