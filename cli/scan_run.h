// One run of ZephScan over its command line, with the reader control of the
// main thread: options, masks, every file's report in order, the exit status.
#pragma once

#include <string>
#include <vector>

#include "imaging/image_format.h"
#include "platform/com.h"

namespace zeph::cli {

// `moreFormats`: the formats this program reads beyond the library's (PDF).
int RunScan(IDispatch& control, const std::vector<std::string>& tokens,
            const std::vector<const imaging::ImageFormat*>& moreFormats);

}  // namespace zeph::cli
