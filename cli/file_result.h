// What reading one file through the reader control gave: its barcodes page by
// page and how the reading ended. Every report format is written from this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zeph::cli {

// One barcode; texts in the reader's single-byte Windows-1252, as the control
// gives them.
struct MatchResult {
    std::string raw;
    std::string symbology;
    std::string type;
    std::string descriptor;
    std::string data;
    float confidence = 0;
    int32_t startx = 0, starty = 0, stopx = 0, stopy = 0;
    int page = 1;
};

enum class FileFailure {
    None,
    FailedOpen,     // a page could not be loaded, or the control refused it
    InternalError,  // the control failed while the count or a result was read
};

struct FileResult {
    std::string path;
    // The first page's count was had: the report says OK before any error.
    bool counted = false;
    // The counts of the pages counted, together.
    int64_t count = 0;
    // The barcodes read, in page and index order.
    std::vector<MatchResult> matches;
    FileFailure failure = FileFailure::None;
    int failedPage = 0;  // the page the failure came on, from 1
    std::string reason;  // why, for people
    int pages = 0;       // pages read to the end

    bool Failed() const { return failure != FileFailure::None; }
};

}  // namespace zeph::cli
