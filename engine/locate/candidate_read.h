// The steps of the searches shared by their serial and crew forms: a tile of
// the thorough search as a candidate point, and the read of one candidate.
#pragma once

#include <cstdint>
#include <span>

#include "engine/locate/orientation_memo.h"
#include "engine/reader.h"

namespace zeph::locate {

inline constexpr int kThoroughTile = 15;
inline constexpr int kOrientationWindow = 64;

struct Candidate {
    int32_t x;
    int32_t y;
    double theta;
};

// Outcomes beyond the decode attempts' OR (0 or 1).
enum ReadOutcome { kFailed = -1, kUnusableLine = -2 };

// Draws, trims and samples the line through the candidate into `scan` and runs
// the decode attempts into `slot`. Returns the OR of the attempts (0 or 1),
// kFailed, or kUnusableLine when no line could be drawn through the point.
int ReadCandidate(std::span<const int32_t> raster, int32_t height, int32_t width, ScanSignal& scan,
                  const ReaderConfig& config, const Candidate& c, MatchRecord& slot, int minBars,
                  bool patchLatch);

// A point of the thorough search and its measured orientation.
struct TileLook {
    Candidate point;
    double coherence = 0;
};

// Tile (row, col) of the thorough search, of score u > 0, in a grid of
// rows x cols: 1 with the candidate point when its score times its
// coherence exceeds the threshold, 0 when it does not, -1 on failure. `look`
// holds the point and its orientation in both of the first two cases.
int ThoroughCandidate(std::span<const int32_t> raster, int32_t height, int32_t width,
                      const ReaderConfig& config, int rows, int cols, float threshold, int row,
                      int col, float u, TileLook& look);

// XR_SearchThorough, keeping the orientation of every point it measures in
// `memo` when one is given.
int SearchThorough(std::span<const int32_t> raster, int32_t height, int32_t width, int32_t maxGrey,
                   ReaderConfig* config, std::span<MatchRecord> records, int maxRecords,
                   OrientationMemo* memo);

// The candidate reads of the thorough search spread over config's crew, after
// its tile scores are in config: the records and count the serial loop gives.
int SearchThoroughOnCrew(std::span<const int32_t> raster, int32_t height, int32_t width,
                         ReaderConfig& config, int rows, int cols, float threshold,
                         std::span<MatchRecord> records, int maxRecords, OrientationMemo* memo);

}  // namespace zeph::locate
