// A report nobody reads: when standard output is a pipe or a socket whose
// reader has gone (ZephScan ... | head), the run ends at once, without
// waiting for the file being read to be done.
#pragma once

namespace zeph::cli {

// Watches standard output from a thread of its own, which ends the process
// with `status` when the reading end closes. Nothing for other outputs (a
// file, a terminal), whose failures the next write reports.
void EndWhenOutputCloses(int status);

}  // namespace zeph::cli
