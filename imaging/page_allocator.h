// An allocator that takes whole pages from the system and gives them back on
// release, for the bytes of files. ZephScan's heap keeps what pictures free
// for the next picture (see KeepFreedImageMemory); a file's bytes, each of a
// size of its own, taken from that heap land at the start of the space the
// last picture left and leave the picture after it a little too short a
// hole, so the heap grows by a whole raster. Kept apart, they cost only the
// making of their pages, done for the whole block at once.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace zeph::imaging {

template <typename T>
struct PageAllocator {
    using value_type = T;

    PageAllocator() = default;
    template <typename U>
    PageAllocator(const PageAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n > size_t(-1) / sizeof(T)) throw std::bad_alloc();
        // The bytes are about to be written whole: the pages are made in one
        // go, quicker than one fault a page on first touch, small files too.
        void* p = mmap(nullptr, Bytes(n), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) noexcept { munmap(p, Bytes(n)); }

    // Elements made without a value: a buffer grown to be read into is not
    // cleared first.
    template <typename U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <typename U>
    bool operator==(const PageAllocator<U>&) const noexcept {
        return true;
    }

  private:
    static size_t Bytes(size_t n) { return n == 0 ? 1 : n * sizeof(T); }
};

}  // namespace zeph::imaging
