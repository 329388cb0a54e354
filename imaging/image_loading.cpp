// Image loading: reading the file, choosing the decoder by the first bytes, and
// handing the decoded rows to a bitmap and a standard picture.
#include "imaging/image_loading.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "imaging/image_formats.h"

namespace zeph::imaging {
namespace {

using detail::Raster;

// Larger files are refused unread: no supported picture within the pixel
// limit needs more, short of uncompressed 16-bit pictures near that limit.
constexpr uint64_t kMaxFileBytes = uint64_t{512} << 20;

constexpr const char* kOutOfMemory = "out of memory";
constexpr const char* kEmptyFile = "empty file";
constexpr const char* kUnknownFormat = "unknown image format";

bool StartsWith(std::span<const uint8_t> bytes, std::string_view magic) {
    return bytes.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), bytes.begin(),
                      [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; });
}

// TGA files carry no signature; the header must at least be self-consistent
// before the stb reader is asked.
bool PlausibleTga(std::span<const uint8_t> bytes) {
    if (bytes.size() < 18) return false;
    const uint8_t mapType = bytes[1], imageType = bytes[2], depth = bytes[16];
    const bool mapped = imageType == 1 || imageType == 9;
    const bool known =
        mapped || imageType == 2 || imageType == 3 || imageType == 10 || imageType == 11;
    const unsigned width = bytes[12] | bytes[13] << 8, height = bytes[14] | bytes[15] << 8;
    return known && (mapType == 0 || (mapType == 1 && mapped)) && width && height &&
           (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32);
}

std::optional<Raster> Decode(std::span<const uint8_t> bytes, std::string& error) {
    using namespace std::string_view_literals;
    if (bytes.empty()) {
        error = kEmptyFile;
        return std::nullopt;
    }
    if (StartsWith(bytes, "\xFF\xD8\xFF"sv)) return detail::DecodeJpeg(bytes, error);
    if (StartsWith(bytes, "\x89PNG\r\n\x1A\n"sv)) return detail::DecodePng(bytes, error);
    if (StartsWith(bytes, "GIF87a"sv) || StartsWith(bytes, "GIF89a"sv)) {
        return detail::DecodeGif(bytes, error);
    }
    // Classic TIFF, and BigTIFF which the same library reads.
    if (StartsWith(bytes, "II*\0"sv) || StartsWith(bytes, "MM\0*"sv) ||
        StartsWith(bytes, "II+\0"sv) || StartsWith(bytes, "MM\0+"sv)) {
        return detail::DecodeTiff(bytes, error);
    }
    if (StartsWith(bytes, "RIFF"sv) && bytes.size() >= 12 &&
        StartsWith(bytes.subspan(8), "WEBP"sv)) {
        return detail::DecodeWebp(bytes, error);
    }
    if (StartsWith(bytes, "BM"sv)) return detail::DecodeWithStb(bytes, "BMP", error);
    if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6') {
        return detail::DecodeNetpbm(bytes, error);
    }
    if (PlausibleTga(bytes)) return detail::DecodeWithStb(bytes, "TGA", error);
    error = kUnknownFormat;
    return std::nullopt;
}

struct FileCloser {
    int fd;
    ~FileCloser() { ::close(fd); }
};

ssize_t ReadSome(int fd, uint8_t* buffer, size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, std::string& error) {
    const auto failed = [&](const std::string& why) {
        error = "cannot read '" + path + "': " + why;
        return std::nullopt;
    };
    const auto systemError = [] {
        return std::error_code(errno, std::generic_category()).message();
    };
    // Non-blocking, so that a FIFO (or a device) put in a file's place since
    // the listing cannot hold the open up; only a regular file is then read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return failed(systemError());
    const FileCloser closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0) return failed(systemError());
    if (S_ISDIR(status.st_mode)) return failed("is a directory");
    if (!S_ISREG(status.st_mode)) return failed("not a regular file");
    if (uint64_t(status.st_size) > kMaxFileBytes) return failed("larger than 512 MiB");
    std::vector<uint8_t> bytes(size_t(status.st_size));
    size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            // The size the file had when opened is read; a file still growing
            // gets a larger buffer only when more is there.
            uint8_t probe[4096];
            const ssize_t n = ReadSome(fd, probe, sizeof probe);
            if (n < 0) return failed(systemError());
            if (n == 0) break;
            if (bytes.size() + size_t(n) > kMaxFileBytes) return failed("larger than 512 MiB");
            bytes.resize(std::max(bytes.size() * 2, bytes.size() + sizeof probe));
            std::memcpy(bytes.data() + filled, probe, size_t(n));
            filled += size_t(n);
            continue;
        }
        const ssize_t n = ReadSome(fd, bytes.data() + filled, bytes.size() - filled);
        if (n < 0) return failed(systemError());
        if (n == 0) break;
        filled += size_t(n);
    }
    bytes.resize(filled);
    return bytes;
}

