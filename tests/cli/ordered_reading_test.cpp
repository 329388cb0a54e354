#include "cli/ordered_reading.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

namespace {

using namespace zeph::cli;

// Paths are "0", "1", ...; a block is "<path>;" and takes a few microseconds
// to a millisecond, so that files finish out of order.
struct Shared {
    std::atomic<size_t> written{0};
    std::atomic<size_t> mostAhead{0};
    std::atomic<int> made{0};
    std::atomic<int> madeElsewhere{0};  // readers ended on another thread
};

class SlowReader final : public FileReader {
  public:
    explicit SlowReader(Shared& shared) : shared_(shared), thread_(std::this_thread::get_id()) {
        shared_.made.fetch_add(1);
    }
    ~SlowReader() override {
        if (std::this_thread::get_id() != thread_) shared_.madeElsewhere.fetch_add(1);
    }
    FileReport Read(const std::string& path) noexcept override {
        const size_t index = std::stoul(path);
        const size_t ahead = index - shared_.written.load();
        size_t most = shared_.mostAhead.load();
        while (ahead > most && !shared_.mostAhead.compare_exchange_weak(most, ahead)) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random_() % 1000));
        FileReport report;
        report.output = path + ";";
        return report;
    }

  private:
    Shared& shared_;
    std::thread::id thread_;
    std::minstd_rand random_{std::hash<std::thread::id>()(std::this_thread::get_id())};
};

std::vector<std::string> Paths(size_t count) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < count; ++i)
        paths.push_back(std::to_string(i));
    return paths;
}

std::string Expected(size_t count) {
    std::string all;
    for (size_t i = 0; i < count; ++i)
        all += std::to_string(i) + ";";
    return all;
}

TEST(ReadInListingOrder, BlocksComeInListingOrderAndFewFilesRunAhead) {
    for (const int workers : {1, 2, 4}) {
        Shared shared;
        SlowReader fallback(shared);
        std::string out;
        ReadInListingOrder(
            Paths(150), workers, [&] { return std::make_unique<SlowReader>(shared); }, fallback,
            [&](const FileReport& block) {
                out += block.output;
                shared.written.fetch_add(1);
            });
        EXPECT_EQ(out, Expected(150)) << workers << " workers";
        EXPECT_EQ(shared.made.load(), workers + 1);
        EXPECT_EQ(shared.madeElsewhere.load(), 0) << "readers end on the thread that made them";
        EXPECT_LT(shared.mostAhead.load(), kFilesAheadPerWorker * workers);
    }
}

TEST(ReadInListingOrder, FilesNoWorkerCanTakeAreReadByTheFallback) {
    for (const int failing : {1, 3}) {
        Shared shared;
        SlowReader fallback(shared);
        std::atomic<int> asked{0};
        std::string out;
        ReadInListingOrder(
            Paths(20), 3,
            [&]() -> std::unique_ptr<FileReader> {
                // The first `failing` workers to ask get no reader.
                if (asked.fetch_add(1) < failing) return nullptr;
                return std::make_unique<SlowReader>(shared);
            },
            fallback, [&](const FileReport& block) { out += block.output; });
        EXPECT_EQ(out, Expected(20)) << failing << " workers without a reader";
        EXPECT_EQ(asked.load(), 3);
    }
    Shared shared;
    SlowReader fallback(shared);
    std::string out;
    ReadInListingOrder(
        {}, 2, [&] { return std::make_unique<SlowReader>(shared); }, fallback,
        [&](const FileReport& block) { out += block.output; });
    EXPECT_EQ(out, "");
}

// The first file takes until kOthers other files are read (or ten seconds,
// and the test fails): one slow picture must not stop the other worker after
// a file or two, as it did when only four files could be on the way.
constexpr size_t kOthers = 16;

class FirstWaits final : public FileReader {
  public:
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        size_t othersRead = 0;
    };
    explicit FirstWaits(Gate& gate) : gate_(gate) {}
    FileReport Read(const std::string& path) noexcept override {
        std::unique_lock lock(gate_.mutex);
        if (path == "0") {
            gate_.changed.wait_for(lock, std::chrono::seconds(10),
                                   [&] { return gate_.othersRead >= kOthers; });
        } else {
            ++gate_.othersRead;
            gate_.changed.notify_all();
        }
        FileReport report;
        report.output = path + ";";
        return report;
    }

  private:
    Gate& gate_;
};

TEST(ReadInListingOrder, OtherWorkersReadOnWhileOneFileTakesLong) {
    FirstWaits::Gate gate;
    size_t readWhileFirstRan = 0;
    std::string out;
    FirstWaits fallback(gate);
    ReadInListingOrder(
        Paths(100), 2, [&] { return std::make_unique<FirstWaits>(gate); }, fallback,
        [&](const FileReport& block) {
            if (block.output == "0;") {
                const std::lock_guard lock(gate.mutex);
                readWhileFirstRan = gate.othersRead;
            }
            out += block.output;
        });
    EXPECT_EQ(out, Expected(100));
    EXPECT_GE(readWhileFirstRan, kOthers);
}

}  // namespace
