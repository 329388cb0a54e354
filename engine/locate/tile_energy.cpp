#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "engine/core/avx2_clones.h"
#include "engine/core/reusable_buffer.h"
#include "engine/parallel/work_crew.h"
#include "engine/reader.h"

namespace {

constexpr int kTaps = static_cast<int>(XR_BandPassKernel.size());
constexpr int kHalf = kTaps / 2;

// The taps that are not zero, in kernel order. A zero tap adds a zero
// product, which leaves every sum as it was but for the sign of a zero sum,
// and the response is taken absolute.
constexpr int kUsedTaps = [] {
    int n = 0;
    for (const float tap : XR_BandPassKernel)
        n += tap != 0.0f ? 1 : 0;
    return n;
}();
constexpr std::array<int, kUsedTaps> kUsed = [] {
    std::array<int, kUsedTaps> used{};
    int n = 0;
    for (int k = 0; k < kTaps; ++k) {
        if (XR_BandPassKernel[k] != 0.0f) used[n++] = k;
    }
    return used;
}();

// Eight pixels at a time; each lane sums its taps in kernel order, as the
// single-pixel form below does, so every response is the same to the bit.
// The pixels come as floats: each is converted once per tile row instead of
// once per tap, and a conversion gives the same float whenever it is made.
constexpr int kLanes = 8;
using Floats = float __attribute__((vector_size(4 * kLanes)));
using Ints = int32_t __attribute__((vector_size(4 * kLanes)));

// The absolute responses of the pixels whose taps read src[k * step + lane],
// into out[lane].
inline void Responses(const float* src, ptrdiff_t step, float* out) {
    Floats sum = {};
    for (const int k : kUsed) {
        Floats v;
        std::memcpy(&v, src + k * step, sizeof v);
        sum += v * XR_BandPassKernel[k];
    }
    const Ints magnitude = reinterpret_cast<Ints>(sum) & 0x7FFFFFFF;
    std::memcpy(out, &magnitude, sizeof magnitude);
}

inline float Response(const float* src, ptrdiff_t step) {
    float sum = 0;
    for (const int k : kUsed)
        sum += src[k * step] * XR_BandPassKernel[k];
    return std::fabs(sum);
}

// line[x] for x in [from, to], the taps of pixel x at src + x + k * step.
ZEPH_AVX2_CLONES void RespondAlong(const float* src, ptrdiff_t step, int from, int to,
                                   float* line) {
    int x = from;
    for (; x + kLanes - 1 <= to; x += kLanes)
        Responses(src + x, step, line + x);
    for (; x <= to; ++x)
        line[x] = Response(src + x, step);
}

// count pixels as floats.
ZEPH_AVX2_CLONES void ToFloats(const int32_t* src, size_t count, float* out) {
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<float>(src[i]);
}

// Adds |response| of each pixel in [0, count) to its tile of the row, each
// tile's pixels summed left to right. The searches' two tile sizes get loops
// of fixed length, which the compiler unrolls.
template <int kFixed>
void AddToTilesOf(const float* response, int count, int tileSize, float* energyRow) {
    const int size = kFixed > 0 ? kFixed : tileSize;
    for (int c = 0; c < count / size; ++c) {
        const float* tile = response + c * size;
        float sum = 0;
        for (int i = 0; i < size; ++i)
            sum += tile[i];
        energyRow[c] += sum;
    }
}

void AddToTiles(const float* response, int count, int tileSize, float* energyRow) {
    switch (tileSize) {
        case 15:
            return AddToTilesOf<15>(response, count, tileSize, energyRow);
        case 20:
            return AddToTilesOf<20>(response, count, tileSize, energyRow);
        default:
            return AddToTilesOf<0>(response, count, tileSize, energyRow);
    }
}

struct TileGridShape {
    const int32_t* pixels;
    int32_t height;
    int32_t width;
    int tileSize;
    int rows;
    int cols;
};

// Pixel rows a tile row's responses read at most: its own and the kernel's
// reach above and below, within the picture.
size_t RowsRead(int tileSize, int height) {
    return static_cast<size_t>(std::min(tileSize + 2 * kHalf, height));
}

// The energies of tile row r: first its pixel rows across, then down its
// pixel columns, so that every tile adds up its parts in the same order as a
// pass over the whole picture in each direction would. `rows` holds
// RowsRead(tileSize, height) * width floats.
void TileRowEnergy(const TileGridShape& g, int r, float* rows, float* line, float* energyRow) {
    const int span = g.cols * g.tileSize;
    const int y0 = r * g.tileSize;
    const int y1 = y0 + g.tileSize - 1;

    const int firstRow = std::max(0, y0 - kHalf);
    const int lastRow = std::min(g.height - 1, y1 + kHalf);
    const auto floatRow = [&](int y) {
        return rows + static_cast<ptrdiff_t>(y - firstRow) * g.width;
    };
    for (int y = firstRow; y <= lastRow; ++y) {
        ToFloats(g.pixels + static_cast<size_t>(y) * g.width, static_cast<size_t>(g.width),
                 floatRow(y));
    }

    // Across rows; pixels within the kernel's reach of the left or right
    // border respond with 0.
    const int first = kHalf;
    const int last = std::min(span - 1, g.width - 1 - kHalf);
    std::fill_n(line, std::min(first, span), 0.0f);
    if (last + 1 < span) std::fill_n(line + last + 1, span - last - 1, 0.0f);
    for (int y = y0; y <= y1; ++y) {
        RespondAlong(floatRow(y) - kHalf, 1, first, last, line);
        AddToTiles(line, span, g.tileSize, energyRow);
    }

    // Down columns; rows within the kernel's reach of the top or bottom
    // border respond with 0.
    const int top = std::max(y0, kHalf);
    const int bottom = std::min({y1, g.rows * g.tileSize - 1, g.height - 1 - kHalf});
    for (int y = top; y <= bottom; ++y) {
        RespondAlong(floatRow(y - kHalf), g.width, 0, span - 1, line);
        AddToTiles(line, span, g.tileSize, energyRow);
    }
}

}  // namespace

