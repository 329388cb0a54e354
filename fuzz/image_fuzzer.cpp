// Any bytes through image loading, every page: each format's decoder (HEIC,
// AVIF and, where it is built, PDF included) must refuse or decode without a
// memory error, a leak or a huge allocation.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/image_loading.h"

#if defined(ZEPH_WITH_PDF)
#include "pdf/pdf_format.h"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zeph::imaging::LoadSettings settings;
    settings.allPages = true;
    // Pages of documents drawn small: a fuzzer's page may be of any size.
    settings.dotsPerInch = 20;
#if defined(ZEPH_WITH_PDF)
    settings.moreFormats = {&zeph::pdf::PdfFormat()};
#endif
    zeph::imaging::ImagePages pages =
        zeph::imaging::ImagePages::OfBytes(std::span<const uint8_t>(data, size), settings);
    // A few pages are enough to reach every page's code.
    for (int page = 0; page < 8; ++page) {
        const zeph::imaging::DecodeResult result = pages.Next();
        if (!result.image) break;
    }
    return 0;
}
