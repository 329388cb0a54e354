#include "engine/locate/fft.h"

#include <cmath>
#include <numbers>
#include <utility>

#include "engine/core/reusable_buffer.h"

namespace zeph {
namespace {

struct Butterfly {
    int first;
    int second;
    std::complex<double> twiddle;
};

// Bit-reversal order and the butterflies of every stage, in the order they run.
struct Plan {
    int size = 0;
    ReusableBuffer<int> reversed;
    ReusableBuffer<Butterfly> butterflies;
    size_t butterflyCount = 0;

    bool Build(int n) {
        if (n == size) return true;
        size = 0;
        int stages = 0;
        while ((1 << stages) < n)
            ++stages;
        const size_t count = static_cast<size_t>(n / 2) * stages;
        if (!reversed.Ensure(static_cast<size_t>(n)) || !butterflies.Ensure(count)) return false;
        for (int i = 0; i < n; ++i) {
            int r = 0;
            for (int b = 0; b < stages; ++b)
                r |= ((i >> b) & 1) << (stages - 1 - b);
            reversed[i] = r;
        }
        size_t k = 0;
        for (int width = 1; width < n; width *= 2) {
            for (int i = 0; i < width; ++i) {
                const double angle = std::numbers::pi * i / width;
                const std::complex<double> w(std::cos(angle), -std::sin(angle));
                for (int f = i; f < n; f += 2 * width)
                    butterflies[k++] = {f, f + width, w};
            }
        }
        butterflyCount = k;
        size = n;
        return true;
    }
};

// Not inlined, for the reason the matcher's scratch accessor gives.
[[gnu::noinline]] Plan& CachedPlan() {
    thread_local Plan plan;
    return plan;
}

void RunButterflies(const Plan& plan, std::span<std::complex<double>> data) {
    const Butterfly* b = plan.butterflies.data();
    for (size_t k = 0; k < plan.butterflyCount; ++k) {
        const std::complex<double> t = b[k].twiddle * data[b[k].second];
        data[b[k].second] = data[b[k].first] - t;
        data[b[k].first] += t;
    }
}

}  // namespace

bool TransformInPlace(std::span<std::complex<double>> data) {
    Plan& plan = CachedPlan();
    const int n = static_cast<int>(data.size());
    if (!plan.Build(n)) return false;
    for (int i = 0; i < n; ++i) {
        const int r = plan.reversed[i];
        if (r > i) std::swap(data[i], data[r]);
    }
    RunButterflies(plan, data);
    return true;
}

bool TransformReal(std::span<const double> in, std::span<std::complex<double>> out) {
    Plan& plan = CachedPlan();
    const int n = static_cast<int>(in.size());
    if (!plan.Build(n)) return false;
    for (int i = 0; i < n; ++i)
        out[plan.reversed[i]] = {in[i], 0.0};
    RunButterflies(plan, out);
    return true;
}

}  // namespace zeph
