#include "engine/locate/candidate_read.h"

#include <cmath>

namespace zeph::locate {

int ReadCandidate(std::span<const int32_t> raster, int32_t height, int32_t width, ScanSignal& scan,
                  const ReaderConfig& config, const Candidate& c, MatchRecord& slot, int minBars,
                  bool patchLatch) {
    // Scan angles come in steps of about 9 degrees.
    const double q = std::floor(c.theta * 6.3662 + 0.5) * 0.1571;
    ScanLine line;
    if (!XR_PlaceScanLine(c.x, c.y, q, width, height, line)) return kUnusableLine;
    const int trimmed = XR_TrimScanLine(raster, height, width, line, c.x, c.y);
    if (trimmed < 0) return kFailed;
    if (trimmed == 0) return kUnusableLine;
    // Trimming a short line through a nearly flat stretch can leave a single
    // point, along which no signal can be sampled: no line for this candidate,
    // while the others still deserve a read.
    if (line.x0 == line.x1 && line.y0 == line.y1) return kUnusableLine;

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

int ThoroughCandidate(std::span<const int32_t> raster, int32_t height, int32_t width,
                      const ReaderConfig& config, int rows, int cols, float threshold, int row,
                      int col, float u, TileLook& look) {
    const TilePoint p = XR_RefineTilePosition(config.tileEnergy, rows, cols, col, row);
    const int32_t x = static_cast<int32_t>(std::floor((p.x + 0.5) * kThoroughTile));
    const int32_t y = static_cast<int32_t>(std::floor((p.y + 0.5) * kThoroughTile));
    double theta = 0;
    const double coherence = XR_Orientation(raster, height, width, x, y, kOrientationWindow, theta);
    if (coherence < 0) return -1;
    look = {{x, y, theta}, coherence};
    const float v = u * static_cast<float>(coherence);
    return v > threshold ? 1 : 0;
}

}  // namespace zeph::locate
