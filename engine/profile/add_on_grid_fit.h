// EAN/UPC add-ons read from the grey profile instead of the bar list. An
// add-on's bars stand one module apart at most, so blur merges them long
// before it merges those of the main symbol, and the cut into bars loses the
// bar count the template decoder needs; the add-on's outer edges still stand.
// A module grid is laid between them with a blur width, both chosen where
// the blurred guard and digit patterns fit the profile best, and each digit
// is the pattern (odd or even parity) of best correlation in its seven
// modules. The parity word must agree with the digits.
#pragma once

#include <array>
#include <span>

#include "engine/reader.h"

namespace zeph::profile {

class AddOnGridFit {
  public:
    // Points the profile is resampled at, per module, and the paper resampled
    // on either side of the add-on.
    static constexpr int kPointsPerModule = 4;
    static constexpr int kPadModules = 2;
    static constexpr int kMostModules = 47;
    static constexpr int kMostPoints = (kMostModules + 2 * kPadModules) * kPointsPerModule;
    // A digit may sit this many points off its grid position.
    static constexpr int kMostShift = 1;
    // Blur widths tried, in modules (the Gaussian's standard deviation).
    static constexpr std::array<double, 3> kBlurs = {0.35, 0.6, 0.85};
    // The guard and every digit must fit at least this well, and all of them
    // on average this well. Two digits carry only their value modulo 4 in
    // the parity word and must fit better.
    static constexpr float kLeastFit = 0.85f;
    static constexpr float kLeastMeanFit = 0.93f;
    static constexpr float kLeastFitOfTwo = 0.94f;
    static constexpr float kLeastMeanFitOfTwo = 0.96f;
    // The guard's fit on the grid as measured, before it is fitted.
    static constexpr float kLeastRoughFit = 0.7f;

    struct Reading {
        // The digits, then the check value the parity word carries (the
        // layout of XR_DescribeSupplement).
        std::array<BestMatch, 6> values{};
        int digits = 0;
        float fit = 0;  // the mean fit
    };

    // Reads an add-on of `digits` digits (2 or 5) whose outer bars cross zero
    // near samples `from` and `to` of the profile (bars negative). False when
    // the patterns do not fit or the parity word disagrees with the digits.
    bool Read(std::span<const float> samples, double from, double to, int digits, Reading& reading);

  private:
    static constexpr int kMostTemplatePoints = 8 * kPointsPerModule;
    struct Template {
        std::array<float, kMostTemplatePoints> values{};
        int points = 0;
    };
    // Per blur: digits in odd parity, in even parity, then the guard.
    static constexpr int kDigitTemplates = 20;
    static constexpr int kGuard = 20;
    using TemplateSet = std::array<Template, 21>;
    struct Fit {
        int index = -1;
        float score = -1;
    };

    // Resamples the profile on the grid of `modules` modules from a to b.
    void Resample(std::span<const float> samples, int modules, double a, double b);
    // The best of `count` templates from `first` for the element at `module`.
    Fit BestOf(const TemplateSet& set, int first, int count, int module) const;
    // The guard's and the digits' best fits, summed.
    float Score(const TemplateSet& set, int digits) const;

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
