#include "tests/support/corpus.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zeph::test {
namespace fs = std::filesystem;

std::optional<std::string> FindCorpus() {
    if (const char* folder = std::getenv("ZEPH_CORPUS")) {
        if (fs::is_directory(folder)) return std::string(folder);
        return std::nullopt;
    }
    const fs::path beside = fs::path(ZEPH_SOURCE_DIR).parent_path() / "shared" / "corpus";
    std::error_code ec;
    if (fs::is_directory(beside, ec)) return beside.string();
    return std::nullopt;
}

std::vector<CorpusImage> CorpusImages(const std::string& folder) {
    std::vector<CorpusImage> images;
    for (const auto& set : fs::directory_iterator(folder)) {
        if (!set.is_directory()) continue;
        for (const auto& file : fs::directory_iterator(set.path())) {
            if (file.path().extension() != ".png") continue;
            images.push_back(
                {set.path().filename().string() + "/" + file.path().filename().string(),
                 file.path().string()});
        }
    }
    std::sort(images.begin(), images.end(),
              [](const CorpusImage& a, const CorpusImage& b) { return a.name < b.name; });
    return images;
}

bool LoadCorpusImage(const CorpusImage& image, GreyRaster& raster) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, image.path.c_str())) return false;
    png.format = PNG_FORMAT_BGR;
    const size_t stride = (static_cast<size_t>(png.width) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> rows(stride * png.height);
    // Transparent pixels on white paper; a negative stride gives the bottom row first.
    const png_color white{255, 255, 255};
    const bool ok = png_image_finish_read(&png, &white, rows.data(),
                                          -static_cast<png_int_32>(stride), nullptr) != 0;
    const auto width = static_cast<int32_t>(png.width);
    const auto height = static_cast<int32_t>(png.height);
    png_image_free(&png);
    return ok && XR_RasterFromBgrRows(rows, width, height, stride, raster) == 1;
}

std::string FormatRecords(const std::string& heading, std::span<const MatchRecord> records,
                          Confidence confidence) {
    std::string out = heading + " " + std::to_string(records.size()) + "\n";
    for (const MatchRecord& r : records) {
        std::string raw;
        for (const char c : XR_TextOf(r.rawData)) {
            const auto u = static_cast<unsigned char>(c);
            char hex[8];
            if (c == '\\') {
                raw += "\\\\";
            } else if (u < 0x20 || u > 0x7E) {
                std::snprintf(hex, sizeof hex, "\\x%02X", u);
                raw += hex;
            } else {
                raw += c;
            }
        }
        char numbers[160];
        std::snprintf(numbers, sizeof numbers,
                      confidence == Confidence::kNineDigits ? "%.9g\t%d %d %d %d %d %d"
                                                            : "%.3f\t%d %d %d %d %d %d",
                      double(r.confidence), r.startX, r.startY, r.stopX, r.stopY, r.centreX,
                      r.centreY);
        out += "  " + std::string(XR_TextOf(r.symbology)) + "\t" + raw + "\t" + numbers + "\n";
    }
    return out;
}

std::map<std::string, std::string> ReadRecordBlocks(const std::string& path) {
    std::ifstream in(path);
    std::map<std::string, std::string> blocks;
    std::string line;
    std::string heading;
    while (std::getline(in, line)) {
        if (!line.starts_with("  ")) heading = line.substr(0, line.rfind(' '));
        blocks[heading] += line + "\n";
    }
    return blocks;
}

}  // namespace zeph::test
