#include "cli/console.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace zeph::cli {
namespace {

bool WriteAll(int fd, std::string_view text, int& error) {
    // Only an interrupted or partial write is continued, so the bytes stay in
    // order.
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error = written < 0 ? errno : EIO;
            return false;
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

void PrepareConsole() {
    signal(SIGPIPE, SIG_IGN);
}

bool WriteConsoleText(std::string_view text, std::string* error) {
    int code = 0;
    if (WriteAll(STDOUT_FILENO, text, code)) return true;
    if (error) *error = std::error_code(code, std::generic_category()).message();
    return false;
}

void WriteMessage(std::string_view text) {
    std::string line = "ZephScan: ";
    line.append(text).append("\n");
    int ignored = 0;
    WriteAll(STDERR_FILENO, line, ignored);
}

}  // namespace zeph::cli
