// A limit on the decoded pixels the whole process holds at once: with several
// worker threads each decoding a picture, the pictures together stay within
// the cap one picture has.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

namespace zeph::imaging {

class PixelBudget {
  public:
    explicit PixelBudget(uint64_t limit) : limit_(limit) {}
    PixelBudget(const PixelBudget&) = delete;
    PixelBudget& operator=(const PixelBudget&) = delete;

    // Pixels held until the reservation is destroyed.
    class Reservation {
      public:
        Reservation() = default;
        Reservation(Reservation&& other) noexcept
            : budget_(std::exchange(other.budget_, nullptr)), pixels_(other.pixels_) {}
        Reservation& operator=(Reservation&& other) noexcept;
        ~Reservation() { Release(); }
        explicit operator bool() const { return budget_ != nullptr; }
        uint64_t Pixels() const { return budget_ ? pixels_ : 0; }

      private:
        friend class PixelBudget;
        Reservation(PixelBudget& budget, uint64_t pixels) : budget_(&budget), pixels_(pixels) {}
        void Release() noexcept;

        PixelBudget* budget_ = nullptr;
        uint64_t pixels_ = 0;
    };

    // Waits until `pixels` fit beside what is held, then holds them. An empty
    // reservation when they exceed the whole limit, which no wait could meet.
    Reservation Reserve(uint64_t pixels);
    uint64_t Held() const;
    uint64_t Limit() const { return limit_; }

  private:
    const uint64_t limit_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    uint64_t held_ = 0;
};

// The process's budget for decoded pictures: kMaxImagePixels.
PixelBudget& DecodedPixelBudget();

}  // namespace zeph::imaging
