// Work run on a thread of its own, joined before returning: whatever the
// work's thread keeps for its next task (the engine's per-thread buffers, a
// kept raster) goes when the thread ends, not with the caller's thread.
#pragma once

#include <exception>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace zeph::api {

// The work's result, or its exception rethrown. When no thread can be
// started, the work runs on the calling thread.
template <typename Work>
auto OnThreadOfItsOwn(Work&& work) -> decltype(work()) {
    std::optional<decltype(work())> result;
    std::exception_ptr error;
    try {
        std::thread([&] {
            try {
                result.emplace(work());
            } catch (...) {
                error = std::current_exception();
            }
        }).join();
    } catch (const std::system_error&) {
        return work();
    }
    if (error) std::rethrow_exception(error);
    return std::move(*result);
}

}  // namespace zeph::api
