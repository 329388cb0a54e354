// PDF files as an image format of their own: each page drawn on white at the
// resolution asked for (DecodeSettings::dotsPerInch), one page at a time.
#pragma once

#include "imaging/image_format.h"

namespace zeph::pdf {

const imaging::ImageFormat& PdfFormat();

}  // namespace zeph::pdf
