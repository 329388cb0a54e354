// The thorough search with its candidates read by a crew: the tiles are taken
// in batches, each batch read in parallel into slots of its own, and the
// reads merged one by one in tile order, exactly as the serial loop merges
// them. A Patch code read changes how the candidates after it are read; the
// batch is then read again from the next tile on.
#include <algorithm>
#include <atomic>
#include <vector>

#include "engine/locate/add_on_stretch.h"
#include "engine/locate/candidate_read.h"
#include "engine/parallel/work_crew.h"

namespace zeph::locate {
namespace {

// Tiles per batch and thread: enough to keep the threads busy between merges.
constexpr size_t kTilesPerThread = 8;

// This thread's own scan signal, shaped like the configuration's.
ScanSignal* ThreadScan(const ScanSignal& model) {
    thread_local ScanSignalPtr own;
    if (!own || own->sampleCount != model.sampleCount || own->pathCount != model.pathCount ||
        own->pathSpacing != model.pathSpacing || own->sharpening != model.sharpening ||
        own->shiftRange != model.shiftRange) {
        own = XR_NewScanSignal(model.sampleCount, model.pathCount, model.pathSpacing,
                               model.sharpening, model.shiftRange);
        if (!own) return nullptr;
    }
    own->imageWidth = model.imageWidth;
    own->imageHeight = model.imageHeight;
    return own.get();
}

struct TileRead {
    int outcome = 0;      // -1 failure, 0 nothing to merge, 1 a read in `slot`
    bool looked = false;  // `look` holds the tile's point and orientation
    TileLook look;
    MatchRecord slot;
};

}  // namespace

int SearchThoroughOnCrew(std::span<const int32_t> raster, int32_t height, int32_t width,
                         ReaderConfig& config, int rows, int cols, float threshold,
                         std::span<MatchRecord> records, int maxRecords, OrientationMemo* memo) {
    struct Tile {
        int row;
        int col;
        float u;
    };
    std::vector<Tile> tiles;
    std::vector<TileRead> reads;
    const size_t batch = kTilesPerThread * static_cast<size_t>(config.crew->Threads());
    try {
        for (int i = 0; i < rows; ++i) {
            for (int j = 0; j < cols; ++j) {
                const float u = config.tileScore[static_cast<size_t>(i) * cols + j];
                if (u > 0) tiles.push_back({i, j, u});
            }
        }
        reads.resize(std::min(batch, tiles.size()));
    } catch (const std::exception&) {
        return -1;
    }

    bool patchLatch = false;
    int minBars = (config.protocolMask & kPatchCode) ? 4 : 7;
    int kept = 0;
    size_t next = 0;
    while (next < tiles.size()) {
        const size_t first = next;
        const size_t count = std::min(batch, tiles.size() - first);
        config.crew->Run(count, [&](size_t k) {
            const Tile& t = tiles[first + k];
            TileRead& read = reads[k];
            ScanSignal* scan = ThreadScan(*config.scan);
            const int found = scan ? ThoroughCandidate(raster, height, width, config, rows, cols,
                                                       threshold, t.row, t.col, t.u, read.look)
                                   : -1;
            read.looked = found >= 0;
            if (found <= 0) {
                read.outcome = found;
                return;
            }
            const int r = ReadCandidate(raster, height, width, *scan, config, read.look.point,
                                        read.slot, minBars, patchLatch);
            read.outcome = r == kFailed ? -1 : r == 1 ? 1 : 0;
        });
        next = first + count;
        for (size_t k = 0; k < count; ++k) {
            const TileRead& read = reads[k];
            if (memo && read.looked) {
                memo->Add(read.look.point.x, read.look.point.y, read.look.coherence,
                          read.look.point.theta);
            }
            if (read.outcome < 0) return -1;
            if (read.outcome == 0) continue;
            records[static_cast<size_t>(kept)] = read.slot;
            const bool patch = XR_TextOf(read.slot.symbology) == "Patch Code";
            kept = DropReadsOnAddOnStretches(records, XR_MergeMatch(records, kept + 1));
            if (kept == maxRecords) return kept;
            if (patch && !(patchLatch && minBars == 7)) {
                // The tiles after this one are read again with the latch set.
                patchLatch = true;
                minBars = 7;
                next = first + k + 1;
                break;
            }
        }
    }
    return kept;
}

}  // namespace zeph::locate
