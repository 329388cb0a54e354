// Bars by a local threshold. The engine's signals are cut at their mean, which
// fails where the light changes along the line (glare, shadow, a curved
// label): bars melt into their neighbours. Here each sample is compared with
// the middle of the darkest and lightest samples around it, over a reach of a
// few symbol characters.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zeph::extended {

class LocalThreshold {
  public:
    // Reach of the envelope on either side, in narrow element widths: wide
    // enough that inside a symbol it always holds a bar and a space.
    static constexpr double kReach = 6.0;
    // Where the envelope is flatter than this share of its typical height
    // (a quiet zone, a margin), the threshold of the nearest part that is not
    // carries over.
    static constexpr float kFlatShare = 0.35f;

    // Subtracts the local threshold from the samples, given the narrow width
    // (in samples) of the elements along them. False when memory runs out.
    bool Apply(std::span<float> samples, double narrow);

  private:
    std::vector<float> low_;
    std::vector<float> high_;
    std::vector<float> lowAfter_;
    std::vector<float> sorted_;
};

// Redraws a signal cut at zero as crisp bars (-1) and spaces (+1), `scale`
// output samples per input sample, each edge where the input crosses zero
// (to a fraction of a sample, by linear interpolation), moved so that narrow
// bars and narrow spaces are equally wide, and the sample it falls in shaded
// by its coverage. The decoders then score how well the element widths fit
// their patterns, not how blurred the edges are.
class CrispRenderer {
  public:
    // Writes scale * input.size() samples.
    void Render(std::span<const float> input, int32_t scale, std::span<float> output);

  private:
    std::vector<double> edges_;
    std::vector<double> barWidths_;
    std::vector<double> spaceWidths_;
};

// The lower quartile of the element widths (bars and spaces) of a signal cut
// at zero: about one narrow element, or one module. At least 1.
double NarrowElementWidth(std::span<const float> samples, std::vector<int32_t>& scratch);

}  // namespace zeph::extended
