// Reading a whole file or stream: the bytes as written, and a stream's buffer
// holding no more pages than its bytes need once the read is done.
#include "imaging/file_bytes.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using zeph::imaging::detail::FileBuffer;

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 131 + (i >> 12));
    return bytes;
}

// How many pages of [from, to) are resident.
size_t ResidentPages(uintptr_t from, uintptr_t to) {
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    if (to <= from) return 0;
    std::vector<unsigned char> resident((to - from) / page);
    if (mincore(reinterpret_cast<void*>(from), to - from, resident.data()) != 0) {
        ADD_FAILURE() << "mincore failed";
        return 0;
    }
    size_t count = 0;
    for (const unsigned char r : resident)
        count += r & 1;
    return count;
}

// The bytes read back from a pipe that `written` is written into.
std::optional<FileBuffer> ThroughAPipe(const std::vector<uint8_t>& written, std::string& error) {
    int ends[2];
    if (pipe(ends) != 0) {
        error = "no pipe";
        return std::nullopt;
    }
    std::thread writer([&] {
        size_t at = 0;
        while (at < written.size()) {
            const ssize_t n = write(ends[1], written.data() + at, written.size() - at);
            if (n <= 0) break;
            at += size_t(n);
        }
        close(ends[1]);
    });
    std::optional<FileBuffer> read = zeph::imaging::detail::ReadStreamBytes(ends[0], error);
    writer.join();
    close(ends[0]);
    return read;
}

TEST(FileBytes, AStreamGivesItsBytesAndKeepsNoPagesPastThem) {
    // More than three buffer doublings past the first probe, ending inside a page.
    const std::vector<uint8_t> written = Pattern((size_t{3} << 20) + 123);
    std::string error;
    const std::optional<FileBuffer> read = ThroughAPipe(written, error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->size(), written.size());
    EXPECT_TRUE(std::equal(read->begin(), read->end(), written.begin()));

    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<uintptr_t>(read->data());
    const uintptr_t used = (begin + read->size() + page - 1) & ~(page - 1);
    const uintptr_t end = (begin + read->capacity()) & ~(page - 1);
    ASSERT_GT(end, used) << "the buffer grew to exactly the stream's size";
    EXPECT_EQ(ResidentPages(used, end), 0u);
    EXPECT_EQ(ResidentPages(begin, used), (used - begin) / page);
}

TEST(FileBytes, SmallStreamsAndBuffersOnEitherSideOfTheHeapsLimitHoldTheirBytes) {
    // A stream whose buffer stays on the heap while it doubles.
    const std::vector<uint8_t> small = Pattern(300001);
    std::string error;
    const std::optional<FileBuffer> read = ThroughAPipe(small, error);
    ASSERT_TRUE(read) << error;
    EXPECT_TRUE(std::equal(read->begin(), read->end(), small.begin(), small.end()));

    // Blocks from a megabyte on are pages of their own; smaller ones are not
    // asked to be.
    constexpr size_t kLeast = FileBuffer::allocator_type::kLeastPagedBytes;
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    for (const size_t size : {size_t{1}, kLeast - 1, kLeast, 3 * kLeast + 5}) {
        const std::vector<uint8_t> pattern = Pattern(size);
        FileBuffer buffer(pattern.begin(), pattern.end());
        buffer.push_back(7);  // grows across the limit for kLeast - 1
        EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), buffer.begin())) << size;
        EXPECT_EQ(buffer.back(), 7) << size;
        if (buffer.capacity() >= kLeast) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.data()) % page, 0u) << size;
        }
    }
}

TEST(FileBytes, AFileIsReadAtItsSize) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("zeph-file-bytes-" + std::to_string(getpid()));
    const std::vector<uint8_t> written = Pattern(100000);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(written.data()), std::streamsize(written.size()));
    }
    std::string error;
    const std::optional<FileBuffer> read = zeph::imaging::detail::ReadFileBytes(path, error);
    std::filesystem::remove(path);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->capacity(), written.size());
    EXPECT_TRUE(std::equal(read->begin(), read->end(), written.begin(), written.end()));
}

}  // namespace
