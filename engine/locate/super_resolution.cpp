#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/core/avx2_clones.h"
#include "engine/locate/four_paths_avx2.h"
#include "engine/locate/super_resolution.h"

#include "engine/core/reusable_buffer.h"
#include "engine/reader.h"

namespace {

// Largest number of path samples (paths x samples) the working storage takes;
// larger configurations fail like an allocation would.
constexpr size_t kMaxPathSamples = size_t{1} << 26;

template <typename T>
bool Fit(zeph::ReusableBuffer<T>& buffer, size_t n, bool growOnly) {
    return growOnly ? buffer.EnsureAtLeast(n) : buffer.Ensure(n);
}

// Rows past the last path, written by the lanes of a last group of four
// paths that has fewer paths than lanes.
constexpr size_t kSpareRows = 3;

bool EnsurePaths(zeph::SuperResolutionStore& store, size_t paths, size_t samples) {
    const size_t cells = zeph::CheckedProduct(paths + kSpareRows, samples, kMaxPathSamples);
    return cells != 0 && Fit(store.values, cells, store.growOnly) &&
           Fit(store.weights, cells, store.growOnly) && Fit(store.shifts, paths, store.growOnly) &&
           Fit(store.costs, 2 * samples + 1, store.growOnly);
}

// cos(2 pi t) for t = t0, t0 + step, t0 + 2 step, ...: one rotation per step
// instead of one cosine. The weights below depend on a position only through
// its fraction of a pixel, and cos(2 pi fraction) = cos(2 pi position).
class CosineWalk {
  public:
    CosineWalk(double t0, double step)
        : c_(std::cos(kTwoPi * t0)),
          s_(std::sin(kTwoPi * t0)),
          dc_(std::cos(kTwoPi * step)),
          ds_(std::sin(kTwoPi * step)) {}
    double Value() const { return c_; }
    void Next() {
        const double c = c_ * dc_ - s_ * ds_;
        s_ = s_ * dc_ + c_ * ds_;
        c_ = c;
    }

  private:
    static constexpr double kTwoPi = 6.283185307179586;
    double c_, s_, dc_, ds_;
};

// Bilinear read; outside the raster the border cell is extended with the
// fractions of the true position, so no read leaves the raster. With
// `walkWeights` the weights come from a rotation per sample rather than two
// cosines (equal to rounding, not to the last bit).
ZEPH_AVX2_CLONES void SamplePath(std::span<const int32_t> raster, int32_t height, int32_t width,
                                 double px, double py, float sx, float sy, int n, float* values,
                                 float* weights, bool walkWeights) {
    const int32_t* g = raster.data();
    double sum = 0;
    if (walkWeights) {
        CosineWalk cosX(px, sx);
        CosineWalk cosY(py, sy);
        for (int j = 0; j < n; ++j, cosX.Next(), cosY.Next()) {
            weights[j] = static_cast<float>((cosY.Value() + 1.1) * (cosX.Value() + 1.1) *
                                            0.22675736961451246);
        }
    }
    for (int j = 0; j < n; ++j, px += sx, py += sy) {
        const double ixf = std::floor(px), iyf = std::floor(py);
        const float fx = static_cast<float>(px - ixf);
        const float fy = static_cast<float>(py - iyf);
        const int cx = static_cast<int>(std::clamp(ixf, 0.0, double(width - 2)));
        const int cy = static_cast<int>(std::clamp(iyf, 0.0, double(height - 2)));
        const int32_t* r0 = g + static_cast<size_t>(cy) * width + cx;
        const int32_t* r1 = r0 + width;
        const float value =
            (fx * r0[1] + (1 - fx) * r0[0]) * (1 - fy) + fy * (fx * r1[1] + (1 - fx) * r1[0]);
        values[j] = value;
        sum += value;
        // Samples near pixel centres are trusted most.
        if (!walkWeights) {
            weights[j] =
                static_cast<float>((std::cos(6.283185307 * fy) + 1.1) *
                                   (std::cos(6.283185307 * fx) + 1.1) * 0.22675736961451246);
        }
    }
    const float mean = static_cast<float>(sum / n);
    for (int j = 0; j < n; ++j)
        values[j] -= mean;
}

// Path positions within this distance of the origin are sampled four paths
// at a time (the lines of any picture are; only absurd path spacings are not).
constexpr double kNearPositions = 1e9;

}  // namespace

