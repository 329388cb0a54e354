// JPEG through libjpeg-turbo's TurboJPEG interface: one page.
#include <algorithm>
#include <memory>
#include <new>

#include "imaging/format_table.h"
#include "imaging/jpeg_library.h"
#include "imaging/raster.h"

namespace zeph::imaging::detail {
namespace {

struct DecoderRelease {
    const JpegLibrary* jpeg = nullptr;
    void operator()(void* decoder) const { jpeg->destroy(decoder); }
};

bool Sniff(std::span<const uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

// Huffman-coded scans spend at least a bit on every 8 x 8 block of the
// largest component; arithmetic coding has no such floor and is not checked.
bool DataCanFill(std::span<const uint8_t> file, uint64_t width, uint64_t height) {
    // Markers up to the frame header, which names the coding.
    size_t at = 2;
    while (at + 4 <= file.size()) {
        if (file[at] != 0xFF) return true;  // damaged: the library says so
        const uint8_t marker = file[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const size_t length = size_t(file[at + 2]) << 8 | file[at + 3];
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            const bool arithmetic = marker >= 0xC9;
            if (arithmetic) return true;
            const uint64_t blocks = SaturatingProduct((width + 7) / 8, (height + 7) / 8);
            const uint64_t data = file.size() - std::min(file.size(), at + 2 + length);
            return blocks / 8 <= data;
        }
        at += 2 + length;
    }
    return true;
}

// Damaged data stops the decoder rather than yielding a partly grey picture;
// the scan limit keeps crafted progressive files from taking minutes.
constexpr int kFlags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;

// A decoder with the file's header read and its size checked.
struct Opened {
    const JpegLibrary* library = nullptr;
    std::unique_ptr<void, DecoderRelease> decoder;
    unsigned char* data = nullptr;  // the 2.1 interface takes non-const input it never writes
    unsigned long size = 0;
    int width = 0, height = 0, colourSpace = 0;

    bool Failed(std::string& error) const {
        error = std::string("JPEG: ") + library->errorText(decoder.get());
        return false;
    }
};

bool Open(std::span<const uint8_t> bytes, Opened& jpeg, std::string& error) {
    jpeg.library = LoadJpeg(error);
    if (!jpeg.library) {
        error = "JPEG: " + error;
        return false;
    }
    jpeg.decoder = {jpeg.library->initDecompress(), DecoderRelease{jpeg.library}};
    if (!jpeg.decoder) {
        error = "JPEG: cannot start the decoder";
        return false;
    }
    jpeg.data = const_cast<unsigned char*>(bytes.data());
    jpeg.size = static_cast<unsigned long>(bytes.size());
    int subsampling = 0;
    if (jpeg.library->decompressHeader(jpeg.decoder.get(), jpeg.data, jpeg.size, &jpeg.width,
                                       &jpeg.height, &subsampling, &jpeg.colourSpace) != 0) {
        return jpeg.Failed(error);
    }
    if (!CheckImageSize(jpeg.width, jpeg.height, error)) return false;
    if (!DataCanFill(bytes, uint64_t(jpeg.width), uint64_t(jpeg.height))) {
        error = "JPEG: too little data for the picture's size";
        return false;
    }
    return true;
}

// A page that is not CMYK straight into the layout of a raster of 3 or 1
// channels: no conversion pass.
std::optional<Raster> DecodeStraight(Opened& jpeg, int32_t channels, std::string& error) {
    auto raster = NewRaster(jpeg.width, jpeg.height, channels, error);
    if (!raster) return std::nullopt;
    if (jpeg.library->decompress(jpeg.decoder.get(), jpeg.data, jpeg.size, raster->pixels.get(),
                                 jpeg.width, static_cast<int>(raster->stride), jpeg.height,
                                 channels == 1 ? TJPF_GRAY : TJPF_BGR,
                                 kFlags | TJFLAG_BOTTOMUP) != 0) {
        jpeg.Failed(error);
        return std::nullopt;
    }
    return raster;
}

std::optional<Raster> Decode(std::span<const uint8_t> bytes, std::string& error) {
    Opened jpeg;
    if (!Open(bytes, jpeg, error)) return std::nullopt;
    void* decoder = jpeg.decoder.get();
    unsigned char* data = jpeg.data;
    const unsigned long size = jpeg.size;
    const int width = jpeg.width, height = jpeg.height, colourSpace = jpeg.colourSpace;
    const auto failed = [&] {
        jpeg.Failed(error);
        return std::nullopt;
    };
    if (colourSpace != TJCS_CMYK && colourSpace != TJCS_YCCK) return DecodeStraight(jpeg, 3, error);
    auto raster = NewRaster(width, height, error);
    if (!raster) return std::nullopt;
    // The library gives CMYK as stored: inverted, as CMYK JPEG files keep it, so
    // each colour is its inverted ink times the inverted black.
    const size_t rowBytes = size_t(width) * 4;
    std::unique_ptr<uint8_t[]> cmyk(new (std::nothrow) uint8_t[rowBytes * size_t(height)]);
    if (!cmyk) {
        error = kOutOfMemory;
        return std::nullopt;
    }
    if (jpeg.library->decompress(decoder, data, size, cmyk.get(), width, 0, height, TJPF_CMYK,
                                 kFlags) != 0) {
        return failed();
    }
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* source = cmyk.get() + size_t(y) * rowBytes;
        uint8_t* target = raster->RowFromTop(y);
        for (int32_t x = 0; x < width; ++x, source += 4, target += 3) {
            target[0] = OnBlack(source[2], source[3]);
            target[1] = OnBlack(source[1], source[3]);
            target[2] = OnBlack(source[0], source[3]);
        }
    }
    return raster;
}

// Grey files decode to one sample a pixel, which the 24-bit bitmap would
// repeat three times; colour files to the bitmap's own layout. CMYK goes
// through the bitmap.
bool DecodeInto(std::span<const uint8_t> bytes, RowSink& sink, std::string& error) {
    Opened jpeg;
    if (!Open(bytes, jpeg, error)) return false;
    if (jpeg.colourSpace == TJCS_CMYK || jpeg.colourSpace == TJCS_YCCK) {
        std::optional<Raster> raster = Decode(bytes, error);
        return raster && IntoSink(std::move(*raster), sink, error);
    }
    const bool grey = jpeg.colourSpace == TJCS_GRAY;
    if (sink.TakesWholePictures()) {
        std::optional<Raster> raster = DecodeStraight(jpeg, grey ? 1 : 3, error);
        return raster && IntoSink(std::move(*raster), sink, error);
    }
    const size_t pixelBytes = grey ? 1 : 3;
    const size_t rowBytes = size_t(jpeg.width) * pixelBytes;
    // Held only while the page is converted, under the sink's reservation.
    std::unique_ptr<uint8_t[]> rows(new (std::nothrow) uint8_t[rowBytes * size_t(jpeg.height)]);
    if (!rows) {
        error = kOutOfMemory;
        return false;
    }
    if (!sink.Begin(jpeg.width, jpeg.height, error)) return false;
    if (jpeg.library->decompress(jpeg.decoder.get(), jpeg.data, jpeg.size, rows.get(), jpeg.width,
                                 0, jpeg.height, grey ? TJPF_GRAY : TJPF_BGR, kFlags) != 0) {
        return jpeg.Failed(error);
    }
    sink.Rows(grey ? Layout::Grey : Layout::Bgr, rows.get(), static_cast<std::ptrdiff_t>(rowBytes),
              0, jpeg.height);
    return true;
}

}  // namespace

const ImageFormat kJpegFormat = {
    "JPEG", Sniff, [](std::span<const uint8_t> bytes, const DecodeSettings&, std::string&) {
        return OnePage(bytes, Decode, DecodeInto);
    }};

}  // namespace zeph::imaging::detail
