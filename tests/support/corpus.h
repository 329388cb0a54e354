// The real-photo corpus beside the repository (../shared/corpus, or the folder
// ZEPH_CORPUS names), for tests that run the searches over every image.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/reader.h"

namespace zeph::test {

struct CorpusImage {
    std::string name;  // "set/file.png"
    std::string path;
};

// The corpus folder, when there is one.
std::optional<std::string> FindCorpus();

// Every PNG image of every set, sorted by name.
std::vector<CorpusImage> CorpusImages(const std::string& folder);

// The image as the engine's grey raster; false when it cannot be decoded.
bool LoadCorpusImage(const CorpusImage& image, GreyRaster& raster);

// The records of a search, one line each: symbology, raw data (bytes outside
// printable ASCII as \xHH), confidence (to nine digits, or as the report
// prints it with three decimals), and the line's start, stop and centre points.
enum class Confidence { kNineDigits, kAsReported };
std::string FormatRecords(const std::string& heading, std::span<const MatchRecord> records,
                          Confidence confidence = Confidence::kNineDigits);

// Blocks of a records file by their heading line (up to its last blank).
std::map<std::string, std::string> ReadRecordBlocks(const std::string& path);

}  // namespace zeph::test
