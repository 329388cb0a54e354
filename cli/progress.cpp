#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>

#include "cli/console.h"

namespace zeph::cli {
namespace {

void WriteError(const std::string& text) {
    size_t at = 0;
    while (at < text.size()) {
        const ssize_t n = write(STDERR_FILENO, text.data() + at, text.size() - at);
        if (n <= 0) return;
        at += size_t(n);
    }
}

}  // namespace

Progress::Progress(bool shown, size_t total)
    : shown_(shown),
      terminal_(shown && isatty(STDERR_FILENO)),
      total_(total),
      start_(std::chrono::steady_clock::now()),
      lastShown_(start_) {}

std::string Progress::Line(size_t done, size_t total, double seconds) {
    char text[96];
    std::snprintf(text, sizeof text, "%zu of %zu files, %.1f files/s", done, total,
                  seconds > 0 ? double(done) / seconds : 0.0);
    return text;
}

void Progress::Show(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && !terminal_ && now - lastShown_ < std::chrono::seconds(1)) return;
    lastShown_ = now;
    const std::string line =
        "ZephScan: " + Line(done_, total_, std::chrono::duration<double>(now - start_).count());
    // On a terminal: back to the line's start, the line, the rest cleared.
    WriteError(terminal_ ? "\r" + line + "\x1b[K" : line + "\n");
    onScreen_ = terminal_;
}

void Progress::FileDone() {
    ++done_;
    if (shown_) Show(false);
}

void Progress::Message(std::string_view text) {
    if (onScreen_) {
        WriteError("\r\x1b[K");
        onScreen_ = false;
    }
    WriteMessage(text);
    if (shown_ && terminal_) Show(true);
}

void Progress::Finish() {
    if (!shown_) return;
    Show(true);
    if (terminal_) WriteError("\n");
}

}  // namespace zeph::cli
