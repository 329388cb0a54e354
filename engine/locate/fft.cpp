#include "engine/locate/fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

#include "engine/core/avx2_clones.h"
#include "engine/core/reusable_buffer.h"

namespace zeph {
namespace {

// Bit-reversal order and the twiddle factors of every stage: stage s (width
// 2^s) keeps its 2^s factors from offset 2^s - 1.
struct Plan {
    int size = 0;
    ReusableBuffer<int> reversed;
    ReusableBuffer<std::complex<double>> twiddles;

    bool Build(int n) {
        if (n == size) return true;
        size = 0;
        int stages = 0;
        while ((1 << stages) < n)
            ++stages;
        if (!reversed.Ensure(static_cast<size_t>(n)) ||
            !twiddles.Ensure(static_cast<size_t>(std::max(1, n - 1)))) {
            return false;
        }
        for (int i = 0; i < n; ++i) {
            int r = 0;
            for (int b = 0; b < stages; ++b)
                r |= ((i >> b) & 1) << (stages - 1 - b);
            reversed[i] = r;
        }
        for (int width = 1; width < n; width *= 2) {
            for (int i = 0; i < width; ++i) {
                const double angle = std::numbers::pi * i / width;
                twiddles[static_cast<size_t>(width - 1 + i)] = {std::cos(angle), -std::sin(angle)};
            }
        }
        size = n;
        return true;
    }
};

// Not inlined, for the reason the matcher's scratch accessor gives.
[[gnu::noinline]] Plan& CachedPlan() {
    thread_local Plan plan;
    return plan;
}

// A complex value as a pair of doubles in one vector register, and two of
// them side by side.
using Pair = double __attribute__((vector_size(16)));
using TwoPairs = double __attribute__((vector_size(32)));

// The butterflies stage by stage. The butterflies of one stage touch disjoint
// pairs of values, so the order they run in does not matter; from the second
// stage on, two neighbouring ones (consecutive twiddles) run side by side.
// The product w * x is formed lane by lane as (wr xr + (-wi) xi,
// wr xi + wi xr): the compiler's own complex product (wr xr - wi xi,
// wr xi + wi xr) for finite values, since negation and subtraction are exact;
// every result is the same to the bit as one butterfly at a time.
ZEPH_AVX2_CLONES void RunButterflies(const Plan& plan, std::span<std::complex<double>> data) {
    const int n = static_cast<int>(data.size());
    double* d = reinterpret_cast<double*>(data.data());
    if (n >= 2) {
        const std::complex<double> w = plan.twiddles.data()[0];
        const Pair wr = {w.real(), w.real()};
        const Pair wi = {-w.imag(), w.imag()};
        for (int f = 0; f < n; f += 2) {
            Pair a;
            Pair b;
            std::memcpy(&a, d + 2 * f, sizeof a);
            std::memcpy(&b, d + 2 * f + 2, sizeof b);
            const Pair t = wr * b + wi * __builtin_shufflevector(b, b, 1, 0);
            const Pair low = a - t;
            const Pair high = a + t;
            std::memcpy(d + 2 * f + 2, &low, sizeof low);
            std::memcpy(d + 2 * f, &high, sizeof high);
        }
    }
    for (int width = 2; width < n; width *= 2) {
        const std::complex<double>* w = plan.twiddles.data() + (width - 1);
        for (int base = 0; base < n; base += 2 * width) {
            for (int i = 0; i < width; i += 2) {
                const TwoPairs wr = {w[i].real(), w[i].real(), w[i + 1].real(), w[i + 1].real()};
                const TwoPairs wi = {-w[i].imag(), w[i].imag(), -w[i + 1].imag(), w[i + 1].imag()};
                double* pa = d + 2 * (base + i);
                double* pb = pa + 2 * width;
                TwoPairs a;
                TwoPairs b;
                std::memcpy(&a, pa, sizeof a);
                std::memcpy(&b, pb, sizeof b);
                const TwoPairs t = wr * b + wi * __builtin_shufflevector(b, b, 1, 0, 3, 2);
                const TwoPairs low = a - t;
                const TwoPairs high = a + t;
                std::memcpy(pb, &low, sizeof low);
                std::memcpy(pa, &high, sizeof high);
            }
        }
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
