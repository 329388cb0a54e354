// EAN-13 and UPC-A read from edges placed by the profile's own extremes.
// Glare lifts a few bars and a curved label changes the module width along
// the symbol; a bar cut at one threshold then merges or loses bars, and a grid
// of fixed pitch drifts off the digits. Each bar and space is instead found
// as an extreme of the profile that stands out from its neighbourhood's
// contrast, and each edge lies where the profile crosses the mean of the two
// extremes on either side of it. Every digit is read from its own four widths
// measured against its own seven modules, so that the pitch may change from
// digit to digit. The read stands on the check digit, the parity word and a
// least fit of every digit.
#pragma once

#include <array>
#include <cstdint>

#include "engine/reader.h"

namespace zeph::profile {

class EanEdgeDecode {
  public:
    // Bars and spaces of an EAN-13 symbol.
    static constexpr int kElements = 59;
    // An extreme stands when the profile turns back by this share of the
    // contrast around it.
    static constexpr float kTurn = 0.2f;
    // Extremes of least turn that may be dropped to leave the symbol's count
    // (a glare streak or a dust speck inside a bar).
    static constexpr int kMostDropped = 2;
    // Each drop takes two extremes: a window with more than this many holds
    // no symbol.
    static constexpr int kMostKept = kElements + 2 * kMostDropped;
    // Smallest module read, in samples.
    static constexpr double kLeastModule = 1.5;
    // Largest deviation of a digit's pair sums from its pattern's, in
    // modules, and of their mean over the symbol.
    static constexpr double kMostError = 0.6;
    static constexpr double kMostMeanError = 0.3;
    // Neighbouring digits' widths keep within this ratio (curvature bends the
    // pitch slowly).
    static constexpr double kMostPitchStep = 1.25;
    // The confidence of a read runs from kEdgeConfidence at the largest mean
    // error up to 1 for a perfect one.
    static constexpr float kEdgeConfidence = 0.81f;

    // Decoder contract, for the EAN-13 bit of `mask`: writes the record and
    // returns 1 when the window's outer bars bound a symbol that reads with a
    // confidence above the record's, else 0.
    int Decode(const ScanSignal& window, int32_t mask, MatchRecord& record);

  private:
    // An extreme of the profile; merged ones span from the first to the last.
    struct Extreme {
        int32_t first = 0;
        int32_t last = 0;
        float value = 0;
    };
    bool FindExtremes(const float* s, int32_t from, int32_t to, double module);
    bool DropWeakest();
    bool MeasureWidths(const float* s, int32_t n, double module);

    std::array<Extreme, kMostKept> extremes_{};
    int count_ = 0;
    // Block minima and maxima of the profile, for the contrast around a sample.
    static constexpr int kMostBlocks = 512;
    // Room for neutral places on either side and for lanes past the last block.
    static constexpr int kSpareBlocks = 8;
    std::array<float, kMostBlocks + kSpareBlocks> blockLow_{};
    std::array<float, kMostBlocks + kSpareBlocks> blockHigh_{};
    std::array<float, kMostBlocks + kSpareBlocks> blockTurn_{};
    std::array<double, kElements> widths_{};
};

}  // namespace zeph::profile
