// Where the extended passes draw their lines: the local maxima of the tile
// energies that the engine's search measured, at a contrast threshold below
// its own, each with the stripe orientation around it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/extended/picture.h"
#include "engine/locate/orientation_memo.h"
#include "engine/reader.h"

namespace zeph::extended {

struct Candidate {
    int32_t x = 0;
    int32_t y = 0;
    double theta = 0;    // across the bars
    float strength = 0;  // tile score times coherence
};

class CandidateFinder {
  public:
    // Barcode stripes have one dominant direction; texture, grain and print
    // around them much less.
    static constexpr double kLeastCoherence = 0.5;
    // Windows whose gradient coherence is below this get no spectral
    // estimate (see gradient_coherence.h). Of 23,000 windows of the corpora,
    // renders, clutter and grain photos measured both ways, 8,500 reached
    // kLeastCoherence in the spectrum, and none of them had a gradient
    // coherence below 0.17 (a window of clutter; 0.29 in the corpora). 39 %
    // of all had one below 0.15.
    static constexpr double kLeastGradientCoherence = 0.15;

    // The strongest candidates of the tile grid of the given size (the one
    // the search just measured into config's tile energies), at most `most`,
    // strongest first. Only the local maxima of highest energy get an
    // orientation estimate (a two-dimensional FFT each): a textured photo has
    // thousands. Estimates the search already made are taken from `memo`;
    // the others are spread over config's crew when it has one. -1 when
    // memory runs out, else the number found.
    int Find(const Picture& picture, const ReaderConfig& config, int tileSize, float threshold,
             size_t most, std::vector<Candidate>& candidates,
             locate::OrientationMemo* memo = nullptr);

  private:
    struct Tile {
        float score;
        int32_t row;
        int32_t col;
    };
    std::vector<float> smooth_;
    std::vector<float> score_;
    std::vector<Tile> tiles_;
    struct Look {
        int32_t x;
        int32_t y;
        double coherence;
        double theta;
    };
    std::vector<Look> looks_;
    std::vector<size_t> unknown_;  // looks not in the memo
};

}  // namespace zeph::extended
