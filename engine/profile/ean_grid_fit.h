// EAN-13 and UPC-A read from the grey profile instead of the bar list.
// Where blur, small modules or glare merge bars, the cut into bars loses the
// bar count the template decoders index by; the outer guards' edges still
// stand. A module grid is laid between them, bent at the centre guard (so that
// each half has a module width of its own, as perspective gives), with a blur
// width; grid and blur are chosen where the blurred digit patterns fit the
// profile best. Each digit is the pattern of best correlation in its seven
// modules, free to move a quarter module either way (a curved label). The read
// stands on the check digit, the parity word and a least fit of every digit
// and guard.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/reader.h"

namespace zeph::profile {

class EanGridFit {
  public:
    // Points the profile is resampled at, per module.
    static constexpr int kPointsPerModule = 4;
    // Modules of the longest symbol read, and the paper resampled on either side.
    static constexpr int kMostModules = 95;
    static constexpr int kPadModules = 3;
    static constexpr int kMostPoints = (kMostModules + 2 * kPadModules) * kPointsPerModule;
    // A digit may sit this many points off its grid position.
    static constexpr int kMostShift = 1;
    // Blur widths tried, in modules (the Gaussian's standard deviation).
    static constexpr std::array<double, 3> kBlurs = {0.35, 0.6, 0.85};
    // Every digit and guard must fit at least this well, and all of them
    // together on average this well, for a read.
    static constexpr float kLeastFit = 0.75f;
    static constexpr float kLeastMeanFit = 0.9f;
    // The outer guards' fit and the digits' mean fit on the grid as measured,
    // before it is fitted.
    static constexpr float kLeastRoughFit = 0.75f;
    // The confidence of a read is its mean fit, stretched from [kLeastMeanFit,
    // 1] onto [kEdgeConfidence, 1]. Blurred patterns correlate with any smooth
    // profile better than the template decoders' sharp ones, so the mean fit
    // itself would overstate a read: one that barely passes the fit is
    // reported at the reader's default least confidence, and a stricter
    // least confidence refuses the weaker fits as it refuses weaker template
    // reads. Every read reported at the default lies above it.
    static constexpr float kEdgeConfidence = 0.81f;

    // Decoder contract, for the EAN-13 bit of `mask`: writes the
    // record and returns 1 when the window's outer bars bound a symbol that
    // reads with a confidence above the record's, else 0.
    int Decode(const ScanSignal& window, int32_t mask, MatchRecord& record);

  private:
    struct Layout;
    // A pattern with its known neighbours rendered at one blur, zero mean and
    // unit norm, over its modules and half a module on either side.
    static constexpr int kMostTemplatePoints = 8 * kPointsPerModule;
    struct Template {
        std::array<float, kMostTemplatePoints> values{};
        int points = 0;
    };
    // Digit patterns: left odd, left even and right, ten each; then the guards.
    static constexpr int kDigitTemplates = 30;
    static constexpr int kGuardTemplates = 3;
    // Every digit pattern spans its seven modules and half a module either side.
    static constexpr int kDigitPoints = 8 * kPointsPerModule;
    struct TemplateSet {
        std::array<Template, kDigitTemplates + kGuardTemplates> patterns;
        // The digit patterns point by point (byPoint[j * kDigitTemplates + t]):
        // one pass over a stretch scores them all, each summed in the same
        // order as alone.
        std::array<float, kDigitPoints * kDigitTemplates> byPoint{};
        Template& operator[](size_t i) { return patterns[i]; }
        const Template& operator[](size_t i) const { return patterns[i]; }
    };

    struct Fit {
        int index = -1;  // template index
        float score = -1;
        int shift = 0;
    };
    int DecodeLayout(const ScanSignal& window, const Layout& layout, double from, double to,
                     MatchRecord& record);
    // Resamples the window's profile on the grid through knots a (module 0),
    // c (module `layout.knot`) and b (the last module), in samples.
    void Resample(const ScanSignal& window, const Layout& layout, double a, double c, double b);
    // The same for points [from, to) alone.
    void Resample(const ScanSignal& window, const Layout& layout, double a, double c, double b,
                  int from, int to);
    // The best of `count` templates from `first` for the stretch of points
    // starting at module `module`, at shifts up to mostShift points.
    Fit BestOf(const TemplateSet& set, int first, int count, double module,
               int mostShift = kMostShift) const;
    // Sum of the best digit fits of one half of the layout (0 left, 1 right).
    float HalfScore(const TemplateSet& set, const Layout& layout, int half) const;

    using TemplateSets = std::array<TemplateSet, kBlurs.size()>;
    // The patterns are the same for every reader: rendered once for the
    // process, when the first window gets this far, and shared by the
    // threads (a run may read no window that does).
    static const TemplateSets& SharedTemplates();
    // The patterns at blur kBlurs[b].
    static void RenderSet(size_t b, TemplateSet& set);

    std::array<float, kMostPoints> points_{};
};

}  // namespace zeph::profile
