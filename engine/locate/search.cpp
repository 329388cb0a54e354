#include <algorithm>
#include <cmath>
#include <new>

#include "engine/reader.h"

namespace {

constexpr int kStandardTile = 20;
constexpr int kThoroughTile = 15;
constexpr int kWindow = 64;

// What the common start of both searches leaves behind.
struct TileGrid {
    int rows = 0;
    int cols = 0;
    float threshold = 0;
};

// Sizes the tile store, measures the tiles and scores the candidates. Returns
// -1 (failure), 0 (nothing to read) or 1 (candidates scored in config).
int ScoreTiles(std::span<const int32_t> raster, int32_t height, int32_t width, int32_t maxGrey,
               ReaderConfig& config, int tileSize, double gridFactor, TileGrid& grid) {
    config.scan->imageHeight = height;
    config.scan->imageWidth = width;
    grid.rows = static_cast<int>(std::floor(std::max(0, height) * gridFactor));
    grid.cols = static_cast<int>(std::floor(std::max(0, width) * gridFactor));
    grid.threshold = static_cast<float>(maxGrey) * config.sensitivity;

    const size_t count = static_cast<size_t>(grid.rows) * grid.cols;
    if (count != static_cast<size_t>(config.tileCount) || !config.tileStore) {
        config.tileStore.reset();
        config.tileStore.reset(new (std::nothrow) float[3 * count + 1]);
        config.tileCount = 0;
        if (!config.tileStore) return -1;
        config.tileCount = static_cast<int32_t>(count);
    }
    float* store = config.tileStore.get();
    config.tileEnergy = {store, count};
    config.tileSmooth = {store + count, count};
    config.tileScore = {store + 2 * count, count};

    const float largest = XR_TileEnergy(raster, height, width, config.tileEnergy, tileSize, config.crew);
    if (largest < 0) return -1;
    if (largest < grid.threshold) return 0;
    const int selected = XR_TileScores(config.tileEnergy, config.tileSmooth, config.tileScore,
                                       grid.rows, grid.cols, grid.threshold);
    return selected < 1 ? 0 : 1;
}

struct Candidate {
    int32_t x;
    int32_t y;
    double theta;
};

enum ReadOutcome { kFailed = -1, kUnusableLine = -2 };

// Draws, trims and samples the line through the candidate and runs the decode
// attempts into `slot`. Returns the OR of the attempts (0 or 1), kFailed, or
// kUnusableLine when no line could be drawn through the point.
int ReadCandidate(std::span<const int32_t> raster, int32_t height, int32_t width,
                  ReaderConfig& config, const Candidate& c, MatchRecord& slot, int minBars,
                  bool patchLatch) {
    // Scan angles come in steps of about 9 degrees.
    const double q = std::floor(c.theta * 6.3662 + 0.5) * 0.1571;
    ScanLine line;
    if (!XR_PlaceScanLine(c.x, c.y, q, width, height, line)) return kUnusableLine;
    const int trimmed = XR_TrimScanLine(raster, height, width, line, c.x, c.y);
    if (trimmed < 0) return kFailed;
    if (trimmed == 0) return kUnusableLine;

    ScanSignal& scan = *config.scan;
    slot.rawData[0] = slot.data[0] = slot.symbology[0] = slot.barcodeType[0] = slot.descriptor[0] =
        '\0';
    slot.confidence = config.minConfidence;
    scan.startX = slot.startX = line.x0;
    scan.startY = slot.startY = line.y0;
    scan.stopX = slot.stopX = line.x1;
    scan.stopY = slot.stopY = line.y1;
    scan.centreX = slot.centreX = c.x;
    scan.centreY = slot.centreY = c.y;

    if (!XR_SuperResolve(raster, height, width, scan)) return kFailed;
    slot.redundancy = scan.redundancy;
    if (scan.barCount < minBars || !(scan.redundancy > config.minRedundancy)) return 0;
    return XR_DecodeAttempts(scan, config, slot, patchLatch);
}

bool RasterFits(std::span<const int32_t> raster, int32_t height, int32_t width) {
    return height >= 0 && width >= 0 &&
           raster.size() >= static_cast<size_t>(height) * static_cast<size_t>(width);
}

}  // namespace

