// Every mask of the command line turned into the files it names, in order,
// with a word for each mask that names none.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zeph::cli {

struct MaskListing {
    std::vector<std::string> paths;  // mask by mask, each mask's files sorted
    // "MASK: why", one for each mask that names no file.
    std::vector<std::string> problems;
};

// "-" (and the names of standard input) stands for standard input; other
// masks are resolved as ResolveMask does and listed as ListFiles does.
MaskListing ListMasks(const std::vector<std::string>& masks, std::string_view programFolder);

// Why a mask lists nothing, for people: a missing file or folder, a folder
// named as a file, a hidden or irregular file, a pattern matching nothing.
std::string WhyNothingListed(std::string_view mask, const std::string& folder,
                             std::string_view pattern, bool relative);

}  // namespace zeph::cli
