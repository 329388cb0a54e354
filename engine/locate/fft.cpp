#include "engine/locate/fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

#include "engine/core/avx2_clones.h"
#include "engine/core/reusable_buffer.h"
#include "engine/locate/four_doubles.h"

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

// Four transforms at once, lane by lane, with the arithmetic of
// RunButterflies: t = (wr br + (-wi) bi, wr bi + wi br), then a - t and a + t.
using Four = FourDoubles;

// One twiddle factor in every lane.
struct FourTwiddles {
    Four wr;
    Four wi;
    Four minusWi;
    explicit FourTwiddles(std::complex<double> w)
        : wr{w.real(), w.real(), w.real(), w.real()},
          wi{w.imag(), w.imag(), w.imag(), w.imag()},
          minusWi(-wi) {}
};

// Four values of one place, real and imaginary parts apart.
struct FourValues {
    Four re;
    Four im;
    void Load(const double* re4, const double* im4) {
        LoadFourDoubles(re, re4);
        LoadFourDoubles(im, im4);
    }
    void Store(double* re4, double* im4) const {
        StoreFourDoubles(re4, re);
        StoreFourDoubles(im4, im);
    }
};

void Butterfly(FourValues& a, FourValues& b, const FourTwiddles& w) {
    const Four tr = w.wr * b.re + w.minusWi * b.im;
    const Four ti = w.wr * b.im + w.wi * b.re;
    b.re = a.re - tr;
    b.im = a.im - ti;
    a.re = a.re + tr;
    a.im = a.im + ti;
}

// Two stages at a time where they fit: the four values that stages `width`
// and 2 `width` combine stay in registers between them. Each butterfly still
// takes what the stage before gave, so the results are those of one stage at
// a time.
ZEPH_AVX2_CLONES void RunFourButterflies(const Plan& plan, double* re, double* im) {
    const int n = plan.size;
    const std::complex<double>* twiddles = plan.twiddles.data();
    int width = 1;
    for (; 2 * width < n; width *= 4) {
        const std::complex<double>* first = twiddles + (width - 1);
        const std::complex<double>* second = twiddles + (2 * width - 1);
        for (int i = 0; i < width; ++i) {
            const FourTwiddles w1(first[i]);
            const FourTwiddles w2(second[i]);
            const FourTwiddles w3(second[i + width]);
            for (int base = i; base < n; base += 4 * width) {
                double* r0 = re + 4 * base;
                double* i0 = im + 4 * base;
                const int step = 4 * width;
                FourValues x0;
                FourValues x1;
                FourValues x2;
                FourValues x3;
                x0.Load(r0, i0);
                x1.Load(r0 + step, i0 + step);
                x2.Load(r0 + 2 * step, i0 + 2 * step);
                x3.Load(r0 + 3 * step, i0 + 3 * step);
                Butterfly(x0, x1, w1);
                Butterfly(x2, x3, w1);
                Butterfly(x0, x2, w2);
                Butterfly(x1, x3, w3);
                x0.Store(r0, i0);
                x1.Store(r0 + step, i0 + step);
                x2.Store(r0 + 2 * step, i0 + 2 * step);
                x3.Store(r0 + 3 * step, i0 + 3 * step);
            }
        }
    }
    if (width < n) {
        const std::complex<double>* last = twiddles + (width - 1);
        for (int i = 0; i < width; ++i) {
            const FourTwiddles w(last[i]);
            FourValues a;
            FourValues b;
            a.Load(re + 4 * i, im + 4 * i);
            b.Load(re + 4 * (i + width), im + 4 * (i + width));
            Butterfly(a, b, w);
            a.Store(re + 4 * i, im + 4 * i);
            b.Store(re + 4 * (i + width), im + 4 * (i + width));
        }
    }
}

}  // namespace

std::span<const int> BitReversedOrder(int n) {
    Plan& plan = CachedPlan();
    if (n < 1 || !plan.Build(n)) return {};
    return {plan.reversed.data(), static_cast<size_t>(n)};
}

bool TransformFourReversed(std::span<double> re, std::span<double> im, int n) {
    const auto values = 4 * static_cast<size_t>(n);
    if (n < 1 || re.size() < values || im.size() < values) return false;
    Plan& plan = CachedPlan();
    if (!plan.Build(n)) return false;
    RunFourButterflies(plan, re.data(), im.data());
    return true;
}

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
