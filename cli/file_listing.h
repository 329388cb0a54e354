// The files a mask names: regular files (links to them included) of the folder
// whose names match the pattern and do not begin with ".", sorted by name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zeph::cli {

// `*` matches any run of characters, `?` any one character; everything else
// matches itself. A missing or unreadable folder lists nothing.
std::vector<std::string> ListFiles(const std::string& folder, std::string_view pattern);

bool MatchesPattern(std::string_view name, std::string_view pattern);

}  // namespace zeph::cli
