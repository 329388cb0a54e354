// Any bytes through image loading, every page: each format's decoder (HEIC,
// AVIF and, where it is built, PDF included) must refuse or decode without a
// memory error, a leak or a huge allocation. Every page is decoded a second
// time straight to grey, which must give the grey values of its bitmap.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/grey_rows.h"
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
    const std::span<const uint8_t> bytes(data, size);
    zeph::imaging::ImagePages pages = zeph::imaging::ImagePages::OfBytes(bytes, settings);
    zeph::imaging::ImagePages greyPages = zeph::imaging::ImagePages::OfBytes(bytes, settings);
    std::vector<int32_t> grey;
    // A few pages are enough to reach every page's code.
    for (int page = 0; page < 8; ++page) {
        zeph::imaging::GreySink sink([&](int32_t width, int32_t height) {
            grey.assign(size_t(width) * size_t(height), -1);
            return grey.data();
        });
        const zeph::imaging::PageResult greyPage = greyPages.NextInto(sink);
        sink.Release();  // one page's place in the budget at a time
        const zeph::imaging::DecodeResult result = pages.Next();
        if (greyPage.page != result.image.has_value()) __builtin_trap();
        if (!result.image) break;
        const zeph::imaging::DecodedImage& image = *result.image;
        if (sink.Width() != image.width || sink.Height() != image.height) __builtin_trap();
        for (int32_t y = 0; y < image.height; ++y) {
            const uint8_t* p = image.RowFromTop(y);
            for (int32_t x = 0; x < image.width; ++x, p += 3) {
                if (grey[size_t(y) * size_t(image.width) + size_t(x)] != p[0] + 6 * p[1] + 3 * p[2])
                    __builtin_trap();
            }
        }
    }
    return 0;
}
