#include "pdf/pdf_format.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

#include "imaging/raster.h"
#include "pdf/pdf_module.h"

namespace zeph::pdf {
namespace {

using imaging::DecodedImage;
using imaging::DecodeSettings;
using imaging::PageDecoder;

// The library's messages would go to standard error; a page that cannot be
// drawn is reported through the loader instead.
void SilenceOnce() {
    [[maybe_unused]] static const bool silenced = [] {
        poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
        return true;
    }();
}

class PdfPages final : public PageDecoder {
  public:
    PdfPages(std::unique_ptr<poppler::document> document, int dotsPerInch)
        : document_(std::move(document)), dotsPerInch_(dotsPerInch), count_(document_->pages()) {
        renderer_.set_render_hint(poppler::page_renderer::antialiasing, true);
        renderer_.set_render_hint(poppler::page_renderer::text_antialiasing, true);
        renderer_.set_image_format(poppler::image::format_bgr24);
    }

    std::optional<DecodedImage> Next(std::string& error) override {
        if (index_ >= count_) {
            if (count_ == 0) error = "PDF: no pages";
            return std::nullopt;
        }
        const std::unique_ptr<poppler::page> page(document_->create_page(index_++));
        if (!page) {
            error = "PDF: damaged page";
            return std::nullopt;
        }
        // The page's size at the resolution asked for, checked before it is
        // drawn; turning a page does not change its pixel count.
        const poppler::rectf box = page->page_rect();
        const double scale = dotsPerInch_ / 72.0;
        const double width = std::ceil(box.width() * scale),
                     height = std::ceil(box.height() * scale);
        if (!(width >= 1 && height >= 1) || width > double(INT_MAX) || height > double(INT_MAX)) {
            error = "PDF: page without a size";
            return std::nullopt;
        }
        if (!imaging::detail::CheckImageSize(int64_t(width), int64_t(height), error)) {
            error += " at " + std::to_string(dotsPerInch_) + " dpi";
            return std::nullopt;
        }
        poppler::image drawn = renderer_.render_page(page.get(), dotsPerInch_, dotsPerInch_);
        if (!drawn.is_valid() || drawn.width() <= 0 || drawn.height() <= 0 ||
            drawn.bytes_per_row() < drawn.width() * 3) {
            error = "PDF: the page cannot be drawn";
            return std::nullopt;
        }
        auto raster = imaging::detail::NewRaster(drawn.width(), drawn.height(), error);
        if (!raster) return std::nullopt;
        const char* rows = drawn.const_data();
        const size_t rowBytes = size_t(drawn.width()) * 3;
        for (int32_t y = 0; y < raster->height; ++y) {
            std::memcpy(raster->RowFromTop(y), rows + size_t(y) * size_t(drawn.bytes_per_row()),
                        rowBytes);
        }
        return raster;
    }

  private:
    std::unique_ptr<poppler::document> document_;
    poppler::page_renderer renderer_;
    const int dotsPerInch_;
    const int count_;
    int index_ = 0;
};

std::unique_ptr<PageDecoder> Open(std::span<const uint8_t> bytes, const DecodeSettings& settings,
                                  std::string& error) {
    SilenceOnce();
    if (bytes.size() > size_t(INT_MAX)) {
        error = "PDF: file too large";
        return nullptr;
    }
    // The bytes outlive the document, which reads them in place.
    std::unique_ptr<poppler::document> document(poppler::document::load_from_raw_data(
        reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())));
    if (!document) {
        error = "PDF: damaged or truncated file";
        return nullptr;
    }
    if (document->is_locked()) {
        error = "PDF: the file is locked by a password";
        return nullptr;
    }
    return std::make_unique<PdfPages>(std::move(document), settings.dotsPerInch);
}

}  // namespace

const imaging::ImageFormat& PdfFormat() {
    static const imaging::ImageFormat format = {"PDF", LooksLikePdf, Open};
    return format;
}

}  // namespace zeph::pdf
