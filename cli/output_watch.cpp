#include "cli/output_watch.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace zeph::cli {

void EndWhenOutputCloses(int status) {
    struct stat output {};
    if (fstat(STDOUT_FILENO, &output) != 0 ||
        !(S_ISFIFO(output.st_mode) || S_ISSOCK(output.st_mode))) {
        return;
    }
    try {
        // poll with no events asked still reports an error or a hang-up: the
        // reading end is gone.
        std::thread([status] {
            pollfd watched{STDOUT_FILENO, 0, 0};
            for (;;) {
                const int n = poll(&watched, 1, -1);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) return;
                if (watched.revents & (POLLERR | POLLHUP | POLLNVAL)) _exit(status);
            }
        }).detach();
    } catch (const std::system_error&) {  // no thread: the next write tells
    }
}

}  // namespace zeph::cli
