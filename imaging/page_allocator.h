// An allocator that takes whole pages from the system and gives them back on
// release, for the bytes of files. ZephScan's heap keeps what pictures free
// for the next picture (see KeepFreedImageMemory); a file's bytes, each of a
// size of its own, taken from that heap land at the start of the space the
// last picture left and leave the picture after it a little too short a
// hole, so the heap grows by a whole raster. Kept apart, they cost their
// pages' first touch only.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <memory>
#include <new>

namespace zeph::imaging {

// Blocks of at least this many bytes come from pages of their own.
inline constexpr size_t kLeastPagedBytes = size_t{1} << 20;

template <typename T>
struct PageAllocator {
    using value_type = T;

    PageAllocator() = default;
    template <typename U>
    PageAllocator(const PageAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n > size_t(-1) / sizeof(T)) throw std::bad_alloc();
        void* p =
            mmap(nullptr, Bytes(n), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) noexcept { munmap(p, Bytes(n)); }

    template <typename U>
    bool operator==(const PageAllocator<U>&) const noexcept {
        return true;
    }

  private:
    static size_t Bytes(size_t n) { return n == 0 ? 1 : n * sizeof(T); }
};

}  // namespace zeph::imaging
