#include "cli/pdf_loading.h"

#include <dlfcn.h>

#include <exception>
#include <filesystem>
#include <string>

#include "pdf/pdf_module.h"

#if !defined(ZEPH_PDF_MODULE_INSTALLED) || !defined(ZEPH_PDF_MODULE_BUILT)
#error \
    "ZEPH_PDF_MODULE_INSTALLED (from the programs' folder) and ZEPH_PDF_MODULE_BUILT must name the module"
#endif

namespace zeph::cli {
namespace {

namespace fs = std::filesystem;

// The module's format, or why it cannot be had; loaded once, and kept for
// the life of the process, which holds its decoders.
struct Loaded {
    const imaging::ImageFormat* format = nullptr;
    std::string failure;
};

Loaded Load() {
    Loaded loaded;
    std::string tried;
    try {
        std::error_code error;
        const fs::path executable = fs::read_symlink("/proc/self/exe", error);
        // Installed beside the program as the installed layout places it,
        // else where this tree built it.
        std::string paths[2] = {error ? std::string()
                                      : (executable.parent_path() / ZEPH_PDF_MODULE_INSTALLED)
                                            .lexically_normal()
                                            .string(),
                                ZEPH_PDF_MODULE_BUILT};
        for (const std::string& path : paths) {
            if (path.empty() || !fs::is_regular_file(path, error)) continue;
            void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!module) {
                const char* why = dlerror();
                tried = why ? why : path;
                continue;
            }
            const auto entry = reinterpret_cast<pdf::ModuleEntry>(dlsym(module, pdf::kModuleEntry));
            loaded.format = entry ? entry() : nullptr;
            if (loaded.format) return loaded;
            tried = path + ": no PDF format in the module";
        }
        loaded.failure = "PDF: the PDF reader cannot be loaded (" +
                         (tried.empty() ? std::string("its module is not installed") : tried) + ")";
    } catch (const std::exception&) {
        loaded.failure = "PDF: the PDF reader cannot be loaded (out of memory)";
    }
    return loaded;
}

std::unique_ptr<imaging::PageDecoder> Open(std::span<const uint8_t> bytes,
                                           const imaging::DecodeSettings& settings,
                                           std::string& error) {
    static const Loaded loaded = Load();
    if (!loaded.format) {
        error = loaded.failure;
        return nullptr;
    }
    return loaded.format->open(bytes, settings, error);
}

}  // namespace

const imaging::ImageFormat& PdfFormat() {
    static const imaging::ImageFormat format = {"PDF", pdf::LooksLikePdf, Open};
    return format;
}

}  // namespace zeph::cli
