// PNM: P1 and P4 bitmaps (1 is black), P2 and P5 grey, P3 and P6 colour; plain
// (text) kinds hold decimal numbers, binary kinds bytes, or big-endian 16-bit
// samples when the maximum value exceeds 255. Samples scale from the maximum.
#include "imaging/format_table.h"
#include "imaging/raster.h"

namespace zeph::imaging::detail {
namespace {

class Scanner {
  public:
    explicit Scanner(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    // Skips white space and comments ('#' to the end of the line).
    void SkipSpace() {
        while (position_ < bytes_.size()) {
            const uint8_t c = bytes_[position_];
            if (c == '#') {
                while (position_ < bytes_.size() && bytes_[position_] != '\n' &&
                       bytes_[position_] != '\r') {
                    ++position_;
                }
            } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
                ++position_;
            } else {
                return;
            }
        }
    }

    // A decimal number no larger than `limit`, after white space.
    bool Number(uint32_t limit, uint32_t& value) {
        SkipSpace();
        uint64_t number = 0;
        const size_t start = position_;
        while (position_ < bytes_.size() && bytes_[position_] >= '0' && bytes_[position_] <= '9') {
            number = number * 10 + (bytes_[position_++] - '0');
            if (number > limit) return false;
        }
        value = static_cast<uint32_t>(number);
        return position_ > start;
    }

    // One bitmap digit of a P1 file; digits need not be separated.
    bool Bit(uint8_t& bit) {
        SkipSpace();
        if (position_ >= bytes_.size()) return false;
        const uint8_t c = bytes_[position_++];
        bit = static_cast<uint8_t>(c - '0');
        return c == '0' || c == '1';
    }

    // Past the single white-space character that ends a binary header.
    std::span<const uint8_t> RestAfterOneSpace() const {
        return position_ < bytes_.size() ? bytes_.subspan(position_ + 1) : bytes_.subspan(0, 0);
    }

  private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 2;  // after the magic number
};

uint8_t Scale(uint32_t value, uint32_t maximum) {
    return static_cast<uint8_t>((uint64_t(value) * 255 + maximum / 2) / maximum);
}

// One grey or red-green-blue sample set as a blue-green-red pixel.
void StorePixel(uint8_t* target, const uint32_t (&value)[3], uint64_t samples, uint32_t maximum) {
    if (samples == 1) {
        target[0] = target[1] = target[2] = Scale(value[0], maximum);
    } else {
        target[0] = Scale(value[2], maximum);
        target[1] = Scale(value[1], maximum);
        target[2] = Scale(value[0], maximum);
    }
}

bool Sniff(std::span<const uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6';
}

std::optional<Raster> Decode(std::span<const uint8_t> bytes, std::string& error) {
    if (bytes.size() < 3 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6') {
        error = "PNM: not a PNM file";
        return std::nullopt;
    }
    const char kind = static_cast<char>(bytes[1]);
    const bool bitmap = kind == '1' || kind == '4';
    Scanner scanner(bytes);
    uint32_t width = 0, height = 0, maximum = 1;
    constexpr uint32_t kLargest = 1u << 30;
    if (!scanner.Number(kLargest, width) || !scanner.Number(kLargest, height) ||
        (!bitmap && (!scanner.Number(65535, maximum) || maximum == 0))) {
        error = "PNM: damaged header";
        return std::nullopt;
    }
    const auto damaged = [&] {
        error = "PNM: damaged or truncated pixels";
        return std::nullopt;
    };
    if (!CheckImageSize(width, height, error)) return std::nullopt;
    // Every pixel takes at least a byte (a bit in P4): a short file is refused
    // before its pixels are allocated.
    const uint64_t samples = kind == '3' || kind == '6' ? 3 : 1;
    const uint64_t sampleBytes = maximum > 255 ? 2 : 1;
    const uint64_t least = kind == '4' ? (uint64_t(width) + 7) / 8 * height
                                       : uint64_t(width) * height * samples * sampleBytes;
    if (bytes.size() < least) return damaged();
    auto raster = NewRaster(width, height, error);
    if (!raster) return std::nullopt;

    if (kind == '4') {
        const std::span<const uint8_t> packed = scanner.RestAfterOneSpace();
        const size_t rowBytes = (size_t(width) + 7) / 8;
        if (packed.size() / rowBytes < height) return damaged();
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* source = packed.data() + size_t(y) * rowBytes;
            uint8_t* target = raster->RowFromTop(static_cast<int32_t>(y));
            for (uint32_t x = 0; x < width; ++x, target += 3) {
                const bool black = (source[x / 8] >> (7 - x % 8)) & 1;
                target[0] = target[1] = target[2] = black ? 0 : 255;
            }
        }
        return raster;
    }
    if (kind == '5' || kind == '6') {
        const std::span<const uint8_t> data = scanner.RestAfterOneSpace();
        if (data.size() < least) return damaged();
        const uint8_t* source = data.data();
        const auto next = [&] {
            uint32_t value = *source++;
            if (sampleBytes == 2) value = value << 8 | *source++;
            return value;
        };
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* target = raster->RowFromTop(static_cast<int32_t>(y));
            for (uint32_t x = 0; x < width; ++x, target += 3) {
                uint32_t value[3] = {};
                for (uint64_t s = 0; s < samples; ++s) {
                    value[s] = next();
                    if (value[s] > maximum) return damaged();
                }
                StorePixel(target, value, samples, maximum);
            }
        }
        return raster;
    }
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* target = raster->RowFromTop(static_cast<int32_t>(y));
        for (uint32_t x = 0; x < width; ++x, target += 3) {
            if (kind == '1') {
                uint8_t bit = 0;
                if (!scanner.Bit(bit)) return damaged();
                target[0] = target[1] = target[2] = bit ? 0 : 255;
                continue;
            }
            uint32_t value[3] = {};
            for (uint64_t s = 0; s < samples; ++s) {
                if (!scanner.Number(maximum, value[s])) return damaged();
            }
            StorePixel(target, value, samples, maximum);
        }
    }
    return raster;
}

}  // namespace

const ImageFormat kPnmFormat = {
    "PNM", Sniff, [](std::span<const uint8_t> bytes, const DecodeSettings&, std::string&) {
        return OnePage(bytes, Decode);
    }};

}  // namespace zeph::imaging::detail