HBITMAP ToBitmap(Raster& raster, std::string& error) {
    const size_t rowBytes = 3 * static_cast<size_t>(raster.width);
    for (int32_t y = 0; y < raster.height; ++y)
        std::memset(raster.RowFromTop(y) + rowBytes, 0, raster.stride - rowBytes);
    const size_t size = raster.Size();
    // The bitmap keeps the pixels' place in the budget for as long as it has them.
    auto reserved = std::make_shared<PixelBudget::Reservation>(std::move(raster.reserved));
    HBITMAP bitmap = AdoptBitmap24(raster.width, raster.height, std::move(raster.pixels), size,
                                   std::move(reserved));
    if (!bitmap) error = kOutOfMemory;
    return bitmap;
}

ImageFailure Classify(const std::string& error) {
    const auto starts = [&](std::string_view text) { return error.rfind(text, 0) == 0; };
    if (starts(kOutOfMemory)) return ImageFailure::OutOfMemory;
    if (starts(kEmptyFile) || starts(kUnknownFormat)) return ImageFailure::UnknownFormat;
    if (starts(detail::kTooLarge)) return ImageFailure::TooLarge;
    return ImageFailure::Damaged;
}

DecodeResult Failed(ImageFailure failure, std::string&& error) noexcept {
    DecodeResult result;
    result.failure = failure;
    try {
        result.error = std::move(error);
    } catch (const std::exception&) {  // out of memory: the kind says enough
    }
    return result;
}

void Report(std::string* error, std::string&& reason) noexcept {
    if (!error) return;
    try {
        *error = std::move(reason);
    } catch (const std::exception&) {  // out of memory: the bitmap is nullptr anyway
    }
}

}  // namespace

DecodeResult DecodeImageBytes(std::span<const uint8_t> bytes) noexcept {
    std::string reason;
    try {
        DecodeResult result;
        result.image = Decode(bytes, reason);
        if (result.image) return result;
    } catch (const std::exception&) {  // bad_alloc from a string or buffer
        reason = kOutOfMemory;
    }
    const ImageFailure failure = Classify(reason);
    return Failed(failure, std::move(reason));
}

DecodeResult DecodeImageFile(const std::string& path) noexcept {
    std::string reason;
    try {
        if (auto bytes = ReadWholeFile(path, reason)) return DecodeImageBytes(*bytes);
    } catch (const std::exception&) {
        return Failed(ImageFailure::OutOfMemory, kOutOfMemory);
    }
    return Failed(ImageFailure::Unreadable, std::move(reason));
}

HBITMAP LoadImageBytes(std::span<const uint8_t> bytes, std::string* error) {
    DecodeResult decoded = DecodeImageBytes(bytes);
    HBITMAP bitmap = nullptr;
    if (decoded.image) {
        try {
            bitmap = ToBitmap(*decoded.image, decoded.error);
        } catch (const std::exception&) {
            decoded.error = kOutOfMemory;
        }
    }
    Report(error, std::move(decoded.error));
    return bitmap;
}

HBITMAP LoadImageFile(const std::string& path, std::string* error) {
    std::string reason;
    try {
        if (auto bytes = ReadWholeFile(path, reason)) return LoadImageBytes(*bytes, error);
    } catch (const std::exception&) {
        reason = kOutOfMemory;
    }
    Report(error, std::move(reason));
    return nullptr;
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
