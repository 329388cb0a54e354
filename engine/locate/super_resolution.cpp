#include <algorithm>
#include <cmath>
#include <cstdlib>

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

bool EnsurePaths(zeph::SuperResolutionStore& store, size_t paths, size_t samples) {
    const size_t cells = zeph::CheckedProduct(paths, samples, kMaxPathSamples);
    return cells != 0 && Fit(store.values, cells, store.growOnly) &&
           Fit(store.weights, cells, store.growOnly) && Fit(store.shifts, paths, store.growOnly);
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
void SamplePath(std::span<const int32_t> raster, int32_t height, int32_t width, double px,
                double py, float sx, float sy, int n, float* values, float* weights,
                bool walkWeights) {
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

// Mean absolute difference between the reference and the path moved by s.
double AlignmentCost(const float* reference, const float* path, int n, int s) {
    const int first = std::max(0, -s);
    const int last = std::min(n, n - s);
    if (last <= first) return 0;
    double total = 0;
    for (int j = first; j < last; ++j)
        total += std::fabs(reference[j] - path[j + s]);
    return total / (last - first);
}

}  // namespace

namespace zeph {

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
    for (int i = 0; i < paths; ++i) {
        const float o = static_cast<float>(double(centre - i) * spacing);
        SamplePath(raster, height, width, scan.startX + nx * o, scan.startY + ny * o, sx, sy, n,
                   values + static_cast<size_t>(i) * n, weights + static_cast<size_t>(i) * n,
                   store.walkWeights);
    }

    const float* reference = values + static_cast<size_t>(centre) * n;
    shifts[centre] = 0;
    double absSum = 0;
    for (int j = 0; j < n; ++j)
        absSum += std::fabs(reference[j]);
    const double scale = absSum > 0 ? n / absSum : 0;

    // Each path is searched around its neighbour's shift towards the centre,
    // so a tilted symbol is followed path by path.
    auto align = [&](int k, int searchCentre) {
        const float* path = values + static_cast<size_t>(k) * n;
        int best = searchCentre - reach;
        double bestCost = AlignmentCost(reference, path, n, best);
        for (int s = best + 1; s <= searchCentre + reach; ++s) {
            const double cost = AlignmentCost(reference, path, n, s);
            if (cost < bestCost) {
                bestCost = cost;
                best = s;
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

    float* out = scan.samples.get();
    for (int j = 0; j < n; ++j) {
        double wSum = 0, vSum = 0;
        for (int k = 0; k < paths; ++k) {
            const int at = j + shifts[k];
            if (at < 0 || at >= n) continue;
            const size_t cell = static_cast<size_t>(k) * n + at;
            wSum += weights[cell];
            vSum += double(weights[cell]) * values[cell];
        }
        out[j] = static_cast<float>(wSum > 0 ? vSum / wSum : vSum);
    }
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
