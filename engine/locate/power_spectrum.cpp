#include "engine/locate/power_spectrum.h"

#include <algorithm>
#include <complex>

#include "engine/core/avx2_clones.h"
#include "engine/core/reusable_buffer.h"
#include "engine/locate/fft.h"
#include "engine/locate/four_doubles.h"

namespace zeph {
namespace {

// Four transforms run side by side (see TransformFourReversed): four rows at
// a time, then four columns at a time. Turning four rows' values into four
// columns' is a 4 x 4 transpose of registers.
constexpr int kLanes = 4;
using Four = FourDoubles;

// Four vectors from p, each `stride` values after the one before.
void LoadFour(Four (&v)[4], const double* p, size_t stride) {
    for (size_t k = 0; k < 4; ++k)
        LoadFourDoubles(v[k], p + k * stride);
}

// Rows a, b, c, d become columns: a holds lane 0 of each, b lane 1, ...
void Transpose(Four& a, Four& b, Four& c, Four& d) {
    const Four ab0 = __builtin_shufflevector(a, b, 0, 4, 2, 6);
    const Four ab1 = __builtin_shufflevector(a, b, 1, 5, 3, 7);
    const Four cd0 = __builtin_shufflevector(c, d, 0, 4, 2, 6);
    const Four cd1 = __builtin_shufflevector(c, d, 1, 5, 3, 7);
    a = __builtin_shufflevector(ab0, cd0, 0, 1, 4, 5);
    b = __builtin_shufflevector(ab1, cd1, 0, 1, 4, 5);
    c = __builtin_shufflevector(ab0, cd0, 2, 3, 6, 7);
    d = __builtin_shufflevector(ab1, cd1, 2, 3, 6, 7);
}

// Four values of four places each: place p's vector lies at base + 4 order[p].
void TransposeInto(const Four (&rows)[kLanes], double* base, const int* order) {
    Four a = rows[0];
    Four b = rows[1];
    Four c = rows[2];
    Four d = rows[3];
    Transpose(a, b, c, d);
    StoreFourDoubles(base + kLanes * order[0], a);
    StoreFourDoubles(base + kLanes * order[1], b);
    StoreFourDoubles(base + kLanes * order[2], c);
    StoreFourDoubles(base + kLanes * order[3], d);
}

struct Planes {
    double* rowRe;
    double* rowIm;
    double* columnRe;  // one batch of four columns after the other
    double* columnIm;
};

// Rows v0..v0+3 into the row planes, each at its bit-reversed place.
ZEPH_AVX2_CLONES void GatherRows(const double* window, int n, int v0, const int* order,
                                 const Planes& p) {
    const double* rows = window + static_cast<size_t>(v0) * n;
    for (int i = 0; i < n; i += kLanes) {
        Four values[kLanes];
        LoadFour(values, rows + i, static_cast<size_t>(n));
        TransposeInto(values, p.rowRe, order + i);
    }
    std::fill_n(p.rowIm, static_cast<size_t>(kLanes) * n, 0.0);
}

// Value u of rows v0..v0+3 is value v0..v0+3 of column u: lane u % 4 of
// batch u / 4, at the rows' bit-reversed places.
ZEPH_AVX2_CLONES void ScatterToColumns(int n, int v0, int columns, const int* order,
                                       const Planes& p) {
    const size_t batch = static_cast<size_t>(kLanes) * n;
    for (int u = 0; u < columns; u += kLanes) {
        const double* re = p.rowRe + kLanes * u;
        const double* im = p.rowIm + kLanes * u;
        Four realParts[kLanes];
        Four imaginaryParts[kLanes];
        LoadFour(realParts, re, kLanes);
        LoadFour(imaginaryParts, im, kLanes);
        const size_t at = static_cast<size_t>(u / kLanes) * batch;
        TransposeInto(realParts, p.columnRe + at, order + v0);
        TransposeInto(imaginaryParts, p.columnIm + at, order + v0);
    }
}

// The powers of batch b's columns into rows 4b..4b+3 of the window, those up
// to `last` only.
ZEPH_AVX2_CLONES void WritePowers(double* window, int n, int b, int last, const Planes& p) {
    const size_t batch = static_cast<size_t>(kLanes) * n;
    const double* re = p.columnRe + b * batch;
    const double* im = p.columnIm + b * batch;
    const int rows = std::min(kLanes, last - kLanes * b + 1);
    for (int v = 0; v < n; v += kLanes) {
        Four power[kLanes];
        for (int k = 0; k < kLanes; ++k) {
            Four r;
            Four i;
            LoadFourDoubles(r, re + kLanes * (v + k));
            LoadFourDoubles(i, im + kLanes * (v + k));
            power[k] = r * r + i * i;
        }
        Transpose(power[0], power[1], power[2], power[3]);
        for (int j = 0; j < rows; ++j)
            StoreFourDoubles(window + static_cast<size_t>(kLanes * b + j) * n + v, power[j]);
    }
}

// A 2 x 2 window has too few rows and columns for four lanes.
bool PowerSpectrumOfTwo(std::span<double> window) {
    std::complex<double> m[2][2];
    for (int r = 0; r < 2; ++r) {
        if (!TransformReal(window.subspan(static_cast<size_t>(2 * r), 2), m[r])) return false;
    }
    std::swap(m[0][1], m[1][0]);
    for (int u = 0; u < 2; ++u) {
        if (!TransformInPlace(m[u])) return false;
        for (int v = 0; v < 2; ++v)
            window[static_cast<size_t>(2 * u + v)] = std::norm(m[u][v]);
    }
    return true;
}

}  // namespace

bool PowerSpectrum(std::span<double> window, int n) {
    if (n < 2 || (n & (n - 1)) != 0 || window.size() < static_cast<size_t>(n) * n) return false;
    if (n == 2) return PowerSpectrumOfTwo(window);
    const int half = n / 2;
    const int batches = half / kLanes + 1;
    const size_t batch = static_cast<size_t>(kLanes) * n;
    thread_local ReusableBuffer<double> rowRe;
    thread_local ReusableBuffer<double> rowIm;
    thread_local ReusableBuffer<double> columnRe;
    thread_local ReusableBuffer<double> columnIm;
    const size_t columnValues = static_cast<size_t>(batches) * batch;
    if (!rowRe.Ensure(batch) || !rowIm.Ensure(batch) || !columnRe.Ensure(columnValues) ||
        !columnIm.Ensure(columnValues)) {
        return false;
    }
    const std::span<const int> order = BitReversedOrder(n);
    if (order.empty()) return false;
    const Planes p{rowRe.data(), rowIm.data(), columnRe.data(), columnIm.data()};

    for (int v0 = 0; v0 < n; v0 += kLanes) {
        GatherRows(window.data(), n, v0, order.data(), p);
        if (!TransformFourReversed(rowRe.span(), rowIm.span(), n)) return false;
        ScatterToColumns(n, v0, kLanes * batches, order.data(), p);
    }
    for (int b = 0; b < batches; ++b) {
        if (!TransformFourReversed(columnRe.span().subspan(b * batch, batch),
                                   columnIm.span().subspan(b * batch, batch), n)) {
            return false;
        }
        WritePowers(window.data(), n, b, half, p);
    }
    return true;
}

}  // namespace zeph
