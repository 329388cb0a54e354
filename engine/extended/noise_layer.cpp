#include "engine/extended/noise_layer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace zeph::extended {
namespace {

// Rows sampled for the noise floor, this far apart.
constexpr int32_t kRowStep = 16;
// Histogram bins over [0, maxGrey] of the neighbour differences.
constexpr int32_t kBins = 256;
// A noise floor at or above this share of the grey range reads the picture at
// half size too. Photos of grained, textured surfaces measured 0.025 to 0.03,
// smooth photos far less; Gaussian, Laplacian and impulse noise heavy enough
// to hide a symbol's tiles 0.05 to 0.16.
constexpr double kNoisyFloor = 0.04;
// Greys up to this many have their differences' bins looked up.
constexpr int32_t kMostLookedUpGrey = 1 << 16;

}  // namespace

double NoiseFloor(const Picture& picture, int32_t maxGrey) {
    if (picture.width < 2 || picture.height < 1 || maxGrey <= 0) return 0;
    // The bin of each difference below maxGrey, looked up rather than divided
    // for; every larger difference falls in the last bin. Four histograms
    // in turn, so that runs of equal differences do not wait on one count.
    thread_local std::vector<uint8_t> binOf;
    thread_local int32_t binsFor = 0;
    bool lookUp = maxGrey <= kMostLookedUpGrey;
    if (lookUp && binsFor != maxGrey) {
        binsFor = 0;
        try {
            binOf.resize(static_cast<size_t>(maxGrey));
            for (int64_t d = 0; d < maxGrey; ++d)
                binOf[static_cast<size_t>(d)] = static_cast<uint8_t>(d * kBins / maxGrey);
            binsFor = maxGrey;
        } catch (...) {
            lookUp = false;  // without the table, each bin is divided for
        }
    }
    const auto binOfDifference = [&](int64_t d) -> size_t {
        if (d < 0 || d >= maxGrey) return static_cast<size_t>(kBins) - 1;
        return lookUp ? binOf[static_cast<size_t>(d)] : static_cast<size_t>(d * kBins / maxGrey);
    };
    std::array<std::array<int64_t, kBins>, 4> histograms{};
    int64_t count = 0;
    for (int32_t y = kRowStep / 2; y < picture.height; y += kRowStep) {
        const int32_t* row = picture.values.data() + static_cast<size_t>(y) * picture.width;
        for (int32_t x = 1; x < picture.width; ++x) {
            const int64_t d = std::abs(row[x] - row[x - 1]);
            ++histograms[static_cast<size_t>(x) & 3][binOfDifference(d)];
        }
        count += picture.width - 1;
    }
    if (count == 0) return 0;
    int64_t seen = 0;
    for (size_t bin = 0; bin < static_cast<size_t>(kBins); ++bin) {
        for (const auto& histogram : histograms)
            seen += histogram[bin];
        if (2 * seen >= count) return (static_cast<double>(bin) + 0.5) / kBins;
    }
    return 1;
}

bool WantsHalfLayer(const Picture& picture, int32_t maxGrey) {
    const int64_t area = int64_t{picture.width} * picture.height;
    return area >= kLeastHalfLayerArea && NoiseFloor(picture, maxGrey) >= kNoisyFloor;
}

bool HalfSize(const Picture& picture, std::vector<int32_t>& values, Picture& half) {
    const int32_t width = picture.width / 2;
    const int32_t height = picture.height / 2;
    if (width < 1 || height < 1) return false;
    try {
        values.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    } catch (...) {
        return false;
    }
    const auto stride = static_cast<size_t>(picture.width);
    for (int32_t y = 0; y < height; ++y) {
        const int32_t* a = picture.values.data() + 2 * static_cast<size_t>(y) * stride;
        const int32_t* b = a + stride;
        int32_t* out = values.data() + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; ++x)
            out[x] = (a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) / 4;
    }
    half = {values, height, width};
    return true;
}

}  // namespace zeph::extended
