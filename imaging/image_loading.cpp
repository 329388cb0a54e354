// Image loading: the bytes read, the format found in the one table, and the
// pages handed out one at a time with the reason when one cannot be.
#include "imaging/image_loading.h"

#include <malloc.h>

#include <exception>
#include <utility>

#include "imaging/file_bytes.h"
#include "imaging/format_table.h"
#include "imaging/page_sink.h"
#include "imaging/raster.h"

namespace zeph::imaging {
namespace {

constexpr const char* kEmptyFile = "empty file";
constexpr const char* kUnknownFormat = "unknown image format";

ImageFailure Classify(const std::string& error) {
    const auto starts = [&](std::string_view text) { return error.rfind(text, 0) == 0; };
    if (starts(detail::kOutOfMemory)) return ImageFailure::OutOfMemory;
    if (starts(kEmptyFile) || starts(kUnknownFormat)) return ImageFailure::UnknownFormat;
    if (starts(detail::kTooLarge)) return ImageFailure::TooLarge;
    return ImageFailure::Damaged;
}

}  // namespace

ImagePages::ImagePages(ImagePages&&) noexcept = default;
ImagePages& ImagePages::operator=(ImagePages&&) noexcept = default;
ImagePages::~ImagePages() = default;

void ImagePages::Fail(ImageFailure failure, std::string&& reason) noexcept {
    DecodeResult result;
    result.failure = failure;
    try {
        result.error = std::move(reason);
    } catch (const std::exception&) {  // out of memory: the kind says enough
    }
    failure_ = std::move(result);
}

// The pages of the bytes `read` gives (a file's or a stream's), or the
// reason they could not be had.
template <typename Read>
ImagePages ImagePages::OfRead(Read read, const LoadSettings& settings) noexcept {
    ImagePages pages;
    std::string reason;
    try {
        if (auto bytes = read(reason)) {
            pages.owned_ = std::move(*bytes);
            pages.bytes_ = pages.owned_;
            pages.Start(settings);
            return pages;
        }
    } catch (const std::exception&) {
        pages.Fail(ImageFailure::OutOfMemory, detail::kOutOfMemory.data());
        return pages;
    }
    pages.Fail(ImageFailure::Unreadable, std::move(reason));
    return pages;
}

ImagePages ImagePages::OfFile(const std::string& path, const LoadSettings& settings) noexcept {
    return OfRead([&](std::string& reason) { return detail::ReadFileBytes(path, reason); },
                  settings);
}

ImagePages ImagePages::OfStream(int fd, const LoadSettings& settings) noexcept {
    return OfRead([&](std::string& reason) { return detail::ReadStreamBytes(fd, reason); },
                  settings);
}

ImagePages ImagePages::OfBytes(std::span<const uint8_t> bytes,
                               const LoadSettings& settings) noexcept {
    ImagePages pages;
    pages.bytes_ = bytes;
    pages.Start(settings);
    return pages;
}

void ImagePages::Start(const LoadSettings& settings) noexcept {
    allPages_ = settings.allPages;
    if (bytes_.empty()) {
        Fail(ImageFailure::UnknownFormat, kEmptyFile);
        return;
    }
    format_ = FindFormat(bytes_, settings.moreFormats);
    if (!format_) {
        Fail(ImageFailure::UnknownFormat, kUnknownFormat);
        return;
    }
    std::string reason;
    try {
        const DecodeSettings decode{settings.dotsPerInch, settings.allPages};
        decoder_ = format_->open(bytes_, decode, reason);
    } catch (const std::exception&) {  // bad_alloc from a string or buffer
        reason = detail::kOutOfMemory;
    }
    if (!decoder_) {
        if (reason.empty()) reason = std::string(format_->name) + ": cannot decode";
        const ImageFailure failure = Classify(reason);
        Fail(failure, std::move(reason));
    }
}

template <typename Decode>
bool ImagePages::Step(Decode decode, ImageFailure& failed, std::string& error) noexcept {
    failed = ImageFailure::None;
    if (ended_) return false;
    if (failure_) {
        ended_ = true;
        failed = failure_->failure;
        error = std::move(failure_->error);
        failure_.reset();
        return false;
    }
    std::string reason;
    bool page = false;
    try {
        page = decode(reason);
    } catch (const std::exception&) {
        reason = detail::kOutOfMemory;
    }
    if (page) {
        ++page_;
        if (!allPages_) ended_ = true;
        return true;
    }
    ended_ = true;
    decoder_.reset();
    if (reason.empty()) {
        if (page_ > 0) return false;  // past the last page
        try {
            reason = std::string(format_->name) + ": no picture";
        } catch (const std::exception&) {
        }
    }
    ++page_;  // the page that failed
    failed = Classify(reason);
    error = std::move(reason);
    return false;
}

DecodeResult ImagePages::Next() noexcept {
    DecodeResult result;
    Step(
        [&](std::string& reason) {
            result.image = decoder_->Next(reason);
            return result.image.has_value();
        },
        result.failure, result.error);
    return result;
}

DecodeResult ImagePages::NextKeepingGrey() noexcept {
    DecodeResult result;
    PageSink sink;
    Step(
        [&](std::string& reason) {
            if (!decoder_->NextInto(sink, reason)) return false;
            result.image = sink.Take();
            return result.image.has_value();
        },
        result.failure, result.error);
    return result;
}

PageResult ImagePages::NextInto(RowSink& sink) noexcept {
    PageResult result;
    result.page = Step([&](std::string& reason) { return decoder_->NextInto(sink, reason); },
                       result.failure, result.error);
    return result;
}

std::string_view ImagePages::FormatName() const {
    return format_ ? format_->name : std::string_view();
}

DecodeResult DecodeImageBytes(std::span<const uint8_t> bytes) noexcept {
    return ImagePages::OfBytes(bytes).Next();
}

DecodeResult DecodeImageFile(const std::string& path) noexcept {
    return ImagePages::OfFile(path).Next();
}

void KeepFreedImageMemory() {
    // One heap for every thread: a picture-sized block one worker frees serves
    // the next picture of any other, instead of each thread's heap keeping
    // its own largest.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

}  // namespace zeph::imaging
