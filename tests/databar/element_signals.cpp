#include "tests/databar/element_signals.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zeph::test {

ScanSignalPtr DrawElements(const std::vector<int32_t>& widths, const ElementDrawing& d) {
    // Bar intervals in modules, paper before the first.
    std::vector<std::pair<double, double>> bars;
    double at = d.quietModules;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (i % 2 == 0) {
            bars.push_back({at - d.inkSpread / 2, at + widths[i] + d.inkSpread / 2});
        }
        at += widths[i];
    }
    const double modules = at + d.quietModules;
    // Module position of sample position s, the module growing along.
    const double base = d.samplesPerModule;
    const auto moduleAt = [&](double s) {
        // s = base * (m + growth * m^2 / (2 * modules)), solved for m.
        if (d.growth == 0) return s / base;
        const double a = base * d.growth / (2 * modules);
        return (-base + std::sqrt(base * base + 4 * a * s)) / (2 * a);
    };
    const double last = base * (modules + d.growth * modules / 2);
    const auto n = static_cast<int32_t>(std::ceil(last));
    std::vector<double> ink(static_cast<size_t>(n), 0.0);
    constexpr int kSubsamples = 16;
    for (int32_t i = 0; i < n; ++i) {
        int covered = 0;
        for (int k = 0; k < kSubsamples; ++k) {
            const double m = moduleAt(i + (k + 0.5) / kSubsamples);
            covered += std::any_of(bars.begin(), bars.end(),
                                   [m](const auto& b) { return m >= b.first && m < b.second; });
        }
        ink[static_cast<size_t>(i)] = double(covered) / kSubsamples;
    }
    if (d.blurSigma > 0) {
        const int radius = static_cast<int>(std::ceil(3 * d.blurSigma));
        std::vector<double> blurred(ink.size(), 0.0);
        for (int32_t i = 0; i < n; ++i) {
            double sum = 0;
            double weights = 0;
            for (int k = -radius; k <= radius; ++k) {
                const int32_t j = std::clamp(i + k, 0, n - 1);
                const double w = std::exp(-0.5 * k * k / (d.blurSigma * d.blurSigma));
                sum += w * ink[static_cast<size_t>(j)];
                weights += w;
            }
            blurred[static_cast<size_t>(i)] = sum / weights;
        }
        ink = blurred;
    }
    ScanSignalPtr signal = XR_NewScanSignal(n, 1, 1, 0.5f, 1);
    for (int32_t i = 0; i < n; ++i)
        signal->samples[i] = static_cast<float>(0.5 - ink[static_cast<size_t>(i)]);
    XR_FindBars(*signal);
    return signal;
}

std::vector<int32_t> ElementWidths(const std::string& modules) {
    std::vector<int32_t> widths;
    const size_t first = modules.find('1');
    const size_t last = modules.rfind('1');
    if (first == std::string::npos) return widths;
    for (size_t i = first; i <= last; ++i) {
        if (i == first || modules[i] != modules[i - 1]) {
            widths.push_back(1);
        } else {
            ++widths.back();
        }
    }
    return widths;
}

std::string ModulesOfWidths(const std::vector<int32_t>& widths) {
    std::string modules;
    for (size_t i = 0; i < widths.size(); ++i)
        modules.append(static_cast<size_t>(widths[i]), i % 2 == 0 ? '1' : '0');
    return modules;
}

zeph::databar::EdgeList EdgesOf(const ScanSignal& signal) {
    zeph::databar::EdgeList list;
    const auto bars = static_cast<size_t>(signal.barCount);
    list.Build(signal.Samples(), {signal.barStarts.get(), bars}, {signal.barEnds.get(), bars});
    return list;
}

}  // namespace zeph::test
