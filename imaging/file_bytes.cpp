#include "imaging/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace zeph::imaging::detail {
namespace {

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

std::string SystemError() {
    return std::error_code(errno, std::generic_category()).message();
}

constexpr const char* kTooLong = "larger than 512 MiB";

// Reads into `bytes` from `filled` on: the buffer grows only when more is
// there, so a file read at its known size costs one buffer.
bool ReadToEnd(int fd, FileBuffer& bytes, std::string& error) {
    size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            uint8_t probe[4096];
            const ssize_t n = ReadSome(fd, probe, sizeof probe);
            if (n < 0) {
                error = SystemError();
                return false;
            }
            if (n == 0) break;
            if (bytes.size() + size_t(n) > kMaxFileBytes) {
                error = kTooLong;
                return false;
            }
            bytes.resize(std::max(bytes.size() * 2, bytes.size() + sizeof probe));
            std::memcpy(bytes.data() + filled, probe, size_t(n));
            filled += size_t(n);
            continue;
        }
        const ssize_t n = ReadSome(fd, bytes.data() + filled, bytes.size() - filled);
        if (n < 0) {
            error = SystemError();
            return false;
        }
        if (n == 0) break;
        filled += size_t(n);
    }
    bytes.resize(filled);
    // A stream's buffer grew by doubling, and a buffer of pages of its own
    // had them all made: those past the end go back now rather than with the
    // buffer.
    const auto begin = reinterpret_cast<uintptr_t>(bytes.data());
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t used = (begin + filled + page - 1) & ~(page - 1);
    const uintptr_t end = (begin + bytes.capacity()) & ~(page - 1);
    if (bytes.capacity() >= FileBuffer::allocator_type::kLeastPagedBytes && end > used) {
        madvise(reinterpret_cast<void*>(used), end - used, MADV_DONTNEED);
    }
    return true;
}

}  // namespace

std::optional<FileBuffer> ReadFileBytes(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = SystemError();
        return std::nullopt;
    }
    const FileCloser closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        error = SystemError();
        return std::nullopt;
    }
    if (S_ISDIR(status.st_mode)) {
        error = "is a directory";
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        error = "not a regular file";
        return std::nullopt;
    }
    if (uint64_t(status.st_size) > kMaxFileBytes) {
        error = kTooLong;
        return std::nullopt;
    }
    FileBuffer bytes(size_t(status.st_size));
    if (!ReadToEnd(fd, bytes, error)) return std::nullopt;
    return bytes;
}

std::optional<FileBuffer> ReadStreamBytes(int fd, std::string& error) {
    FileBuffer bytes;
    struct stat status {};
    // A regular file behind the descriptor gives its size up front.
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        if (uint64_t(status.st_size) > kMaxFileBytes) {
            error = kTooLong;
            return std::nullopt;
        }
        bytes.resize(size_t(status.st_size));
    }
    if (!ReadToEnd(fd, bytes, error)) return std::nullopt;
    return bytes;
}

}  // namespace zeph::imaging::detail
