// BMP: one page, through the stb_image reader.
#include "imaging/format_table.h"
#include "imaging/stb_reading.h"

namespace zeph::imaging::detail {
namespace {

bool Sniff(std::span<const uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

// The header and the plain rows must be in the file, 0 for unusual headers
// (the reader decides). Sizes are within the pixel limit, so nothing
// overflows.
uint64_t Needed(std::span<const uint8_t> bytes, uint64_t width, uint64_t height) {
    // The reader pads the header too: the file must hold all of it.
    if (bytes.size() < 18) return 18;
    const uint64_t header = 14 + uint64_t(Le32(bytes, 14));
    if (bytes.size() < header) return header;
    const bool core = header == 26;  // the oldest header: 16-bit sizes
    if (!core && header < 30) return 0;
    const uint64_t bits = core ? Le16(bytes, 24) : Le16(bytes, 28);
    // The reader refuses run-length compression and reads every other kind
    // as plain rows, so those rows must be there.
    if (bits == 0 || bits > 32) return 0;
    // The last row's padding is often left out.
    const uint64_t row = (width * bits + 31) / 32 * 4;
    return Le32(bytes, 10) + row * (height - 1) + (width * bits + 7) / 8;
}

std::optional<Raster> Decode(std::span<const uint8_t> bytes, std::string& error) {
    return DecodeWithStb(bytes, "BMP", Needed, error);
}

}  // namespace

const ImageFormat kBmpFormat = {
    "BMP", Sniff, [](std::span<const uint8_t> bytes, const DecodeSettings&, std::string&) {
        return OnePage(bytes, Decode);
    }};

}  // namespace zeph::imaging::detail
