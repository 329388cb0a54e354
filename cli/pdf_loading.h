// PDF files for ZephScan: the format is known from the start, and its module
// (pdf/pdf_module.h) is loaded when the first PDF file is opened.
#pragma once

#include "imaging/image_format.h"

namespace zeph::cli {

const imaging::ImageFormat& PdfFormat();

}  // namespace zeph::cli
