// Files the tests make from rendered pictures, for the formats that hold more
// than one page or that phones write: multi-page TIFF, PDF pages embedding
// the pictures, HEIC and AVIF through libheif's encoders, JPEG.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/image_renderer.h"

namespace zeph::test {

using FileBytes = std::vector<uint8_t>;

// Every picture one page, in order, in grey (deflate-coded, as scanners
// write).
FileBytes TiffOfPages(const std::vector<Image>& pages);
// Every picture one page, drawn over the whole page; the page is as large as
// the picture at `dotsPerInch`, so that a page drawn at that resolution gives
// the picture back pixel for pixel.
FileBytes PdfOfPages(const std::vector<Image>& pages, int dotsPerInch = 300);

enum class PhoneCoding { Hevc, Av1 };
// HEIC (HEVC) or AVIF (AV1) of the picture in colour; empty when libheif has
// no encoder for the coding.
FileBytes HeifOfImage(const Image& image, PhoneCoding coding, int quality = 90);
FileBytes JpegOfImage(const Image& image, int quality = 90);

}  // namespace zeph::test
