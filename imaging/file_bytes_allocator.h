// The allocator of files' bytes. ZephScan's heap keeps what pictures free for
// the next picture (see KeepFreedImageMemory). A file of a megabyte or more
// taken from that heap would land at the start of the space the last picture
// left and leave the picture after it a little too short a hole, so the heap
// would grow by a whole raster: such files get whole pages of their own,
// made for the whole block at once. Smaller files come from the heap, whose
// warm memory they reuse: a mapping of their own would cost its page faults
// and, once freed, a flush of every worker's address translations.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace zeph::imaging {

template <typename T>
struct FileBytesAllocator {
    using value_type = T;

    // Blocks of at least this many bytes get pages of their own.
    static constexpr size_t kLeastPagedBytes = size_t{1} << 20;

    FileBytesAllocator() = default;
    template <typename U>
    FileBytesAllocator(const FileBytesAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n > size_t(-1) / sizeof(T)) throw std::bad_alloc();
        if (!Paged(n)) return static_cast<T*>(::operator new(Bytes(n)));
        // The bytes are about to be written whole: the pages are made in one
        // go, quicker than one fault a page on first touch.
        void* p = mmap(nullptr, Bytes(n), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) noexcept {
        if (Paged(n))
            munmap(p, Bytes(n));
        else
            ::operator delete(p);
    }

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
    bool operator==(const FileBytesAllocator<U>&) const noexcept {
        return true;
    }

  private:
    static size_t Bytes(size_t n) { return n == 0 ? 1 : n * sizeof(T); }
    static bool Paged(size_t n) { return Bytes(n) >= kLeastPagedBytes; }
};

}  // namespace zeph::imaging
