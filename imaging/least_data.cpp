#include "imaging/least_data.h"

#include <algorithm>
#include <limits>

namespace zeph::imaging::detail {
namespace {

constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();

uint32_t Be32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
           uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

// Saturating, for claims near the top of the range.
uint64_t Times(uint64_t a, uint64_t b) {
    return a != 0 && b > kUnlimited / a ? kUnlimited : a * b;
}

}  // namespace

bool PngDataCanFill(std::span<const uint8_t> file, uint64_t width, uint64_t height) {
    // Signature, then IHDR: length, type, width, height, depth, colour type.
    if (file.size() < 33) return true;  // the library reports the damage
    const uint64_t depth = file[24];
    const uint8_t colourType = file[25];
    const uint64_t channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    uint64_t compressed = 0;
    for (size_t at = 8; at + 8 <= file.size();) {
        const uint64_t length = Be32(file, at);
        const bool idat = file[at + 4] == 'I' && file[at + 5] == 'D' && file[at + 6] == 'A' &&
                          file[at + 7] == 'T';
        const uint64_t present = std::min<uint64_t>(length, file.size() - at - 8);
        if (idat) compressed += present;
        if (present < length) break;
        at += 12 + length;
    }
    // Deflate gives at most 258 bytes for a 2-bit length and distance pair;
    // the zlib header, the end code and the check cost a few bytes more.
    const uint64_t most = Times(compressed, 1032) + 1024;
    // Interlaced or not, the rows hold at least the samples themselves.
    const uint64_t least = Times(Times(width, height), depth * channels) / 8;
    return least <= most;
}

bool JpegDataCanFill(std::span<const uint8_t> file, uint64_t width, uint64_t height) {
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
            const uint64_t blocks = Times((width + 7) / 8, (height + 7) / 8);
            const uint64_t data = file.size() - std::min(file.size(), at + 2 + length);
            return blocks / 8 <= data;
        }
        at += 2 + length;
    }
    return true;
}

uint64_t GifMostPixels(uint64_t bytes) {
    return Times(bytes * 8 / 3 + 1, 4096);
}

uint64_t TiffMostDecodedBytes(uint16_t compression, uint64_t stored, uint64_t rowBytes,
                              uint64_t rows) {
    switch (compression) {
        case 1:  // none
            return stored;
        case 32773:  // PackBits: two bytes repeat one up to 128 times
            return Times(stored, 64) + 128;
        case 5:  // LZW: codes of 9 bits or more, strings of at most 4096 bytes
            return Times(stored * 8 / 9 + 1, 4096);
        case 8:
        case 32946:  // deflate
            return Times(stored, 1032) + 1024;
        case 2:
        case 3:
        case 4:  // fax codings spend at least a bit on a row
            return Times(std::min(Times(stored, 8), rows), rowBytes);
        default:
            return kUnlimited;
    }
}

bool ScreenWorthKeeping(uint64_t screenPixels, uint64_t framePixels) {
    // Up to a megapixel of screen costs next to nothing whatever the frame.
    return screenPixels <= Times(framePixels, 4) || screenPixels <= (uint64_t{1} << 20);
}

}  // namespace zeph::imaging::detail
