#include "engine/parallel/work_crew.h"

#include <system_error>

namespace zeph {
namespace {

// Set while this thread runs a crew's task: a nested Run then works serially
// instead of waiting for threads that wait for it.
thread_local bool inTask = false;

}  // namespace

WorkCrew::WorkCrew(int threads) {
    for (int i = 1; i < threads; ++i) {
        try {
            workers_.emplace_back([this] { WorkerLoop(); });
        } catch (const std::exception&) {  // no more threads: work with those there are
            break;
        }
    }
}

WorkCrew::~WorkCrew() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

void WorkCrew::Work() {
    inTask = true;
    for (size_t i = next_.fetch_add(1, std::memory_order_relaxed); i < count_;
         i = next_.fetch_add(1, std::memory_order_relaxed)) {
        call_(task_, i);
    }
    inTask = false;
}

void WorkCrew::WorkerLoop() {
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
        }
        Work();
        {
            const std::lock_guard lock(mutex_);
            if (--active_ == 0) done_.notify_one();
        }
    }
}

void WorkCrew::RunErased(size_t count, void* task, Call call) {
    std::unique_lock busy(busy_, std::defer_lock);
    if (workers_.empty() || count < 2 || inTask || !busy.try_lock()) {
        for (size_t i = 0; i < count; ++i)
            call(task, i);
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        count_ = count;
        task_ = task;
        call_ = call;
        next_.store(0, std::memory_order_relaxed);
        active_ = static_cast<int>(workers_.size());
        ++generation_;
    }
    wake_.notify_all();
    Work();
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return active_ == 0; });
}

}  // namespace zeph
