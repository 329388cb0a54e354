// A file's or a stream's bytes, read whole for decoding.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/file_bytes_allocator.h"

namespace zeph::imaging::detail {

// Larger inputs are refused unread: no supported picture within the pixel
// limit needs more, short of uncompressed 16-bit pictures near that limit.
inline constexpr uint64_t kMaxFileBytes = uint64_t{512} << 20;

// A file's bytes (see file_bytes_allocator.h).
using FileBuffer = std::vector<uint8_t, FileBytesAllocator<uint8_t>>;

// Opened without blocking, so that a FIFO or a device put in a file's place
// cannot hold the open up, and read only when it is a regular file. nullopt
// with the reason ("No such file or directory", "is a directory", ...).
std::optional<FileBuffer> ReadFileBytes(const std::string& path, std::string& error);
// Everything up to the end of the stream.
std::optional<FileBuffer> ReadStreamBytes(int fd, std::string& error);

}  // namespace zeph::imaging::detail
