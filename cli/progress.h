// The -PROGRESS line on standard error: files done of the total and the rate.
// On a terminal the line is rewritten in place; elsewhere a line is written
// at most once a second, and at the end.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace zeph::cli {

class Progress {
  public:
    Progress(bool shown, size_t total);
    // One file's report written.
    void FileDone();
    // A message line, written so that the progress line stays whole.
    void Message(std::string_view text);
    // The last line, when shown.
    void Finish();

    // "12 of 300 files, 3.4 files/s"
    static std::string Line(size_t done, size_t total, double seconds);

  private:
    void Show(bool force);

    const bool shown_;
    const bool terminal_;
    const size_t total_;
    size_t done_ = 0;
    bool onScreen_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastShown_;
};

}  // namespace zeph::cli
