// A fixed crew of threads that one search spreads independent pieces of work
// over. The calling thread works along; the crew's own threads live as long as
// the crew, so that their thread_local buffers and pattern tables are built
// once and not for every picture.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace zeph {

class WorkCrew {
  public:
    // `threads` in all, the caller's included; fewer when the system refuses
    // to start more (Threads() tells).
    explicit WorkCrew(int threads);
    ~WorkCrew();
    WorkCrew(const WorkCrew&) = delete;
    WorkCrew& operator=(const WorkCrew&) = delete;

    int Threads() const { return static_cast<int>(workers_.size()) + 1; }

    // Calls task(i) once for every i in [0, count), spread over the crew, and
    // returns when every call has returned. Tasks must not throw. A Run from
    // inside a task, or from a second thread while one runs, works serially.
    template <typename Task>
    void Run(size_t count, Task&& task) {
        using T = std::remove_reference_t<Task>;
        RunErased(count, const_cast<void*>(static_cast<const void*>(std::addressof(task))),
                  [](void* t, size_t i) { (*static_cast<T*>(t))(i); });
    }

  private:
    using Call = void (*)(void*, size_t);
    void RunErased(size_t count, void* task, Call call);
    void WorkerLoop();
    void Work();

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::mutex busy_;  // held by the thread whose Run is under way
    uint64_t generation_ = 0;
    int active_ = 0;  // crew threads still working on the current Run
    bool stopping_ = false;
    // The current Run.
    size_t count_ = 0;
    void* task_ = nullptr;
    Call call_ = nullptr;
    std::atomic<size_t> next_{0};
};

}  // namespace zeph
