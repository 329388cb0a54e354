#include "tests/support/signal_renderer.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <stdexcept>
#include <vector>

namespace zeph::test {
namespace {

struct Run {
    double begin;  // in modules
    double end;
    bool dark;
};

std::vector<Run> DarkRuns(std::string_view modules, int quiet) {
    std::vector<Run> runs;
    for (size_t i = 0; i < modules.size(); ++i) {
        const bool dark = modules[i] == '1';
        const double at = quiet + static_cast<double>(i);
        if (!runs.empty() && runs.back().dark == dark && runs.back().end == at) {
            runs.back().end = at + 1;
        } else {
            runs.push_back({at, at + 1, dark});
        }
    }
    std::erase_if(runs, [](const Run& r) { return !r.dark; });
    return runs;
}

void JitterEdges(std::vector<Run>& runs, double jitter, std::mt19937& rng) {
    std::uniform_real_distribution<double> shift(-jitter, jitter);
    for (Run& r : runs) {
        r.begin += shift(rng);
        r.end += shift(rng);
    }
    // Keep every bar and every gap at least a fifth of a module wide.
    for (size_t i = 0; i < runs.size(); ++i) {
        if (i > 0) runs[i].begin = std::max(runs[i].begin, runs[i - 1].end + 0.2);
        runs[i].end = std::max(runs[i].end, runs[i].begin + 0.2);
    }
}

std::vector<double> Blur(const std::vector<double>& in, double sigma) {
    const int radius = static_cast<int>(std::ceil(3 * sigma));
    std::vector<double> kernel(2 * radius + 1);
    for (int i = -radius; i <= radius; ++i)
        kernel[i + radius] = std::exp(-0.5 * i * i / (sigma * sigma));
    const double total = std::accumulate(kernel.begin(), kernel.end(), 0.0);
    std::vector<double> out(in.size());
    const int n = static_cast<int>(in.size());
    for (int i = 0; i < n; ++i) {
        double acc = 0;
        for (int d = -radius; d <= radius; ++d) {
            const int j = std::clamp(i + d, 0, n - 1);  // edges extend the quiet zone
            acc += kernel[d + radius] * in[j];
        }
        out[i] = acc / total;
    }
    return out;
}

}  // namespace

ScanSignalPtr RenderModules(std::string_view modules, const RenderOptions& o) {
    const double k = o.samplesPerModule;
    if (k <= 0) throw std::invalid_argument("samplesPerModule must be positive");
    std::mt19937 rng(o.seed);
    std::vector<Run> runs = DarkRuns(modules, o.quietModules);
    if (o.edgeJitter > 0) JitterEdges(runs, o.edgeJitter, rng);

    const double totalModules = static_cast<double>(modules.size()) + 2.0 * o.quietModules;
    const int32_t natural = static_cast<int32_t>(std::ceil(totalModules * k + o.offset));
    const int32_t count = o.sampleCount > 0 ? o.sampleCount : natural;

    // Brightness of each sample: 1 minus the dark fraction of its footprint.
    std::vector<double> light(count, 1.0);
    for (const Run& r : runs) {
        const double from = r.begin * k + o.offset;
        const double to = r.end * k + o.offset;
        const int first = std::max(0, static_cast<int>(std::floor(from)));
        const int last = std::min(count - 1, static_cast<int>(std::ceil(to)) - 1);
        for (int i = first; i <= last; ++i) {
            const double covered = std::min(to, i + 1.0) - std::max(from, double(i));
            if (covered > 0) light[i] -= covered;
        }
    }
    if (o.blurSigma > 0) light = Blur(light, o.blurSigma);
    if (o.noise > 0) {
        std::uniform_real_distribution<double> noise(-o.noise, o.noise);
        for (double& v : light)
            v += noise(rng);
    }

    ScanSignalPtr signal = XR_NewScanSignal(count, 21, 1, 0.5f, o.shiftRange);
    if (!signal) throw std::runtime_error("cannot create scan signal");
    const double mean = count > 0 ? std::accumulate(light.begin(), light.end(), 0.0) / count : 0.0;
    for (int32_t i = 0; i < count; ++i)
        signal->samples[i] = static_cast<float>(light[i] - mean);
    XR_FindBars(*signal);
    return signal;
}

std::string WidthsToModules(std::string_view widths) {
    std::string modules;
    bool bar = true;
    for (char w : widths) {
        if (w < '1' || w > '9') throw std::invalid_argument("element widths are 1 to 9");
        modules.append(static_cast<size_t>(w - '0'), bar ? '1' : '0');
        bar = !bar;
    }
    return modules;
}

}  // namespace zeph::test
