// One file through the reader control, page by page: each page decoded,
// handed to the control as a picture, its barcodes asked for, and let go
// before the next page is decoded, so that a file of any number of pages
// holds one page at a time.
#pragma once

#include <string>
#include <string_view>

#include "cli/file_result.h"
#include "imaging/image_loading.h"
#include "platform/com.h"

namespace zeph::cli {

// "-", and the names of standard input, read it rather than a listed file.
bool IsStandardInput(std::string_view path);

// Reads the file (or standard input, once per run) with the control. Never
// throws: memory running out makes an internal error.
FileResult ReadFile(IDispatch& control, const std::string& path,
                    const imaging::LoadSettings& settings) noexcept;

}  // namespace zeph::cli
