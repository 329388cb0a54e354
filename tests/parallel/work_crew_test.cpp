#include "engine/parallel/work_crew.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using zeph::WorkCrew;

TEST(WorkCrew, EveryIndexRunsOnceOnTheCrewsThreads) {
    WorkCrew crew(3);
    EXPECT_EQ(crew.Threads(), 3);
    for (const size_t count : {size_t{0}, size_t{1}, size_t{2}, size_t{1000}}) {
        std::vector<std::atomic<int>> calls(count);
        std::mutex mutex;
        std::vector<std::thread::id> threads;
        crew.Run(count, [&](size_t i) {
            calls[i].fetch_add(1);
            const std::lock_guard lock(mutex);
            if (std::find(threads.begin(), threads.end(), std::this_thread::get_id()) ==
                threads.end())
                threads.push_back(std::this_thread::get_id());
            // Slow enough that every thread gets work.
            std::this_thread::sleep_for(std::chrono::microseconds(count > 100 ? 50 : 0));
        });
        for (size_t i = 0; i < count; ++i)
            EXPECT_EQ(calls[i].load(), 1) << "index " << i << " of " << count;
        EXPECT_LE(threads.size(), 3u);
        if (count == 1000) {
            EXPECT_GE(threads.size(), 2u);
        }
    }
}

TEST(WorkCrew, NestedAndConcurrentRunsFinish) {
    WorkCrew crew(2);
    std::atomic<int> inner{0};
    crew.Run(4, [&](size_t) { crew.Run(5, [&](size_t) { inner.fetch_add(1); }); });
    EXPECT_EQ(inner.load(), 20);

    // Two threads share one crew: the second works alone while the first runs.
    std::atomic<int> total{0};
    const auto many = [&] {
        for (int round = 0; round < 50; ++round)
            crew.Run(64, [&](size_t) { total.fetch_add(1); });
    };
    std::thread other(many);
    many();
    other.join();
    EXPECT_EQ(total.load(), 2 * 50 * 64);
}

TEST(WorkCrew, ACrewOfOneIsTheCallerAlone) {
    WorkCrew crew(1);
    EXPECT_EQ(crew.Threads(), 1);
    std::vector<size_t> order;
    crew.Run(5, [&](size_t i) { order.push_back(i); });
    EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2, 3, 4}));
}

}  // namespace
