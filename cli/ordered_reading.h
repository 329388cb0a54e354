// Reading the files of a listing on several worker threads and writing each
// file's block in listing order, as soon as it and every block before it are
// done.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/file_report.h"

namespace zeph::cli {

// One worker thread's reader of files, made and used on that thread.
class FileReader {
  public:
    virtual ~FileReader() = default;
    // The file's report and messages; never throws.
    virtual FileReport Read(const std::string& path) noexcept = 0;
};

// Makes a reader on the calling worker thread; nullptr when it cannot, and
// that worker then takes no files.
using ReaderFactory = std::function<std::unique_ptr<FileReader>()>;

// At most this many files per worker lie between the oldest block not yet
// written and the newest file started: memory does not grow with the listing
// when one file takes long.
inline constexpr size_t kFilesAheadPerWorker = 16;

// Reads `paths` on `workers` threads and hands every report to `write` on the
// calling thread, in listing order. Files that no worker can take (none could
// make its reader, or no thread could be started) are read by `fallback` on
// the calling thread, so every file gets its block.
void ReadInListingOrder(const std::vector<std::string>& paths, int workers,
                        const ReaderFactory& make, FileReader& fallback,
                        const std::function<void(const FileReport&)>& write);

// Worker threads when none are asked for: the processors this process may
// run on.
int DefaultThreads();

}  // namespace zeph::cli