float XR_TileEnergy(std::span<const int32_t> raster, int32_t height, int32_t width,
                    std::span<float> energy, int tileSize, zeph::WorkCrew* crew) {
    if (tileSize <= 0 || height < 0 || width < 0) return 0;
    const int rows = height / tileSize;
    const int cols = width / tileSize;
    if (energy.size() < static_cast<size_t>(rows) * static_cast<size_t>(cols)) return -1;
    if (raster.size() < static_cast<size_t>(height) * static_cast<size_t>(width)) return -1;
    std::fill_n(energy.begin(), static_cast<size_t>(rows) * cols, 0.0f);
    if (rows == 0 || cols == 0) return 0;

    const TileGridShape grid{raster.data(), height, width, tileSize, rows, cols};
    // Only pixels inside whole tiles count; the line covers them.
    const size_t span = static_cast<size_t>(cols) * tileSize;
    const size_t rowFloats = RowsRead(tileSize, height) * static_cast<size_t>(width);
    std::atomic<bool> failed{false};
    const auto tileRow = [&](size_t r) {
        thread_local zeph::ReusableBuffer<float> lineBuffer;
        thread_local zeph::ReusableBuffer<float> rowBuffer;
        if (!lineBuffer.EnsureAtLeast(span) || !rowBuffer.EnsureAtLeast(rowFloats)) {
            failed.store(true, std::memory_order_relaxed);
            return;
        }
        TileRowEnergy(grid, static_cast<int>(r), rowBuffer.data(), lineBuffer.data(),
                      energy.data() + r * static_cast<size_t>(cols));
    };
    if (crew) {
        crew->Run(static_cast<size_t>(rows), tileRow);
    } else {
        for (size_t r = 0; r < static_cast<size_t>(rows); ++r)
            tileRow(r);
    }
    if (failed.load(std::memory_order_relaxed)) return -1;

    // A tile's energy is the mean over its pixels of the two responses' average.
    const float norm = 0.5f / static_cast<float>(tileSize * tileSize);
    float largest = 0;
    for (size_t i = 0; i < static_cast<size_t>(rows) * cols; ++i) {
        largest = std::max(largest, energy[i]);
        energy[i] *= norm;
    }
    return norm * largest;
}

int XR_TileScores(std::span<const float> energy, std::span<float> smooth, std::span<float> score,
                  int rows, int cols, float threshold) {
    if (rows <= 0 || cols <= 0) return 0;
    const size_t n = static_cast<size_t>(rows) * cols;
    if (energy.size() < n || smooth.size() < n || score.size() < n) return 0;
    auto at = [cols](int r, int c) { return static_cast<size_t>(r) * cols + c; };

    // Four one-sided exponential filters, one per direction.
    for (int r = 0; r < rows; ++r) {
        float a = 0;
        for (int c = 0; c < cols; ++c)
            smooth[at(r, c)] = a = 0.4f * a + 0.6f * energy[at(r, c)];
        a = 0;
        for (int c = cols - 1; c >= 0; --c)
            smooth[at(r, c)] += a = 0.4f * a + 0.6f * energy[at(r, c)];
    }
    for (int c = 0; c < cols; ++c) {
        float a = 0;
        for (int r = 0; r < rows; ++r)
            smooth[at(r, c)] += a = 0.4f * a + 0.6f * energy[at(r, c)];
        a = 0;
        for (int r = rows - 1; r >= 0; --r)
            smooth[at(r, c)] += a = 0.4f * a + 0.6f * energy[at(r, c)];
    }

    int selected = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const float v = smooth[at(r, c)];
            bool peak = energy[at(r, c)] > threshold;
            for (int dr = -1; dr <= 1 && peak; ++dr) {
                for (int dc = -1; dc <= 1 && peak; ++dc) {
                    const int nr = r + dr, nc = c + dc;
                    if ((dr == 0 && dc == 0) || nr < 0 || nr >= rows || nc < 0 || nc >= cols) {
                        continue;
                    }
                    // Ties go to the lower of two vertical neighbours only.
                    const float other = smooth[at(nr, nc)];
                    peak = (dr == -1 && dc == 0) ? v >= other : v > other;
                }
            }
            score[at(r, c)] = peak ? energy[at(r, c)] : 0.0f;
            selected += peak ? 1 : 0;
        }
    }
    return selected;
}

TilePoint XR_RefineTilePosition(std::span<const float> energy, int rows, int cols, double x,
                                double y) {
    if (rows < 3 || cols < 3 || energy.size() < static_cast<size_t>(rows) * cols) return {x, y};
    const int bx = std::clamp(static_cast<int>(std::floor(x)) - 1, 0, cols - 3);
    const int by = std::clamp(static_cast<int>(std::floor(y)) - 1, 0, rows - 3);
    double s = 0, sx = 0, sy = 0;
    for (int r = by; r < by + 3; ++r) {
        for (int c = bx; c < bx + 3; ++c) {
            const double e = energy[static_cast<size_t>(r) * cols + c];
            s += e;
            sx += e * c;
            sy += e * r;
        }
    }
    if (s > 0) return {sx / s, sy / s};
    return {x, y};
}
