// Reading one-dimensional barcodes from pictures: a picture in (a file, an
// encoded image in memory, or pixels in memory), options, and the barcodes
// found out.
//
//     #include <zeph/barcode.h>
//
//     for (const zeph::Barcode& b : zeph::ReadBarcodesFromFile("label.jpg"))
//         std::cout << b.symbology << ": " << b.text << '\n';
//
// Every function may be called from several threads at once; calls share
// nothing a caller can see. Errors are thrown as zeph::ReadError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(ZEPH_BARCODE_BUILDING)
#define ZEPH_BARCODE_API __attribute__((visibility("default")))
#else
#define ZEPH_BARCODE_API
#endif

namespace zeph {

// The symbologies, as the values of ZephScan's "-bctypes" mask.
enum class Symbology : uint32_t {
    Ean13 = 1,    // EAN-13 and UPC-A, with their 2- or 5-digit add-ons
    Code128 = 2,  // Code 128, GS1-128 included
    Code39 = 4,
    Code93 = 8,
    Ean8 = 16,
    UpcE = 32,
    AddOn = 64,  // 2- or 5-digit add-ons on their own
    Itf = 128,   // Interleaved 2 of 5
    Codabar = 256,
    Patch = 512,  // Patch codes 1, 2, 3, 4, 6 and T
    // Read by the extended search only (ReaderOptions::extended).
    DataBar = 1024,  // GS1 DataBar Omnidirectional, Truncated, Stacked, Stacked Omnidirectional
    DataBarLimited = 2048,
    DataBarExpanded = 4096,  // GS1 DataBar Expanded and Expanded Stacked
};

// A set of symbologies: combine with |, as in Symbology::Ean13 | Symbology::Ean8.
class Symbologies {
  public:
    constexpr Symbologies() = default;
    constexpr Symbologies(Symbology one) : mask_(static_cast<uint32_t>(one)) {}
    // Any mask of the values above; other bits are ignored by the reader.
    static constexpr Symbologies FromMask(uint32_t mask) {
        Symbologies s;
        s.mask_ = mask;
        return s;
    }
    // Every symbology but stand-alone add-ons: ZephScan's default.
    static constexpr Symbologies Default() { return FromMask(kDefaultMask); }
    static constexpr Symbologies All() {
        return FromMask(kDefaultMask | static_cast<uint32_t>(Symbology::AddOn));
    }

    constexpr uint32_t Mask() const { return mask_; }
    constexpr bool Has(Symbology one) const { return mask_ & static_cast<uint32_t>(one); }
    constexpr bool Empty() const { return mask_ == 0; }
    friend constexpr Symbologies operator|(Symbologies a, Symbologies b) {
        return FromMask(a.mask_ | b.mask_);
    }
    friend constexpr bool operator==(Symbologies, Symbologies) = default;

  private:
    // The reader's own 959 (every symbology of 1 to 512 but stand-alone add-ons)
    // and those only the extended search reads.
    static constexpr uint32_t kDefaultMask = 959 | static_cast<uint32_t>(Symbology::DataBar) |
                                             static_cast<uint32_t>(Symbology::DataBarLimited) |
                                             static_cast<uint32_t>(Symbology::DataBarExpanded);

    uint32_t mask_ = 0;
};

constexpr Symbologies operator|(Symbology a, Symbology b) {
    return Symbologies(a) | Symbologies(b);
}

struct ReaderOptions {
    Symbologies symbologies = Symbologies::Default();
    // Reads scoring below this (0 to 1) are not reported.
    float minConfidence = 0.81f;
    // Contrast a place must show to be looked at (0 to 1); lower looks at more.
    float contrastSensitivity = 0.07f;
    // Every place that may hold a barcode is read, not only the most likely.
    bool thorough = true;
    // The further passes for small, blurred, tilted or cut-off symbols.
    bool extended = true;
    // Threads one picture's search is spread over (1 to 64); the results are
    // the same for any number.
    int threads = 1;
};

enum class PixelFormat {
    Grey,  // one byte a pixel
    Bgr,   // three bytes: blue, green, red
    Rgb,
    Bgra,  // four bytes; alpha flattens the colour onto black
    Rgba,
};

constexpr int BytesPerPixel(PixelFormat format) {
    return format == PixelFormat::Grey                                ? 1
           : format == PixelFormat::Bgr || format == PixelFormat::Rgb ? 3
                                                                      : 4;
}

// Pixels in the caller's memory, top row first; not copied and not kept
// beyond the call. `stride` is the distance in bytes from one row to the next
// (negative for rows stored bottom first, `data` then pointing at the top row).
struct ImageView {
    const uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
    PixelFormat format = PixelFormat::Grey;

    ImageView() = default;
    // Rows packed one after the other.
    ImageView(const uint8_t* pixels, int w, int h, PixelFormat f)
        : ImageView(pixels, w, h, std::ptrdiff_t(w) * BytesPerPixel(f), f) {}
    ImageView(const uint8_t* pixels, int w, int h, std::ptrdiff_t rowStride, PixelFormat f)
        : data(pixels), width(w), height(h), stride(rowStride), format(f) {}
};

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Barcode {
    // The symbol's characters as read, function characters (0xFC to 0xFF in
    // the reader's own bytes) and check characters included. UTF-8.
    std::string rawText;
    // The same as the reader gives it: single-byte Windows-1252, as ZephScan
    // prints it.
    std::string rawBytes;
    // The data for people: GS1 fields, prices and the like spelled out. UTF-8.
    std::string text;
    // "EAN-13", "Code 128", ... and the more specific type: "UPC-A",
    // "UCC/EAN-128", ... as ZephScan reports them.
    std::string symbology;
    std::string type;
    // What the data means: "Product Identifier - Germany", ...
    std::string descriptor;
    // 0 to 1.
    float confidence = 0;
    // The read line's ends, in pixels from the top left corner.
    Point start;
    Point stop;
    friend bool operator==(const Barcode&, const Barcode&) = default;
};

class ZEPH_BARCODE_API ReadError : public std::runtime_error {
  public:
    enum class Kind {
        InvalidArgument,  // an option or image view out of range
        UnreadableFile,   // missing, unreadable or not a regular file
        UnknownFormat,    // not a picture of a supported format
        DamagedImage,     // truncated or damaged data
        TooLarge,         // over the pixel cap (2^28 pixels)
        OutOfMemory,
    };
    ReadError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

// Pixels in memory.
ZEPH_BARCODE_API std::vector<Barcode> ReadBarcodes(const ImageView& image,
                                                   const ReaderOptions& options = {});
// An image file: JPEG, PNG, GIF, TIFF, WebP, BMP, PNM or TGA, chosen by its
// content; the first frame or page, transparency on black.
ZEPH_BARCODE_API std::vector<Barcode> ReadBarcodesFromFile(const std::filesystem::path& path,
                                                           const ReaderOptions& options = {});
// An encoded image file's bytes in memory.
ZEPH_BARCODE_API std::vector<Barcode> ReadBarcodesFromEncoded(std::span<const uint8_t> bytes,
                                                              const ReaderOptions& options = {});

// The library's version, "1.0.0".
ZEPH_BARCODE_API const char* Version();

}  // namespace zeph
