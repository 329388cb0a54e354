#include "cli/mask_listing.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "cli/command_line.h"
#include "cli/file_listing.h"
#include "cli/file_reading.h"

namespace zeph::cli {

std::string WhyNothingListed(std::string_view mask, const std::string& folder,
                             std::string_view pattern, bool relative) {
    const std::string full = folder + std::string(pattern);
    const std::string where =
        relative ? " (a relative mask starts at the program's folder: " + full + ")" : "";
    struct stat status {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return "no such folder" + where;
    }
    if (pattern.find_first_of("*?") != std::string_view::npos) return "no file matches" + where;
    if (pattern.empty()) return "names a folder; " + std::string(mask) + "* names its files";
    if (::stat(full.c_str(), &status) != 0) {
        return std::error_code(errno, std::generic_category()).message() + where;
    }
    if (S_ISDIR(status.st_mode)) {
        return "is a folder; " + std::string(mask) + "/* names its files";
    }
    if (pattern.front() == '.') return "names beginning with a dot are not listed";
    if (!S_ISREG(status.st_mode)) return "not a regular file";
    return "cannot be listed";
}

MaskListing ListMasks(const std::vector<std::string>& masks, std::string_view programFolder) {
    MaskListing listing;
    for (const std::string& mask : masks) {
        if (IsStandardInput(mask)) {
            listing.paths.push_back(mask);
            continue;
        }
        const FileMask resolved = ResolveMask(mask, programFolder);
        const std::string full = resolved.folder + resolved.pattern;
        if (IsStandardInput(full)) {
            listing.paths.push_back(full);
            continue;
        }
        const std::vector<std::string> names = ListFiles(resolved.folder, resolved.pattern);
        for (const std::string& name : names)
            listing.paths.push_back(resolved.folder + name);
        if (names.empty()) {
            const bool relative = mask.empty() || (mask.front() != '/' && mask.front() != '\\');
            listing.problems.push_back(
                mask + ": " + WhyNothingListed(mask, resolved.folder, resolved.pattern, relative));
        }
    }
    return listing;
}

}  // namespace zeph::cli
