// Large buffers that are about to be written for the first time: asking the
// kernel for huge pages over them turns some twenty thousand page faults of a
// 12-megapixel picture into a few dozen. Header-only, so that any part of the
// system can use it.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace zeph {

inline constexpr size_t kHugePage = size_t{2} << 20;

// Advises huge pages for the whole 2 MiB pages inside [p, p + bytes); smaller
// buffers are left alone. Only advice: nothing changes when the kernel
// declines.
inline void AdviseHugePages(void* p, size_t bytes) noexcept {
    if (bytes < 2 * kHugePage) return;
    const auto begin = reinterpret_cast<uintptr_t>(p);
    const uintptr_t first = (begin + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
    const uintptr_t last = (begin + bytes) & ~(uintptr_t{kHugePage} - 1);
    if (last > first) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}

}  // namespace zeph
