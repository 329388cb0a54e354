// Image files into decoded pictures: any supported format, chosen by content,
// flattened onto black, as 24-bit blue-green-red rows; the first page, or
// every page (or frame) one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/decoded_image.h"
#include "imaging/file_bytes.h"
#include "imaging/image_format.h"

namespace zeph::imaging {

// Pictures above this many pixels are refused rather than decoded.
inline constexpr uint64_t kMaxImagePixels = uint64_t{1} << 28;

// Why a file gave no picture.
enum class ImageFailure {
    None,
    Unreadable,     // missing, unreadable, not a regular file, or over 512 MiB
    UnknownFormat,  // empty, or no supported format's signature
    TooLarge,       // over kMaxImagePixels
    Damaged,        // truncated, damaged or unsupported data
    OutOfMemory,
};

struct DecodeResult {
    std::optional<DecodedImage> image;
    ImageFailure failure = ImageFailure::None;
    std::string error;  // the reason, for people, when there is no image
    // Neither a picture nor a failure: the pages have run out.
    bool End() const { return !image && failure == ImageFailure::None; }
};

// What ImagePages::NextInto gives: a page put into the sink, or the reason
// none could be, or neither when the pages have run out.
struct PageResult {
    bool page = false;
    ImageFailure failure = ImageFailure::None;
    std::string error;
    bool End() const { return !page && failure == ImageFailure::None; }
};

struct LoadSettings {
    // Every page or frame; otherwise the first alone.
    bool allPages = false;
    int dotsPerInch = 300;  // for documents
    // Formats beyond the built-in ones (a program's own), tried after the
    // built-in formats with a signature.
    std::vector<const ImageFormat*> moreFormats;
};

// The pages of one image file, decoded one at a time: a page's pixels are the
// caller's, and only what the next page needs stays here, so a file of any
// number of pages runs in the memory of one. Each page waits until it fits the
// process's budget of decoded pixels: let go of a page before asking for the
// next. Nothing throws.
class ImagePages {
  public:
    // A file, opened without blocking and read only when it is a regular file.
    static ImagePages OfFile(const std::string& path, const LoadSettings& settings = {}) noexcept;
    // Bytes in memory, which must outlive the pages.
    static ImagePages OfBytes(std::span<const uint8_t> bytes,
                              const LoadSettings& settings = {}) noexcept;
    // A stream read to its end, such as standard input; the descriptor is
    // left open.
    static ImagePages OfStream(int fd, const LoadSettings& settings = {}) noexcept;

    ImagePages(ImagePages&&) noexcept;
    ImagePages& operator=(ImagePages&&) noexcept;
    ~ImagePages();

    // The next page, or why it cannot be had, or the end (after the last
    // page, after the first unless every page is wanted, after a failure).
    DecodeResult Next() noexcept;
    // The same, a grey page as one byte a pixel (DecodedImage::channels 1):
    // see PageSink.
    DecodeResult NextKeepingGrey() noexcept;
    // The same page's rows put into `sink` instead, in whatever layout the
    // decoder makes them: no 24-bit picture is kept. The sink's contents are
    // whole only when the result has a page.
    PageResult NextInto(RowSink& sink) noexcept;
    // The number of the page Next gave last, from 1.
    int Page() const { return page_; }
    // The format found, empty before one is.
    std::string_view FormatName() const;

  private:
    ImagePages() = default;
    template <typename Read>
    static ImagePages OfRead(Read read, const LoadSettings& settings) noexcept;
    void Start(const LoadSettings& settings) noexcept;
    void Fail(ImageFailure failure, std::string&& reason) noexcept;
    // Runs `decode` for the next page: true for a page; false for the end,
    // or with the failure in `failed`.
    template <typename Decode>
    bool Step(Decode decode, ImageFailure& failed, std::string& error) noexcept;

    detail::FileBuffer owned_;  // the file's bytes, when read here
    std::span<const uint8_t> bytes_;
    const ImageFormat* format_ = nullptr;
    std::unique_ptr<PageDecoder> decoder_;
    bool allPages_ = false;
    bool ended_ = false;
    std::optional<DecodeResult> failure_;  // from reading or opening, given by the first Next
    int page_ = 0;
};

// The first page of the bytes, the format chosen by content (never a name):
// JPEG, PNG, GIF, TIFF, WebP, HEIC, AVIF, BMP, PNM or TGA. Grey, palette,
// 16-bit, CMYK and alpha images are converted; transparent pixels become
// black. Never throws.
DecodeResult DecodeImageBytes(std::span<const uint8_t> bytes) noexcept;
// The same for a file.
DecodeResult DecodeImageFile(const std::string& path) noexcept;

// Pictures of one size follow each other in a run: keeps freed blocks for the
// next picture instead of mapping and zero-filling fresh pages for every file.
// Process-wide; call once at start.
void KeepFreedImageMemory();

}  // namespace zeph::imaging
