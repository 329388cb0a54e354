#include "engine/extended/line_reader.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "engine/core/dispatch.h"
#include "engine/extended/read_ledger.h"
#include "engine/further/further.h"

namespace zeph::extended {
namespace {

// How far beyond its outer bars a read's reported line reaches, in narrow
// widths: about half a quiet zone, as the trimmed lines of the engine's own
// searches do.
constexpr double kReportedMargin = 5.0;

// Whether the point at `fraction` of the line lies on one of the records' lines.
bool OnARecord(const Line& line, double fraction, std::span<const MatchRecord> records) {
    const double x = line.x0 + fraction * (double(line.x1) - line.x0);
    const double y = line.y0 + fraction * (double(line.y1) - line.y0);
    return std::any_of(records.begin(), records.end(),
                       [&](const MatchRecord& r) { return LiesOn(r, x, y); });
}

}  // namespace

bool LineReader::Prepare(const ReaderConfig& config) {
    if (!line_) line_ = XR_NewScanSignal(kMaxSamples, 1, 1, 0.5f, 1);
    if (!window_) window_ = XR_NewScanSignal(kWindowSamples, 1, 1, 0.5f, 1);
    if (!line_ || !window_) return false;
    window_->shiftRange = line_->shiftRange = config.scan ? config.scan->shiftRange : 1;
    line_->sharpening = config.scan ? config.scan->sharpening : 0.5f;
    try {
        starts_.reserve(kWindowSamples);
        ends_.reserve(kWindowSamples);
        read_.reserve(kStretchesKept);
    } catch (...) {
        return false;
    }
    return true;
}

int LineReader::Read(const Picture& picture, const Line& line, const ReaderConfig& config,
                     const LineOptions& options, std::vector<LineRead>& reads) {
    if (!Prepare(config)) return -1;
    const double length = std::hypot(double(line.x1) - line.x0, double(line.y1) - line.y0);
    if (!(length >= 2)) return 0;
    const auto n = static_cast<int32_t>(std::clamp(std::ceil(length * options.samplesPerPixel),
                                                   double(kFewestSamples), double(kMaxSamples)));

    ScanSignal& scan = *line_;
    scan.sampleCount = n;
    scan.pathCount = options.pathCount;
    scan.pathSpacing = options.pathSpacing;
    scan.imageWidth = picture.width;
    scan.imageHeight = picture.height;
    scan.startX = line.x0;
    scan.startY = line.y0;
    scan.stopX = line.x1;
    scan.stopY = line.y1;
    hasSampled_ = false;
    if (!SuperResolveWith(picture.values, picture.height, picture.width, scan, store_)) return -1;
    sampled_ = line;
    hasSampled_ = true;

    window_->imageWidth = picture.width;
    window_->imageHeight = picture.height;
    localReady_ = false;
    read_.clear();
    int32_t longest = 0;
    for (const int32_t variant : {LineOptions::kPlain, LineOptions::kLocal, LineOptions::kCrisp}) {
        if (!(options.variants & variant)) continue;
        if (ReadVariant(picture, line, config, options, variant, reads, longest) < 0) return -1;
    }
    return longest;
}

std::span<const float> LineReader::SamplesOf(const Line& l) const {
    const bool same = hasSampled_ && l.x0 == sampled_.x0 && l.y0 == sampled_.y0 &&
                      l.x1 == sampled_.x1 && l.y1 == sampled_.y1;
    if (!same) return {};
    return line_->Samples();
}

int LineReader::ReadVariant(const Picture& picture, const Line& line, const ReaderConfig& config,
                            const LineOptions& options, int32_t variant,
                            std::vector<LineRead>& reads, int32_t& longest) {
    const int32_t n = line_->sampleCount;
    const std::span<const float> samples = line_->Samples();
    if (variant != LineOptions::kPlain && !localReady_) {
        try {
            local_.assign(samples.begin(), samples.end());
        } catch (...) {
            return -1;
        }
        if (!threshold_.Apply(local_, NarrowElementWidth(local_, starts_))) return -1;
        localReady_ = true;
    }
    const std::span<const float> source =
        variant == LineOptions::kPlain ? samples : std::span<const float>(local_);
    int32_t scale = 1;
    if (variant == LineOptions::kCrisp)
        scale = std::max(1, std::min({options.crispScale, kMaxSamples / n, kMaxCrispScale}));
    const int32_t m = n * scale;

    // Where the line meets the picture's border, the frame may have cut off
    // the quiet zone and even part of the outer bar: the signal goes on as
    // paper there, so that a bar touching the border is still a bar.
    const int32_t pad = kBorderPad * scale;
    SampleMap map;
    map.variant = variant;
    map.scale = scale;
    map.lineSamples = n;
    map.padStart = options.startAtBorder ? pad : 0;
    map.padStop = options.stopAtBorder ? pad : 0;
    map.total = map.padStart + m + map.padStop;
    float paper = 1.0f;
    if (variant != LineOptions::kCrisp) {
        double sum = 0;
        int32_t count = 0;
        for (const float v : source) {
            if (v > 0) {
                sum += v;
                ++count;
            }
        }
        paper = count > 0 ? static_cast<float>(sum / count) : 1.0f;
    }

    ScanSignal& window = *window_;
    float* out = window.samples.get();
    std::fill_n(out, map.padStart, paper);
    if (variant == LineOptions::kCrisp) {
        crisp_.Render(source, scale, {out + map.padStart, static_cast<size_t>(m)});
    } else {
        std::copy(source.begin(), source.end(), out + map.padStart);
    }
    std::fill_n(out + map.padStart + m, map.padStop, paper);

    if (!edges_.Find({out, static_cast<size_t>(map.total)})) return -1;
    for (const bool reversed : {false, true}) {
        if (reversed) std::reverse(out, out + map.total);
        map.reversed = reversed;
        window.sampleCount = map.total;
        if (reversed)
            edges_.Reversed(window);
        else
            edges_.Forward(window);
        // DataBar reads the whole line, both ways at once.
        if (!reversed && !ReadDataBar(picture, line, config, options, map, reads)) return -1;
        if (ReadWindows(line, config, options, map, reads) < 0) return -1;
        longest = std::max(longest, finder_.LongestRun());
    }
    return 0;
}

bool LineReader::ReadDataBar(const Picture& picture, const Line& line, const ReaderConfig& config,
                             const LineOptions& options, const SampleMap& map,
                             std::vector<LineRead>& reads) {
    if (map.variant == LineOptions::kCrisp) return true;
    const ScanSignal& window = *window_;
    const databar::LineGeometry geometry{double(line.x0),      double(line.y0),
                                         double(line.x1),      double(line.y1),
                                         double(map.padStart), double(map.scale) * map.lineSamples};
    const auto bars = static_cast<size_t>(window.barCount);
    const databar::LineSignal signal{{window.samples.get(), static_cast<size_t>(map.total)},
                                     {window.barStarts.get(), bars},
                                     {window.barEnds.get(), bars}};
    const databar::ReadSettings settings{config.protocolMask, config.minConfidence,
                                         options.pathCount, map.variant, line_->redundancy};
    return databar_.Read(picture, geometry, signal, settings, reads);
}

int LineReader::ReadWindows(const Line& line, const ReaderConfig& config,
                            const LineOptions& options, const SampleMap& map,
                            std::vector<LineRead>& reads) {
    ScanSignal& window = *window_;
    const int32_t n = window.sampleCount;
    const int32_t bars = window.barCount;
    starts_.assign(window.barStarts.get(), window.barStarts.get() + bars);
    ends_.assign(window.barEnds.get(), window.barEnds.get() + bars);
    int32_t signalStart = 0;
    while (signalStart < n && window.samples[signalStart] < 0)
        ++signalStart;
    const BarList list{starts_, ends_, n, signalStart};
    if (!endPatterns_.Reset({window.samples.get(), static_cast<size_t>(n)}, list)) return -1;
    // Patch codes (four bars, no check) are left to the engine's own searches.
    const int32_t enabled = config.protocolMask & ~kPatchCode;
    // The further symbologies screen their own windows (their start and stop
    // tests come first and are cheap).
    const int32_t further = config.protocolMask & further::kDecoderBits;
    // The window's line in reading direction, for decoders that read one way.
    window.startX = map.reversed ? line.x1 : line.x0;
    window.startY = map.reversed ? line.y1 : line.y0;
    window.stopX = map.reversed ? line.x0 : line.x1;
    window.stopY = map.reversed ? line.y0 : line.y1;
    // A dark run that reaches the picture's border may be a bar cut by the
    // frame or the background beyond the label: windows are read with it and
    // without it, and without it the border stands for the quiet zone.
    const bool lowBorder = map.reversed ? options.stopAtBorder : options.startAtBorder;
    const bool highBorder = map.reversed ? options.startAtBorder : options.stopAtBorder;
    const int32_t padLow = map.reversed ? map.padStop : map.padStart;
    const int32_t padHigh = map.reversed ? map.padStart : map.padStop;
    const bool firstAtBorder = lowBorder && bars > 0 && starts_[0] <= padLow + 1;
    const bool lastAtBorder = highBorder && bars > 0 && ends_[bars - 1] >= n - padHigh - 1;

    for (const Window& w : finder_.Find(list)) {
        const int32_t last = w.first + w.count - 1;
        const double from = map.LineFraction(starts_[w.first]);
        const double to = map.LineFraction(ends_[last]);
        const Stretch stretch{std::min(from, to), std::max(from, to)};
        // Half of it read already (by an earlier signal of this line).
        const bool done = std::any_of(read_.begin(), read_.end(), [&](const Stretch& r) {
            const double overlap = std::min(r.to, stretch.to) - std::max(r.from, stretch.from);
            return overlap > 0.5 * (stretch.to - stretch.from);
        });
        if (done) continue;
        // The decoders see the window alone; the bars around it must keep
        // their distance, or the window is a piece of something longer. That
        // holds whatever the window reads as, so it is asked first, before
        // even its end patterns: inside a run, the windows that leave bars out
        // mostly fail it.
        const bool edgeBefore = lowBorder && (w.first == 0 || (w.first == 1 && firstAtBorder));
        const bool edgeAfter =
            highBorder && (last == bars - 1 || (last == bars - 2 && lastAtBorder));
        if (!finder_.KeepsQuietZones(list, w, edgeBefore, edgeAfter)) continue;
        const int32_t mask = enabled & endPatterns_.Plausible(w.first, last);
        if (mask == 0 && further == 0) continue;
        std::copy_n(starts_.begin() + w.first, w.count, window.barStarts.get());
        std::copy_n(ends_.begin() + w.first, w.count, window.barEnds.get());
        window.barCount = w.count;
        // The window's signal ends before the next bar, so its last bar has an end.
        window.sampleCount = last + 1 < bars ? starts_[last + 1] : n;

        MatchRecord record;
        record.confidence = config.minConfidence;
        int r = XR_DecodeSignalWith(Decoders(), window, mask, record, false);
        if (r >= 0 && further != 0) {
            const int f = further::DecodeWindow(window, further, record);
            r = f < 0 ? -1 : (r | f);
        }
        if (r == 0 && mask != 0) r = widths_.Decode(window, mask, record);
        const bool fromProfile = r == 0 && mask != 0 && map.variant == LineOptions::kPlain &&
                                 !OnARecord(line, 0.5 * (from + to), options.read);
        if (fromProfile) r = widths_.DecodeProfile(window, mask, record);
        window.sampleCount = n;
        if (r < 0) return -1;
        if (r == 0) continue;
        // Without its add-on the symbol is read from its own window, whose
        // extent is the symbol's.
        if (w.withAddOn && XR_TextOf(record.rawData).find(" + ") == std::string_view::npos)
            continue;

        LineRead read;
        read.record = record;
        read.quiet = finder_.QuietZonesOf(list, w);
        read.trimmed = w.trimmed;
        read.bars = w.count;
        read.variant = map.variant;
        read.fromProfile = fromProfile;
        read.pathCount = options.pathCount;
        read.edgeBefore = edgeBefore;
        read.edgeAfter = edgeAfter;
        // A symbol without start and stop needs paper for its quiet zones:
        // the border may have cut it.
        if ((read.edgeBefore || read.edgeAfter) && !further::MayTouchBorder(record)) {
            const double least = WindowFinder::kQuietZone * finder_.NarrowWidth(list, w);
            if ((read.edgeBefore && starts_[w.first] - padLow < least) ||
                (read.edgeAfter && n - padHigh - ends_[last] < least)) {
                continue;
            }
        }

        // The window's extent on the line, in the reading direction.
        const double margin = kReportedMargin * finder_.NarrowWidth(list, w);
        const double a = map.LineFraction(starts_[w.first] - margin);
        const double b = map.LineFraction(ends_[last] + margin);
        const double dx = double(line.x1) - line.x0;
        const double dy = double(line.y1) - line.y0;
        MatchRecord& m = read.record;
        m.startX = NearestPixel(line.x0 + a * dx);
        m.startY = NearestPixel(line.y0 + a * dy);
        m.stopX = NearestPixel(line.x0 + b * dx);
        m.stopY = NearestPixel(line.y0 + b * dy);
        m.centreX = NearestPixel(line.x0 + 0.5 * (a + b) * dx);
        m.centreY = NearestPixel(line.y0 + 0.5 * (a + b) * dy);
        m.redundancy = line_->redundancy;
        reads.push_back(read);
        // The signals after this one may still read the stretch with templates.
        if (!fromProfile) read_.push_back(stretch);
    }
    return 0;
}

}  // namespace zeph::extended
