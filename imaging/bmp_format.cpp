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

// The reader takes as many palette entries as fit between the header and the
// rows, and leaves the others unset: a pixel naming one would take whatever
// lay in memory. Such files are refused; a short palette that every pixel
// keeps within is read.
bool PaletteCoversPixels(std::span<const uint8_t> bytes, std::string& error) {
    if (bytes.size() < 30) return true;  // the reader refuses these itself
    const uint64_t headerSize = Le32(bytes, 14);
    const bool core = headerSize == 12;
    const uint64_t bits = core ? Le16(bytes, 24) : Le16(bytes, 28);
    if (bits != 1 && bits != 4 && bits != 8) return true;
    const int64_t width = core ? int64_t(Le16(bytes, 18)) : int64_t(int32_t(Le32(bytes, 18)));
    const int64_t rows = core ? int64_t(Le16(bytes, 20)) : int64_t(int32_t(Le32(bytes, 22)));
    const int64_t offset = Le32(bytes, 10);
    const int64_t entries = core ? (offset - 14 - 24) / 3 : (offset - 14 - int64_t(headerSize)) / 4;
    if (entries < 1) {
        error = "BMP: no room for the palette before the rows";
        return false;
    }
    if (entries >= (int64_t{1} << bits) || width <= 0) return true;
    const uint64_t rowBytes = (uint64_t(width) * bits + 7) / 8;
    const uint64_t stride = (rowBytes + 3) / 4 * 4;
    const uint64_t height = uint64_t(rows < 0 ? -rows : rows);
    const unsigned mask = (1u << bits) - 1;
    // Bytes past the end read as 0, the first entry, which is always there.
    for (uint64_t y = 0; y < height; ++y) {
        const uint64_t row = uint64_t(offset) + y * stride;
        if (row >= bytes.size()) break;
        for (uint64_t x = 0; x < uint64_t(width); ++x) {
            const uint64_t at = row + x * bits / 8;
            if (at >= bytes.size()) break;
            const unsigned shift = unsigned(8 - bits - (x * bits) % 8);
            if (((bytes[at] >> shift) & mask) >= uint64_t(entries)) {
                error = "BMP: a pixel's colour lies outside the palette";
                return false;
            }
        }
    }
    return true;
}

std::optional<Raster> Decode(std::span<const uint8_t> bytes, std::string& error) {
    if (!PaletteCoversPixels(bytes, error)) return std::nullopt;
    return DecodeWithStb(bytes, "BMP", Needed, error);
}

}  // namespace

const ImageFormat kBmpFormat = {
    "BMP", Sniff, [](std::span<const uint8_t> bytes, const DecodeSettings&, std::string&) {
        return OnePage(bytes, Decode);
    }};

}  // namespace zeph::imaging::detail
