#include "cli/ordered_reading.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace zeph::cli {
namespace {

class Listing {
  public:
    Listing(const std::vector<std::string>& paths, int workers)
        : paths_(paths),
          window_(kFilesAheadPerWorker * static_cast<size_t>(workers)),
          done_(window_),
          starting_(workers) {}

    // A worker's whole life on its thread.
    void Work(const ReaderFactory& make) {
        std::unique_ptr<FileReader> reader;
        try {
            reader = make();
        } catch (...) {  // no reader: this worker takes no files
        }
        {
            const std::lock_guard lock(mutex_);
            --starting_;
            if (reader) ++working_;
        }
        changed_.notify_all();
        if (!reader) return;
        for (;;) {
            size_t i = 0;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock,
                              [&] { return next_ >= paths_.size() || next_ < written_ + window_; });
                if (next_ >= paths_.size()) break;
                i = next_++;
            }
            FileReport block = reader->Read(paths_[i]);
            {
                const std::lock_guard lock(mutex_);
                done_[i % window_] = std::move(block);
            }
            changed_.notify_all();
        }
        reader.reset();  // on this thread, where it was made
        {
            const std::lock_guard lock(mutex_);
            --working_;
        }
        changed_.notify_all();
    }

    // The writer's side, on the calling thread.
    void WriteAll(FileReader& fallback, const std::function<void(const FileReport&)>& write) {
        for (size_t i = 0; i < paths_.size(); ++i) {
            std::optional<FileReport> block;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] {
                    return done_[i % window_].has_value() || (starting_ == 0 && working_ == 0);
                });
                if (done_[i % window_]) {
                    block = std::move(done_[i % window_]);
                    done_[i % window_].reset();
                } else {
                    // No worker is left to start this file: read it here.
                    next_ = std::max(next_, i + 1);
                }
            }
            if (!block) block = fallback.Read(paths_[i]);
            write(*block);
            {
                const std::lock_guard lock(mutex_);
                ++written_;
            }
            changed_.notify_all();
        }
    }

    // A worker that never ran.
    void NotStarted() {
        {
            const std::lock_guard lock(mutex_);
            --starting_;
        }
        changed_.notify_all();
    }

  private:
    const std::vector<std::string>& paths_;
    const size_t window_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t next_ = 0;                              // the next file to start
    size_t written_ = 0;                           // blocks written
    std::vector<std::optional<FileReport>> done_;  // finished blocks by index % window_
    int starting_;                                 // workers still making their readers
    int working_ = 0;  // workers with a reader, until the listing runs out
};

}  // namespace

void ReadInListingOrder(const std::vector<std::string>& paths, int workers,
                        const ReaderFactory& make, FileReader& fallback,
                        const std::function<void(const FileReport&)>& write) {
    workers = std::max(workers, 1);
    Listing listing(paths, workers);
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        try {
            threads.emplace_back([&] { listing.Work(make); });
        } catch (...) {  // no thread: the files go to the others, or to the fallback
            listing.NotStarted();
        }
    }
    listing.WriteAll(fallback, write);
    for (std::thread& t : threads)
        t.join();
}

int DefaultThreads() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace zeph::cli
