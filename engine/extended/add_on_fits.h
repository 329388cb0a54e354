// Add-ons read from the grey profile of the add-on pass's lines, anchored by
// the EAN/UPC symbol read before them: its line, its module width and the
// end of its bars are known, so the add-on must start a gap of 5 to 13 of
// its modules after that end (7 to 12 as printed, widened by blur and ink
// spread) and span 20 or 47 modules of 0.8 to 1.25 times its width, with
// quiet zones around it. Where the guard's first two bars stand apart, the
// second must be the wider (the start guard of a neighbouring symbol is not).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/extended/picture.h"
#include "engine/profile/add_on_grid_fit.h"
#include "engine/reader.h"

namespace zeph::extended {

class AddOnFits {
  public:
    static constexpr double kLeastGap = 5.0;
    static constexpr double kMostGap = 13.0;
    // Quiet zone after the add-on, in its modules: five after two digits
    // (which keeps the start of a five-digit add-on from reading as a
    // two-digit one), and after five digits at least two (labels are often
    // cut close to the add-on).
    static constexpr double kQuietZone = 5.0;
    static constexpr double kLeastQuietAfter = 2.0;
    // Ends of an add-on tried, at most.
    static constexpr size_t kMostEnds = 3;
    // Rows of one symbol whose two-digit reads are kept.
    static constexpr size_t kRowsKept = 8;

    // Starts on the lines of `main`, a symbol of `modules` modules read
    // without an add-on (the record must outlive the lines).
    void Start(const MatchRecord& main, double modules);
    // Reads the add-on on the samples of one line (bars negative), drawn
    // across the symbol in its reading direction with `paths` paths, where
    // `onLine` is the symbol's read on that line if any (its ends lie closer
    // than those of a record of another line). True
    // when `whole` gets the main record with the add-on: five digits stand
    // on their parity word and fits on one line; two digits, whose parity
    // word tells little, need two lines apart reading them and no line
    // reading other digits.
    bool Read(std::span<const float> samples, const Line& line, int32_t paths,
              const MatchRecord* onLine, MatchRecord& whole);

  private:
    // Where the add-on of `digits` digits from `from` may end: bar ends at
    // its module width with a quiet zone after them, nearest the main
    // symbol's module width first. Returns their count.
    size_t EndsOf(std::span<const float> samples, double from, double module, int digits,
                  std::array<double, kMostEnds>& ends) const;
    // The main record with the add-on's texts, on the main's line drawn on
    // to `stop` (a point on the line read) and half a quiet zone further.
    void Complete(const profile::AddOnGridFit::Reading& reading, double stopX, double stopY,
                  double modulePixels, MatchRecord& whole) const;

    const MatchRecord* main_ = nullptr;
    double modules_ = 0;
    struct TwoDigits {
        std::array<int, 2> digits;
        double across;  // the line's distance from the main's, in pixels
    };
    std::array<TwoDigits, kRowsKept> twos_{};
    size_t twoCount_ = 0;
    bool twosDisagree_ = false;
    profile::AddOnGridFit fit_;
};

}  // namespace zeph::extended
