#include "platform/manifest.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/registry.h"

#ifndef ZEPH_INSTALLED_MANIFEST
#error "ZEPH_INSTALLED_MANIFEST must give the installed manifest's path from the programs' folder"
#endif

namespace zeph::platform {
namespace {

namespace fs = std::filesystem;

// A manifest is a few lines per class; a bigger file is not a manifest.
constexpr std::uintmax_t kMaxManifestSize = 1 << 20;

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlank = " \t\r";
    const std::size_t first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxManifestSize) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!file.read(text.data(), static_cast<std::streamsize>(text.size()))) return std::nullopt;
    return text;
}

}  // namespace

std::vector<ManifestClass> ReadManifest(const std::string& path) {
    if (path.empty()) return {};
    const std::optional<std::string> read = ReadSmallFile(path);
    if (!read || read->find('\0') != std::string::npos) return {};
    const std::string& text = *read;
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
        if (block.progId && !RegistrySegmentValid(*block.progId)) return false;
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

std::vector<std::string> ManifestPaths() {
    try {
        std::error_code error;
        const fs::path executable = fs::read_symlink("/proc/self/exe", error);
        if (error) return {};
        const fs::path installed =
            (executable.parent_path() / ZEPH_INSTALLED_MANIFEST).lexically_normal();
        return {executable.string() + ".manifest", installed.string()};
    } catch (const std::exception&) {
        return {};
    }
}

std::string ManifestPath() {
    std::vector<std::string> paths = ManifestPaths();
    return paths.empty() ? std::string() : std::move(paths.front());
}

}  // namespace zeph::platform
