#include "imaging/pixel_budget.h"

#include <utility>

#include "imaging/image_loading.h"

namespace zeph::imaging {

PixelBudget::Reservation& PixelBudget::Reservation::operator=(Reservation&& other) noexcept {
    if (this != &other) {
        Release();
        budget_ = std::exchange(other.budget_, nullptr);
        pixels_ = other.pixels_;
    }
    return *this;
}

void PixelBudget::Reservation::Release() noexcept {
    if (!budget_) return;
    {
        const std::lock_guard lock(budget_->mutex_);
        budget_->held_ -= pixels_;
    }
    budget_->released_.notify_all();
    budget_ = nullptr;
}

PixelBudget::Reservation PixelBudget::Reserve(uint64_t pixels) {
    if (pixels > limit_) return {};
    std::unique_lock lock(mutex_);
    released_.wait(lock, [&] { return held_ + pixels <= limit_; });
    held_ += pixels;
    return Reservation(*this, pixels);
}

uint64_t PixelBudget::Held() const {
    const std::lock_guard lock(mutex_);
    return held_;
}

PixelBudget& DecodedPixelBudget() {
    static PixelBudget budget(kMaxImagePixels);
    return budget;
}

}  // namespace zeph::imaging
