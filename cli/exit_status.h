// How a run of ZephScan ends, as its exit status.
#pragma once

namespace zeph::cli {

enum ExitStatus : int {
    kExitEveryFileRead = 0,    // every mask named files and every file was read
    kExitNoReaderControl = 1,  // the component layer or the reader control is missing
    kExitBadCommandLine = 2,   // the usage text was written
    kExitSomeFilesFailed = 3,  // a mask named no file, or a file could not be read
    kExitOutputFailed = 4,     // the report could not be written (a closed pipe, a full disk)
};

}  // namespace zeph::cli
