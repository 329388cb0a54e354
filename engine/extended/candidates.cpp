#include "engine/extended/candidates.h"

#include <algorithm>
#include <cmath>

#include "engine/extended/gradient_coherence.h"
#include "engine/parallel/work_crew.h"

namespace zeph::extended {
namespace {

constexpr int kWindow = 64;
// Maxima whose orientation is estimated, per candidate kept.
constexpr size_t kMaximaPerCandidate = 4;

}  // namespace

int CandidateFinder::Find(const Picture& picture, const ReaderConfig& config, int tileSize,
                          float threshold, size_t most, std::vector<Candidate>& candidates,
                          locate::OrientationMemo* memo) {
    candidates.clear();
    const int rows = picture.height / tileSize;
    const int cols = picture.width / tileSize;
    const size_t tiles = static_cast<size_t>(rows) * static_cast<size_t>(cols);
    if (tiles == 0 || config.tileEnergy.size() < tiles) return 0;
    try {
        smooth_.resize(tiles);
        score_.resize(tiles);
        tiles_.clear();
    } catch (...) {
        return -1;
    }
    const std::span<const float> energy = config.tileEnergy.first(tiles);
    if (XR_TileScores(energy, smooth_, score_, rows, cols, threshold) < 1) return 0;
    try {
        for (int i = 0; i < rows; ++i) {
            for (int j = 0; j < cols; ++j) {
                const float s = score_[static_cast<size_t>(i) * cols + j];
                if (s > 0) tiles_.push_back({s, i, j});
            }
        }
    } catch (...) {
        return -1;
    }
    // Highest scores first; equal scores in reading order.
    const size_t examined = std::min(tiles_.size(), kMaximaPerCandidate * most);
    std::partial_sort(tiles_.begin(), tiles_.begin() + static_cast<std::ptrdiff_t>(examined),
                      tiles_.end(), [](const Tile& a, const Tile& b) {
                          if (a.score != b.score) return a.score > b.score;
                          return a.row != b.row ? a.row < b.row : a.col < b.col;
                      });

    try {
        looks_.resize(examined);
        unknown_.clear();
    } catch (...) {
        return -1;
    }
    for (size_t t = 0; t < examined; ++t) {
        const Tile& tile = tiles_[t];
        const TilePoint p = XR_RefineTilePosition(energy, rows, cols, tile.col, tile.row);
        Look& look = looks_[t];
        look.x = static_cast<int32_t>(std::floor((p.x + 0.5) * tileSize));
        look.y = static_cast<int32_t>(std::floor((p.y + 0.5) * tileSize));
        look.coherence = -1;
        look.theta = 0;
        if (memo && memo->Find(look.x, look.y, look.coherence, look.theta)) continue;
        try {
            unknown_.push_back(t);
        } catch (...) {
            return -1;
        }
    }
    const auto measure = [&](size_t k) {
        thread_local GradientCoherence gradient;
        Look& look = looks_[unknown_[k]];
        // -1 (a picture smaller than the window) leaves it to the estimate.
        const double screen = gradient.Measure(picture, look.x, look.y, kWindow);
        if (screen >= 0 && screen < kLeastGradientCoherence) {
            look.coherence = screen;
            return;
        }
        look.coherence = XR_Orientation(picture.values, picture.height, picture.width, look.x,
                                        look.y, kWindow, look.theta);
    };
    if (config.crew) {
        config.crew->Run(unknown_.size(), measure);
    } else {
        for (size_t k = 0; k < unknown_.size(); ++k)
            measure(k);
    }

    for (size_t t = 0; t < examined; ++t) {
        const Look& look = looks_[t];
        if (look.coherence < 0) return -1;
        if (look.coherence < kLeastCoherence) continue;
        const auto strength = static_cast<float>(tiles_[t].score * look.coherence);
        if (!(strength > threshold)) continue;
        try {
            candidates.push_back({look.x, look.y, look.theta, strength});
        } catch (...) {
            return -1;
        }
    }
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.strength > b.strength; });
    if (candidates.size() > most) candidates.resize(most);
    return static_cast<int>(candidates.size());
}

}  // namespace zeph::extended
