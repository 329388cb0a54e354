#include "cli/console.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace zeph::cli {

void PrepareConsole() {
    signal(SIGPIPE, SIG_IGN);
}

void WriteConsoleText(std::string_view text) {
    // One write per text; only an interrupted or partial write is continued,
    // so the bytes stay in order.
    while (!text.empty()) {
        const ssize_t written = write(STDOUT_FILENO, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text.remove_prefix(static_cast<size_t>(written));
    }
}

}  // namespace zeph::cli
