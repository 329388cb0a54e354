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
#include <utility>
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
    // Read by the extended search alone (ReaderOptions::extended):
    DataBar = 1024,  // GS1 DataBar Omnidirectional, Truncated, Stacked, Stacked Omnidirectional
    DataBarLimited = 2048,
    DataBarExpanded = 4096,  // GS1 DataBar Expanded and Expanded Stacked
    Telepen = 8192,          // ASCII and numeric
    Code11 = 16384,          // with one or two check characters
    Msi = 32768,             // MSI Plessey, modulo 10, 11, 10/10 or 11/10 checked
    Plessey = 65536,         // UK Plessey
    Industrial2of5 = 131072,
    Iata2of5 = 262144,
    Matrix2of5 = 524288,
    Datalogic2of5 = 1048576,
    Pharmacode = 2097152,  // one-track, read left to right
    // Interpretations, when their base symbology is chosen too: Code 39 read
    // as the Italian pharmaceutical code or the Pharmazentralnummer, a
    // 14-digit Interleaved 2 of 5 symbol with a GTIN check as ITF-14.
    Code32 = 4194304,
    Pzn = 8388608,
    Itf14 = 16777216,
    // Telepen symbols read as numeric labels: digit pairs from the start.
    TelepenNumeric = 33554432,
};

// A set of symbologies: combine with |, as in Symbology::Ean13 | Symbology::Ean8.
class Symbologies {
  public:
    constexpr Symbologies() = default;
    constexpr Symbologies(Symbology one) : mask_(static_cast<uint32_t>(one)) {}
    // Any mask of the values above. The read functions refuse an empty mask
    // and one with a bit outside All() (ReadError, InvalidArgument).
    static constexpr Symbologies FromMask(uint32_t mask) {
        Symbologies s;
        s.mask_ = mask;
        return s;
    }
    // ZephScan's default: every symbology of the thorough search but
    // stand-alone add-ons (959), and of the extended search's own those that
    // checks protect well: GS1 DataBar, Telepen and the three interpretations.
    static constexpr Symbologies Default();
    // Every symbology and interpretation.
    static constexpr Symbologies All();

    constexpr uint32_t Mask() const { return mask_; }
    constexpr bool Has(Symbology one) const { return mask_ & static_cast<uint32_t>(one); }
    constexpr bool Empty() const { return mask_ == 0; }
    friend constexpr Symbologies operator|(Symbologies a, Symbologies b) {
        return FromMask(a.mask_ | b.mask_);
    }
    friend constexpr bool operator==(Symbologies, Symbologies) = default;

  private:
    uint32_t mask_ = 0;
};

constexpr Symbologies operator|(Symbology a, Symbology b) {
    return Symbologies(a) | Symbologies(b);
}

constexpr Symbologies Symbologies::Default() {
    return FromMask(959) | Symbology::DataBar | Symbology::DataBarLimited |
           Symbology::DataBarExpanded | Symbology::Telepen | Symbology::Code32 | Symbology::Pzn |
           Symbology::Itf14;
}

constexpr Symbologies Symbologies::All() {
    return FromMask(1023) | Symbology::DataBar | Symbology::DataBarLimited |
           Symbology::DataBarExpanded | Symbology::Telepen | Symbology::Code11 | Symbology::Msi |
           Symbology::Plessey | Symbology::Industrial2of5 | Symbology::Iata2of5 |
           Symbology::Matrix2of5 | Symbology::Datalogic2of5 | Symbology::Pharmacode |
           Symbology::Code32 | Symbology::Pzn | Symbology::Itf14 | Symbology::TelepenNumeric;
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
    // Threads the search of a picture of 6 megapixels or more is spread over
    // (1 to 64; smaller pictures are searched on the calling thread); the
    // results are the same for any number.
    int threads = 1;
    // Files: every page of a multi-page TIFF and every frame of a GIF or
    // animated WebP, one at a time (each Barcode names its page); otherwise
    // the first alone.
    bool allPages = false;
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
// (negative for rows stored bottom first, `data` then pointing at the top row);
// at least a row's bytes, and small enough that every row's address can be
// computed (|stride| times height within PTRDIFF_MAX), else InvalidArgument.
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
    // The read line's ends, in pixels from the top left corner of the
    // picture as stored (an orientation the file records is not applied).
    Point start;
    Point stop;
    // The page or frame it was read on, from 1.
    int page = 1;
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
    ReadError(Kind kind, const std::string& message, std::vector<Barcode> read = {})
        : std::runtime_error(message), kind_(kind), read_(std::move(read)) {}
    Kind kind() const { return kind_; }
    // Reading every page, a page after the first failed: the barcodes of the
    // pages before it (the message names the page). Empty otherwise.
    const std::vector<Barcode>& barcodesRead() const { return read_; }

  private:
    Kind kind_;
    std::vector<Barcode> read_;
};

// Pixels in memory.
ZEPH_BARCODE_API std::vector<Barcode> ReadBarcodes(const ImageView& image,
                                                   const ReaderOptions& options = {});
// An image file: JPEG, PNG, GIF, TIFF, WebP, HEIC, AVIF, BMP, PNM or TGA,
// chosen by its content; the first frame or page (or every one, with
// allPages), transparency on black. A path holding a NUL byte names no file:
// InvalidArgument.
ZEPH_BARCODE_API std::vector<Barcode> ReadBarcodesFromFile(const std::filesystem::path& path,
                                                           const ReaderOptions& options = {});
// An encoded image file's bytes in memory.
ZEPH_BARCODE_API std::vector<Barcode> ReadBarcodesFromEncoded(std::span<const uint8_t> bytes,
                                                              const ReaderOptions& options = {});

// The library's version, "1.0.0".
ZEPH_BARCODE_API const char* Version();

}  // namespace zeph
