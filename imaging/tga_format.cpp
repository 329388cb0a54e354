// TGA: one page, through the stb_image reader. The format has no signature:
// a self-consistent header is all that marks its files, so it is tried last.
#include "imaging/format_table.h"
#include "imaging/stb_reading.h"

namespace zeph::imaging::detail {
namespace {

bool Sniff(std::span<const uint8_t> bytes) {
    if (bytes.size() < 18) return false;
    const uint8_t mapType = bytes[1], imageType = bytes[2], depth = bytes[16];
    const bool mapped = imageType == 1 || imageType == 9;
    const bool known =
        mapped || imageType == 2 || imageType == 3 || imageType == 10 || imageType == 11;
    const unsigned width = bytes[12] | bytes[13] << 8, height = bytes[14] | bytes[15] << 8;
    return known && (mapType == 0 || (mapType == 1 && mapped)) && width && height &&
           (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32);
}

// Header, identifier, colour map and pixels. A run-length packet holds at
// most 128 pixels in a header byte and one pixel: a file shorter than that
// would be mostly padding.
uint64_t Needed(std::span<const uint8_t> bytes, uint64_t width, uint64_t height) {
    const uint64_t map = bytes[1] == 1 ? Le16(bytes, 5) * ((bytes[7] + 7) / 8) : 0;
    const uint64_t pixelBytes = (bytes[16] + 7) / 8;
    const uint64_t data = bytes[2] >= 9 ? (width * height + 127) / 128 * (1 + pixelBytes)
                                        : width * height * pixelBytes;
    return 18 + bytes[0] + map + data;
}

std::optional<Raster> Decode(std::span<const uint8_t> bytes, std::string& error) {
    return DecodeWithStb(bytes, "TGA", Needed, error);
}

}  // namespace

const ImageFormat kTgaFormat = {"TGA", Sniff,
                                [](std::span<const uint8_t> bytes, const DecodeSettings&,
                                   std::string&) { return OnePage(bytes, Decode); },
                                false};

}  // namespace zeph::imaging::detail
