// The process-wide budget of decoded pixels: reservations wait for room
// rather than fail, and a decoded picture holds its place until its pixels go.
#include "imaging/pixel_budget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "imaging/image_loading.h"

namespace {

using zeph::imaging::DecodedPixelBudget;
using zeph::imaging::PixelBudget;

TEST(PixelBudget, ReservationsWaitUntilTheyFit) {
    PixelBudget budget(100);
    PixelBudget::Reservation first = budget.Reserve(60);
    ASSERT_TRUE(first);
    EXPECT_EQ(budget.Held(), 60u);
    EXPECT_FALSE(budget.Reserve(101)) << "beyond the whole limit: no wait could meet it";

    std::atomic<bool> granted = false;
    std::thread waiter([&] {
        PixelBudget::Reservation second = budget.Reserve(50);
        granted = true;
        EXPECT_EQ(second.Pixels(), 50u);
    });
    // The second would take the total to 110: it must still be waiting.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(granted);
    PixelBudget::Reservation moved = std::move(first);  // a move releases nothing
    EXPECT_EQ(budget.Held(), 60u);
    EXPECT_FALSE(granted);
    moved = PixelBudget::Reservation();
    waiter.join();
    EXPECT_TRUE(granted);
    EXPECT_EQ(budget.Held(), 0u);
}

// Many threads each taking more than half the limit: never two at once.
TEST(PixelBudget, HeldPixelsNeverExceedTheLimit) {
    PixelBudget budget(1000);
    std::atomic<uint64_t> most = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                const PixelBudget::Reservation r = budget.Reserve(t % 2 ? 600 : 300);
                uint64_t held = budget.Held(), seen = most;
                while (held > seen && !most.compare_exchange_weak(seen, held)) {
                }
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_LE(most.load(), 1000u);
    EXPECT_GE(most.load(), 600u);
    EXPECT_EQ(budget.Held(), 0u);
}

TEST(PixelBudget, DecodedPicturesHoldTheirPixelsUntilDestroyed) {
    PixelBudget& budget = DecodedPixelBudget();
    EXPECT_EQ(budget.Limit(), zeph::imaging::kMaxImagePixels);
    const uint64_t before = budget.Held();
    const std::string pnm = "P5 30 20 255\n" + std::string(600, '\x80');
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(pnm.data()), pnm.size());
    {
        zeph::imaging::DecodeResult decoded = zeph::imaging::DecodeImageBytes(bytes);
        ASSERT_TRUE(decoded.image);
        EXPECT_EQ(budget.Held(), before + 600);
        const zeph::imaging::DecodedImage moved = std::move(*decoded.image);
        decoded.image.reset();
        EXPECT_EQ(budget.Held(), before + 600) << "the pixels moved, their place with them";
    }
    EXPECT_EQ(budget.Held(), before);
    // A refused file holds nothing.
    EXPECT_FALSE(zeph::imaging::DecodeImageBytes(bytes.first(20)).image);
    EXPECT_EQ(budget.Held(), before);
}

}  // namespace
