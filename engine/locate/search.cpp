#include <algorithm>
#include <cmath>
#include <new>

#include "engine/locate/add_on_stretch.h"
#include "engine/locate/candidate_read.h"
#include "engine/parallel/work_crew.h"
#include "engine/reader.h"

namespace {

using namespace zeph::locate;

constexpr int kStandardTile = 20;

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

    const float largest =
        XR_TileEnergy(raster, height, width, config.tileEnergy, tileSize, config.crew);
    if (largest < 0) return -1;
    if (largest < grid.threshold) return 0;
    const int selected = XR_TileScores(config.tileEnergy, config.tileSmooth, config.tileScore,
                                       grid.rows, grid.cols, grid.threshold);
    return selected < 1 ? 0 : 1;
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
            const double coherence =
                XR_Orientation(raster, height, width, x, y, kOrientationWindow, theta);
            if (coherence < 0) return -1;
            const float v = static_cast<float>(coherence) * s;
            if (v > best) {
                best = v;
                chosen = {x, y, theta};
            }
        }
    }
    if (!(best > 0)) return 0;
    const int r =
        ReadCandidate(raster, height, width, *config->scan, *config, chosen, records[0], 4, false);
    return r == kUnusableLine ? 0 : r;
}

int XR_SearchThorough(std::span<const int32_t> raster, int32_t height, int32_t width,
                      int32_t maxGrey, ReaderConfig* config, std::span<MatchRecord> records,
                      int maxRecords) {
    return SearchThorough(raster, height, width, maxGrey, config, records, maxRecords, nullptr);
}

namespace zeph::locate {

int SearchThorough(std::span<const int32_t> raster, int32_t height, int32_t width, int32_t maxGrey,
                   ReaderConfig* config, std::span<MatchRecord> records, int maxRecords,
                   OrientationMemo* memo) {
    if (!config || !config->scan || !RasterFits(raster, height, width)) return -1;
    maxRecords = std::min(maxRecords, static_cast<int>(records.size()));
    if (maxRecords <= 0) return -1;
    TileGrid grid;
    const int start = ScoreTiles(raster, height, width, maxGrey, *config, kThoroughTile,
                                 0.06666666666666667, grid);
    if (start <= 0) return start;

    if (config->crew && config->crew->Threads() > 1) {
        return SearchThoroughOnCrew(raster, height, width, *config, grid.rows, grid.cols,
                                    grid.threshold, records, maxRecords, memo);
    }
    bool patchLatch = false;
    int minBars = (config->protocolMask & kPatchCode) ? 4 : 7;
    int kept = 0;
    for (int i = 0; i < grid.rows; ++i) {
        for (int j = 0; j < grid.cols; ++j) {
            const float u = config->tileScore[static_cast<size_t>(i) * grid.cols + j];
            if (!(u > 0)) continue;
            TileLook look;
            const int found = ThoroughCandidate(raster, height, width, *config, grid.rows,
                                                grid.cols, grid.threshold, i, j, u, look);
            if (found < 0) return -1;
            if (memo) memo->Add(look.point.x, look.point.y, look.coherence, look.point.theta);
            if (found == 0) continue;

            MatchRecord& slot = records[kept];
            const int r = ReadCandidate(raster, height, width, *config->scan, *config, look.point,
                                        slot, minBars, patchLatch);
            if (r == kFailed) return -1;
            // A point with no usable line is skipped; the other candidates
            // still deserve a read.
            if (r != 1) continue;
            if (XR_TextOf(slot.symbology) == "Patch Code") {
                patchLatch = true;
                minBars = 7;
            }
            kept = DropReadsOnAddOnStretches(records, XR_MergeMatch(records, kept + 1));
            if (kept == maxRecords) return kept;
        }
    }
    return kept;
}

}  // namespace zeph::locate