namespace zeph {

// Four paths side by side, lane l being the path that starts at (px[l],
// py[l]) and writes rows l of values and weights, `stride` floats apart; only
// with walking weights and for rasters whose cells an int32_t indexes. Every
// lane runs the arithmetic of SamplePath in its order, so every value, weight
// and mean is the same to the bit; the four dependency chains of the position
// and sum overlap instead of waiting on each other. Processors with AVX2 run
// SampleFourPathsAvx2 instead, which does the same.
void SampleFourPaths(const int32_t* g, int32_t height, int32_t width, const double* px0,
                     const double* py0, float sx, float sy, int n, float* values, float* weights,
                     size_t stride) {
    using Doubles = double __attribute__((vector_size(32)));
    using Floats = float __attribute__((vector_size(16)));
    using Ints = int32_t __attribute__((vector_size(16)));
    using Pair = int32_t __attribute__((vector_size(8)));
    constexpr double kTwoPi = 6.283185307179586;
    Doubles px = {px0[0], px0[1], px0[2], px0[3]};
    Doubles py = {py0[0], py0[1], py0[2], py0[3]};
    Doubles cx = {}, sxw = {}, cy = {}, syw = {};
    for (int l = 0; l < 4; ++l) {
        cx[l] = std::cos(kTwoPi * px0[l]);
        sxw[l] = std::sin(kTwoPi * px0[l]);
        cy[l] = std::cos(kTwoPi * py0[l]);
        syw[l] = std::sin(kTwoPi * py0[l]);
    }
    const double dcx = std::cos(kTwoPi * sx), dsx = std::sin(kTwoPi * sx);
    const double dcy = std::cos(kTwoPi * sy), dsy = std::sin(kTwoPi * sy);
    const Doubles stepX = px - px + static_cast<double>(sx);
    const Doubles stepY = py - py + static_cast<double>(sy);
    const Ints lastX = Ints{} + (width - 2);
    const Ints lastY = Ints{} + (height - 2);
    const Ints zero = {};
    Doubles sum = {};
    float* const v1 = values + stride;
    float* const v2 = v1 + stride;
    float* const v3 = v2 + stride;
    float* const w1 = weights + stride;
    float* const w2 = w1 + stride;
    float* const w3 = w2 + stride;
    const auto pairAt = [g](int32_t cell) {
        Pair p;
        std::memcpy(&p, g + cell, sizeof p);
        return p;
    };
    for (int j = 0; j < n; ++j) {
        const Floats w =
            __builtin_convertvector((cy + 1.1) * (cx + 1.1) * 0.22675736961451246, Floats);
        // floor: truncation, one less where that rounded up.
        const Doubles tx = __builtin_convertvector(__builtin_convertvector(px, Ints), Doubles);
        const Doubles ty = __builtin_convertvector(__builtin_convertvector(py, Ints), Doubles);
        const Doubles ixf = tx > px ? tx - 1.0 : tx;
        const Doubles iyf = ty > py ? ty - 1.0 : ty;
        const Floats fx = __builtin_convertvector(px - ixf, Floats);
        const Floats fy = __builtin_convertvector(py - iyf, Floats);
        // The floors are whole numbers well inside int32_t: clamping them as
        // integers gives the cells clamping them as doubles would.
        const Ints ix = __builtin_convertvector(ixf, Ints);
        const Ints iy = __builtin_convertvector(iyf, Ints);
        const Ints kx = ix < 0 ? zero : ix > lastX ? lastX : ix;
        const Ints ky = iy < 0 ? zero : iy > lastY ? lastY : iy;
        const Ints cell = ky * width + kx;
        // Each lane's two cells of a row are neighbours: one 8-byte load each.
        const Ints top01 = __builtin_shufflevector(pairAt(cell[0]), pairAt(cell[1]), 0, 1, 2, 3);
        const Ints top23 = __builtin_shufflevector(pairAt(cell[2]), pairAt(cell[3]), 0, 1, 2, 3);
        const Ints low01 =
            __builtin_shufflevector(pairAt(cell[0] + width), pairAt(cell[1] + width), 0, 1, 2, 3);
        const Ints low23 =
            __builtin_shufflevector(pairAt(cell[2] + width), pairAt(cell[3] + width), 0, 1, 2, 3);
        const Floats p00 =
            __builtin_convertvector(__builtin_shufflevector(top01, top23, 0, 2, 4, 6), Floats);
        const Floats p01 =
            __builtin_convertvector(__builtin_shufflevector(top01, top23, 1, 3, 5, 7), Floats);
        const Floats p10 =
            __builtin_convertvector(__builtin_shufflevector(low01, low23, 0, 2, 4, 6), Floats);
        const Floats p11 =
            __builtin_convertvector(__builtin_shufflevector(low01, low23, 1, 3, 5, 7), Floats);
        const Floats value =
            (fx * p01 + (1 - fx) * p00) * (1 - fy) + fy * (fx * p11 + (1 - fx) * p10);
        values[j] = value[0];
        v1[j] = value[1];
        v2[j] = value[2];
        v3[j] = value[3];
        weights[j] = w[0];
        w1[j] = w[1];
        w2[j] = w[2];
        w3[j] = w[3];
        sum += __builtin_convertvector(value, Doubles);
        px += stepX;
        py += stepY;
        const Doubles nextCx = cx * dcx - sxw * dsx;
        sxw = sxw * dcx + cx * dsx;
        cx = nextCx;
        const Doubles nextCy = cy * dcy - syw * dsy;
        syw = syw * dcy + cy * dsy;
        cy = nextCy;
    }
    for (int l = 0; l < 4; ++l) {
        const float mean = static_cast<float>(sum[l] / n);
        float* row = values + l * stride;
        for (int j = 0; j < n; ++j)
            row[j] -= mean;
    }
}

namespace {

using Floats4 = float __attribute__((vector_size(16)));
using Doubles4 = double __attribute__((vector_size(32)));

inline Floats4 Load4(const float* p) {
    Floats4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline Floats4 Abs4(Floats4 v) {
    using Bits = int32_t __attribute__((vector_size(16)));
    return reinterpret_cast<Floats4>(reinterpret_cast<Bits>(v) & 0x7FFFFFFF);
}

// The costs of shifts s .. s + 4G - 1, lane l for shift s + l, G groups of
// four lanes each with its own sum, so that the groups' additions overlap.
// Each lane adds its terms in ascending j from its own first j, as one shift
// alone does: the few j at either end that not every lane has are added lane
// by lane, the rest all lanes at once. Lanes past `count` are computed and
// dropped.
template <int G>
[[gnu::always_inline]] inline void ShiftCosts(const float* reference, const float* path, int n,
                                              int s, int count, double* costs) {
    constexpr int kLanes = 4 * G;
    int first[kLanes];
    int last[kLanes];
    for (int l = 0; l < kLanes; ++l) {
        first[l] = std::max(0, -(s + l));
        last[l] = std::min(n, n - (s + l));
    }
    // Where every lane has its term: path[j + s .. j + s + kLanes - 1] lie in the path.
    const int commonFirst = first[0];
    const int commonLast = std::max(commonFirst, last[kLanes - 1]);
    double lane[kLanes] = {};
    const auto single = [&](int from, int to) {
        for (int j = from; j < to; ++j) {
            for (int l = 0; l < kLanes; ++l) {
                if (j >= first[l] && j < last[l])
                    lane[l] += std::fabs(reference[j] - path[j + s + l]);
            }
        }
    };
    single(first[kLanes - 1], commonFirst);
    Doubles4 total[G] = {};
    for (int g = 0; g < G; ++g)
        total[g] = Doubles4{lane[4 * g], lane[4 * g + 1], lane[4 * g + 2], lane[4 * g + 3]};
    for (int j = commonFirst; j < commonLast; ++j) {
        const float r = reference[j];
        for (int g = 0; g < G; ++g) {
            const Floats4 diff = r - Load4(path + j + s + 4 * g);
            total[g] += __builtin_convertvector(Abs4(diff), Doubles4);
        }
    }
    for (int g = 0; g < G; ++g) {
        for (int l = 0; l < 4; ++l)
            lane[4 * g + l] = total[g][l];
    }
    single(commonLast, last[0]);
    for (int l = 0; l < kLanes && l < count; ++l)
        costs[l] = last[l] <= first[l] ? 0 : lane[l] / (last[l] - first[l]);
}

}  // namespace

// Up to sixteen shifts at a time.
ZEPH_AVX2_CLONES void AlignmentCosts(const float* reference, const float* path, int n, int s0,
                                     int count, double* costs) {
    for (int i = 0; i < count;) {
        const int left = count - i;
        const int s = s0 + i;
        if (left > 12) {
            ShiftCosts<4>(reference, path, n, s, left, costs + i);
            i += 16;
        } else if (left > 8) {
            ShiftCosts<3>(reference, path, n, s, left, costs + i);
            i += 12;
        } else if (left > 4) {
            ShiftCosts<2>(reference, path, n, s, left, costs + i);
            i += 8;
        } else {
            ShiftCosts<1>(reference, path, n, s, left, costs + i);
            i += 4;
        }
    }
}

// Per sample j, over the paths in order: the weight sum and the weighted value
// sum of the path samples that line up with j. Four samples at a time where
// every path has one; one at a time at the ends.
ZEPH_AVX2_CLONES void FuseAligned(const float* values, const float* weights, const int32_t* shifts,
                                  int paths, int n, float* out) {
    int lowest = 0;
    int highest = 0;
    for (int k = 0; k < paths; ++k) {
        lowest = std::min(lowest, shifts[k]);
        highest = std::max(highest, shifts[k]);
    }
    const auto single = [&](int j) {
        double wSum = 0, vSum = 0;
        for (int k = 0; k < paths; ++k) {
            const int at = j + shifts[k];
            if (at < 0 || at >= n) continue;
            const size_t cell = static_cast<size_t>(k) * n + at;
            wSum += weights[cell];
            vSum += double(weights[cell]) * values[cell];
        }
        out[j] = static_cast<float>(wSum > 0 ? vSum / wSum : vSum);
    };
    // Samples j in [-lowest, n - highest) have a sample on every path.
    const int from = std::min(n, -lowest);
    const int to = std::max(from, n - highest);
    for (int j = 0; j < from; ++j)
        single(j);
    int j = from;
    for (; j + 4 <= to; j += 4) {
        Doubles4 wSum = {0, 0, 0, 0};
        Doubles4 vSum = {0, 0, 0, 0};
        for (int k = 0; k < paths; ++k) {
            const size_t cell = static_cast<size_t>(k) * n + (j + shifts[k]);
            const Doubles4 w = __builtin_convertvector(Load4(weights + cell), Doubles4);
            wSum += w;
            vSum += w * __builtin_convertvector(Load4(values + cell), Doubles4);
        }
        const Doubles4 fused = wSum > 0 ? vSum / wSum : vSum;
        const Floats4 narrowed = __builtin_convertvector(fused, Floats4);
        std::memcpy(out + j, &narrowed, sizeof narrowed);
    }
    for (; j < n; ++j)
        single(j);
}

int SharpenWith(std::span<float> samples, float factor, ReusableBuffer<float>& copyBuffer,
                bool growOnly) {
    const size_t n = samples.size();
    if (n == 0) return 0;
    if (!Fit(copyBuffer, n, growOnly)) return 0;
    float* copy = copyBuffer.data();
    std::copy(samples.begin(), samples.end(), copy);
    const float c = factor / (2 * factor + 1);
    for (size_t j = 1; j + 1 < n; ++j)
        samples[j] = copy[j] - c * (copy[j - 1] + copy[j + 1]);
    double sum = 0;
    for (float v : samples)
        sum += v;
    const float mean = static_cast<float>(sum / static_cast<double>(n));
    for (float& v : samples)
        v -= mean;
    return 1;
}

int SuperResolveWith(std::span<const int32_t> raster, int32_t height, int32_t width,
                     ScanSignal& scan, SuperResolutionStore& store) {
    scan.redundancy = 0;
    const int n = scan.sampleCount;
    const int paths = scan.pathCount;
    // Bilinear reads need a 2 x 2 cell; a path needs at least its centre line.
    if (n <= 0 || paths <= 0 || height < 2 || width < 2) return 0;
    if (raster.size() < static_cast<size_t>(height) * width) return 0;
    if (!EnsurePaths(store, static_cast<size_t>(paths), static_cast<size_t>(n))) return 0;

    const float sx = static_cast<float>(scan.stopX - scan.startX) / static_cast<float>(n);
    const float sy = static_cast<float>(scan.stopY - scan.startY) / static_cast<float>(n);
    if (sx * sx + sy * sy == 0) return 0;
    const float inv = 1.0f / std::sqrt(sx * sx + sy * sy);
    const float nx = -sy * inv, ny = sx * inv;
    const int spacing = scan.pathSpacing;
    // The path spacing in samples bounds how far neighbouring paths may slide.
    const int reach =
        static_cast<int>(std::clamp(std::floor(double(inv) * spacing), 0.0, double(n)));

    float* values = store.values.data();
    float* weights = store.weights.data();
    int32_t* shifts = store.shifts.data();
    const int centre = paths / 2;
    const auto startOf = [&](int i, double& px, double& py) {
        const float o = static_cast<float>(double(centre - i) * spacing);
        px = scan.startX + nx * o;
        py = scan.startY + ny * o;
    };
    // Paths go four at a time, a last group of two or three with spare lanes.
    const bool indexable = static_cast<size_t>(height) * width <= size_t{INT32_MAX};
    int i = 0;
    for (; store.walkWeights && indexable && i + 2 <= paths; i += 4) {
        double px[4], py[4];
        bool near = true;  // positions whose floor a 32-bit truncation gives
        for (int l = 0; l < 4; ++l) {
            startOf(i + l, px[l], py[l]);
            for (const double end : {px[l], py[l], px[l] + double(n) * sx, py[l] + double(n) * sy})
                near = near && std::abs(end) < kNearPositions;
        }
        if (!near) break;
        const size_t row = static_cast<size_t>(i) * n;
        const auto sample = RunsAvx2() ? SampleFourPathsAvx2 : SampleFourPaths;
        sample(raster.data(), height, width, px, py, sx, sy, n, values + row, weights + row,
               static_cast<size_t>(n));
    }
    for (; i < paths; ++i) {
        double px, py;
        startOf(i, px, py);
        SamplePath(raster, height, width, px, py, sx, sy, n, values + static_cast<size_t>(i) * n,
                   weights + static_cast<size_t>(i) * n, store.walkWeights);
    }

    const float* reference = values + static_cast<size_t>(centre) * n;
    shifts[centre] = 0;
    double absSum = 0;
    for (int j = 0; j < n; ++j)
        absSum += std::fabs(reference[j]);
    const double scale = absSum > 0 ? n / absSum : 0;

    // Each path is searched around its neighbour's shift towards the centre,
    // so a tilted symbol is followed path by path.
    double* costs = store.costs.data();
    auto align = [&](int k, int searchCentre) {
        const float* path = values + static_cast<size_t>(k) * n;
        const int firstShift = searchCentre - reach;
        AlignmentCosts(reference, path, n, firstShift, 2 * reach + 1, costs);
        int best = firstShift;
        double bestCost = costs[0];
        for (int i = 1; i <= 2 * reach; ++i) {
            if (costs[i] < bestCost) {
                bestCost = costs[i];
                best = firstShift + i;
            }
        }
        shifts[k] = best;
        const float agreement = static_cast<float>(std::max(0.0, 1 - 2 * scale * bestCost));
        float* w = weights + static_cast<size_t>(k) * n;
        for (int j = 0; j < n; ++j)
            w[j] *= agreement;
        scan.redundancy += agreement;
    };
    for (int k = centre - 1; k >= 0; --k)
        align(k, shifts[k + 1]);
    for (int k = centre + 1; k < paths; ++k)
        align(k, shifts[k - 1]);

    long long shiftSum = 0;
    for (int k = 0; k < paths; ++k)
        shiftSum += shifts[k];
    const int recentre = static_cast<int>(std::floor(double(shiftSum) / paths + 0.5));
    for (int k = 0; k < paths; ++k)
        shifts[k] -= recentre;

    FuseAligned(values, weights, shifts, paths, n, scan.samples.get());
    if (!SharpenWith(scan.Samples(), scan.sharpening, store.sharpenCopy, store.growOnly)) return 0;
    XR_FindBars(scan);
    return 1;
}

}  // namespace zeph

int XR_Sharpen(std::span<float> samples, float factor) {
    thread_local zeph::ReusableBuffer<float> copyBuffer;
    return zeph::SharpenWith(samples, factor, copyBuffer, false);
}

int XR_SuperResolve(std::span<const int32_t> raster, int32_t height, int32_t width,
                    ScanSignal& scan) {
    thread_local zeph::SuperResolutionStore store = [] {
        zeph::SuperResolutionStore s;
        s.walkWeights = true;
        return s;
    }();
    return zeph::SuperResolveWith(raster, height, width, scan, store);
}