int XR_Search(std::span<const int32_t> raster, int32_t height, int32_t width, int32_t maxGrey,
              ReaderConfig* config, std::span<MatchRecord> records) {
    if (!config || !config->scan || records.empty() || !RasterFits(raster, height, width)) {
        return -1;
    }
    TileGrid grid;
    const int start = ScoreTiles(raster, height, width, maxGrey, *config, kStandardTile,
                                 1.0 / kStandardTile, grid);
    if (start <= 0) return start;

    float best = 0;
    Candidate chosen{};
    for (int i = 0; i < grid.rows; ++i) {
        for (int j = 0; j < grid.cols; ++j) {
            const float s = config->tileScore[static_cast<size_t>(i) * grid.cols + j];
            if (!(s > best)) continue;
            const int32_t x = static_cast<int32_t>(std::floor((j + 0.5) * kStandardTile));
            const int32_t y = static_cast<int32_t>(std::floor((i + 0.5) * kStandardTile));
            double theta = 0;
            const double coherence = XR_Orientation(raster, height, width, x, y, kWindow, theta);
            if (coherence < 0) return -1;
            const float v = static_cast<float>(coherence) * s;
            if (v > best) {
                best = v;
                chosen = {x, y, theta};
            }
        }
    }
    if (!(best > 0)) return 0;
    const int r = ReadCandidate(raster, height, width, *config, chosen, records[0], 4, false);
    return r == kUnusableLine ? 0 : r;
}

int XR_SearchThorough(std::span<const int32_t> raster, int32_t height, int32_t width,
                      int32_t maxGrey, ReaderConfig* config, std::span<MatchRecord> records,
                      int maxRecords) {
    if (!config || !config->scan || !RasterFits(raster, height, width)) return -1;
    maxRecords = std::min(maxRecords, static_cast<int>(records.size()));
    if (maxRecords <= 0) return -1;
    TileGrid grid;
    const int start = ScoreTiles(raster, height, width, maxGrey, *config, kThoroughTile,
                                 0.06666666666666667, grid);
    if (start <= 0) return start;

    bool patchLatch = false;
    int minBars = (config->protocolMask & kPatchCode) ? 4 : 7;
    int kept = 0;
    for (int i = 0; i < grid.rows; ++i) {
        for (int j = 0; j < grid.cols; ++j) {
            const float u = config->tileScore[static_cast<size_t>(i) * grid.cols + j];
            if (!(u > 0)) continue;
            const TilePoint p =
                XR_RefineTilePosition(config->tileEnergy, grid.rows, grid.cols, j, i);
            const int32_t x = static_cast<int32_t>(std::floor((p.x + 0.5) * kThoroughTile));
            const int32_t y = static_cast<int32_t>(std::floor((p.y + 0.5) * kThoroughTile));
            double theta = 0;
            const double coherence = XR_Orientation(raster, height, width, x, y, kWindow, theta);
            if (coherence < 0) return -1;
            const float v = u * static_cast<float>(coherence);
            if (!(v > grid.threshold)) continue;

            MatchRecord& slot = records[kept];
            const int r = ReadCandidate(raster, height, width, *config, {x, y, theta}, slot,
                                        minBars, patchLatch);
            if (r == kFailed) return -1;
            // A point with no usable line is skipped; the other candidates
            // still deserve a read.
            if (r != 1) continue;
            if (XR_TextOf(slot.symbology) == "Patch Code") {
                patchLatch = true;
                minBars = 7;
            }
            kept = XR_MergeMatch(records, kept + 1);
            if (kept == maxRecords) return kept;
        }
    }
    return kept;
}
