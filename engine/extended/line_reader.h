// Reads every symbol that one scan line crosses: samples the line at a density
// chosen for its length, cuts the bar list into symbol windows and hands each
// window, in both directions, to the decoders.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/databar/line_decoder.h"
#include "engine/databar/row_piece.h"
#include "engine/extended/bar_edges.h"
#include "engine/extended/end_patterns.h"
#include "engine/extended/local_threshold.h"
#include "engine/extended/picture.h"
#include "engine/extended/symbol_windows.h"
#include "engine/locate/super_resolution.h"
#include "engine/profile/window_decoders.h"
#include "engine/reader.h"

namespace zeph::extended {

// One read of one window of one line. The record's end points are those of
// the window, widened by its quiet zones, in reading direction.
struct LineRead {
    MatchRecord record;
    QuietZones quiet;
    bool trimmed = false;      // read inside a longer run of bars
    bool edgeBefore = false;   // the signal before the window runs into the picture's border
    bool edgeAfter = false;    // likewise after it
    int32_t pathCount = 1;     // parallel paths the line was sampled with
    int32_t bars = 0;          // bars of the window read
    int32_t variant = 0;       // LineOptions::Variant the line was read as
    bool fromProfile = false;  // read from the grey profile, not by the templates
    // A row of a stacked DataBar symbol, or a line the DataBar readers want
    // to read again more finely (the record then stays empty): it goes to
    // the row collector, which joins rows into symbols and keeps the hints.
    std::optional<databar::RowPiece> databarRow;
};

struct LineOptions {
    float samplesPerPixel = 2.5f;
    int32_t pathCount = 21;
    int32_t pathSpacing = 1;
    bool startAtBorder = false;  // the line's start lies on the picture's border
    bool stopAtBorder = false;
    // The signals a line is read as, in this order; each reads only where the
    // ones before it read nothing.
    enum Variant : int32_t { kPlain = 1, kLocal = 2, kCrisp = 4 };
    int32_t variants = kPlain | kLocal | kCrisp;
    int32_t crispScale = 4;  // samples of the crisp signal per sample of the line
    // Records already read: the grey profile is not fitted where a window
    // lies on one of their lines (a fit's read there is dropped or repeats
    // the record).
    std::span<const MatchRecord> read;
};

class LineReader {
  public:
    // Longest signal a line is sampled into; longer lines get fewer samples
    // per pixel.
    static constexpr int32_t kMaxSamples = 1 << 14;
    static constexpr int32_t kFewestSamples = 16;
    // Paper added where a line meets the picture's border, in line samples.
    static constexpr int32_t kBorderPad = 16;
    static constexpr int32_t kMaxCrispScale = 8;
    static constexpr int32_t kWindowSamples = kMaxSamples + 2 * kBorderPad * kMaxCrispScale;
    static constexpr size_t kStretchesKept = 64;

    // Appends the reads of the line. -1 when memory runs out or a decoder's
    // tables cannot be built, else the most bars of one run on the line.
    int Read(const Picture& picture, const Line& line, const ReaderConfig& config,
             const LineOptions& options, std::vector<LineRead>& reads);
    // The samples of the line read last (bars negative) when it is `line`,
    // else none: the profile for decoders that read beside the windows.
    std::span<const float> SamplesOf(const Line& line) const;

  private:
    bool Prepare(const ReaderConfig& config);
    // Reads one variant of the sampled line, both directions.
    int ReadVariant(const Picture& picture, const Line& line, const ReaderConfig& config,
                    const LineOptions& options, int32_t variant, std::vector<LineRead>& reads,
                    int32_t& longest);
    // How the samples of window_ lie on the line: scale samples per line
    // sample, after padStart samples of paper, in reading direction.
    struct SampleMap {
        int32_t scale = 1;
        int32_t lineSamples = 0;
        int32_t padStart = 0;
        int32_t padStop = 0;
        int32_t total = 0;
        bool reversed = false;
        int32_t variant = 0;  // LineOptions::Variant
        // Position of window sample i along the line, 0 at its start, 1 at its stop.
        double LineFraction(double i) const {
            const double forward = reversed ? total - i : i;
            const double f = (forward - padStart) / (double(scale) * lineSamples);
            return f < 0 ? 0 : f > 1 ? 1 : f;
        }
    };
    // Reads the DataBar symbols and rows of the signal in window_, read in
    // its forward direction (the reader takes both): false when memory runs out.
    bool ReadDataBar(const Picture& picture, const Line& line, const ReaderConfig& config,
                     const LineOptions& options, const SampleMap& map,
                     std::vector<LineRead>& reads);
    // Decodes the windows of the signal in window_ as it stands.
    int ReadWindows(const Line& line, const ReaderConfig& config, const LineOptions& options,
                    const SampleMap& map, std::vector<LineRead>& reads);

    ScanSignalPtr line_;  // the sampled line, kMaxSamples long
    Line sampled_;        // the line line_ holds
    bool hasSampled_ = false;
    std::vector<float> local_;  // the line after the local threshold
    bool localReady_ = false;
    ScanSignalPtr window_;  // one direction's samples, with one window's bars
    BarEdges edges_;        // the bars of window_'s samples, both ways
    SuperResolutionStore store_ = LineStore();
    WindowFinder finder_;
    EndPatterns endPatterns_;
    LocalThreshold threshold_;
    CrispRenderer crisp_;
    databar::LineDecoder databar_;
    profile::WindowDecoders widths_;  // where the template decoders read nothing
    std::vector<int32_t> starts_;
    std::vector<int32_t> ends_;
    // Stretches of the current line already read, as fractions of its length.
    struct Stretch {
        double from;
        double to;
    };
    std::vector<Stretch> read_;
};

}  // namespace zeph::extended
