#include "cli/file_listing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace zeph::cli {

bool MatchesPattern(std::string_view name, std::string_view pattern) {
    // Iterative matching with one backtrack point: linear in practice and
    // without recursion on hostile patterns.
    size_t n = 0, p = 0;
    size_t starAt = std::string_view::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> ListFiles(const std::string& folder, std::string_view pattern) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    // A pattern without wildcards matches one name alone: the file is looked
    // up, not found among all of the folder's, which a pipeline that names
    // one picture of a large folder per run would list on every run.
    if (pattern.find_first_of("*?") == std::string_view::npos) {
        if (pattern.empty() || pattern.front() == '.') return names;
        const fs::path path = fs::path(folder.empty() ? "." : folder) / pattern;
        if (fs::is_regular_file(path, ec)) names.emplace_back(pattern);  // follows links
        return names;
    }
    fs::directory_iterator it(folder.empty() ? "." : folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.' || !MatchesPattern(name, pattern)) continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;  // follows links
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace zeph::cli
