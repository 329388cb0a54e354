// A working buffer that keeps its storage between calls and is reallocated only
// when the size it must hold changes; allocation failure is a return value.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <span>

#include "engine/core/huge_pages.h"

namespace zeph {

template <typename T>
class ReusableBuffer {
  public:
    // True when the buffer holds exactly n elements (their values are left as
    // they were when the size did not change).
    bool Ensure(size_t n) {
        if (data_ && n == size_) return true;
        data_.reset(new (std::nothrow) T[n == 0 ? 1 : n]);
        size_ = data_ ? n : 0;
        AdviseHugePages(data_.get(), size_ * sizeof(T));
        return data_ != nullptr;
    }

    // True when the buffer holds at least n elements; it grows but never
    // shrinks, for callers whose sizes vary from call to call.
    bool EnsureAtLeast(size_t n) {
        if (data_ && n <= size_) return true;
        return Ensure(n);
    }

    void Release() {
        data_.reset();
        size_ = 0;
    }

    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    size_t size() const { return size_; }
    std::span<T> span() { return {data_.get(), size_}; }
    T& operator[](size_t i) { return data_[i]; }

  private:
    std::unique_ptr<T[]> data_;
    size_t size_ = 0;
};

// n * m, or 0 when the product overflows or exceeds `limit`; callers treat 0 as
// a size they cannot allocate.
inline size_t CheckedProduct(size_t n, size_t m, size_t limit) {
    if (n != 0 && m > limit / n) return 0;
    return n * m;
}

}  // namespace zeph
