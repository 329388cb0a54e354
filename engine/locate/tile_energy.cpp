#include <algorithm>
#include <cmath>

#include "engine/core/reusable_buffer.h"
#include "engine/reader.h"

namespace {

constexpr int kTaps = static_cast<int>(XR_BandPassKernel.size());
constexpr int kHalf = kTaps / 2;

// Adds |response| of each pixel in [0, count) to its tile of the row.
void AddToTiles(const float* response, int count, int tileSize, float* energyRow) {
    for (int c = 0; c < count / tileSize; ++c) {
        float sum = 0;
        for (int i = 0; i < tileSize; ++i)
            sum += response[c * tileSize + i];
        energyRow[c] += sum;
    }
}

}  // namespace

float XR_TileEnergy(std::span<const int32_t> raster, int32_t height, int32_t width,
                    std::span<float> energy, int tileSize) {
    if (tileSize <= 0 || height < 0 || width < 0) return 0;
    const int rows = height / tileSize;
    const int cols = width / tileSize;
    if (energy.size() < static_cast<size_t>(rows) * static_cast<size_t>(cols)) return -1;
    if (raster.size() < static_cast<size_t>(height) * static_cast<size_t>(width)) return -1;
    std::fill_n(energy.begin(), static_cast<size_t>(rows) * cols, 0.0f);
    if (rows == 0 || cols == 0) return 0;

    thread_local zeph::ReusableBuffer<float> lineBuffer;
    // Only pixels inside whole tiles count; the line covers them.
    const int span = cols * tileSize;
    if (!lineBuffer.Ensure(static_cast<size_t>(span))) return -1;
    float* line = lineBuffer.data();
    const int32_t* pixels = raster.data();

    // Across rows. The loops run over x for each tap so that the compiler can
    // vectorise them; each pixel still sums its taps in order.
    const int first = kHalf;
    const int last = std::min(span - 1, width - 1 - kHalf);
    for (int y = 0; y < rows * tileSize; ++y) {
        const int32_t* row = pixels + static_cast<size_t>(y) * width;
        std::fill_n(line, span, 0.0f);
        for (int k = 0; k < kTaps; ++k) {
            const float tap = XR_BandPassKernel[k];
            const int32_t* src = row - kHalf + k;
            for (int x = first; x <= last; ++x)
                line[x] += static_cast<float>(src[x]) * tap;
        }
        for (int x = first; x <= last; ++x)
            line[x] = std::fabs(line[x]);
        AddToTiles(line, span, tileSize, energy.data() + static_cast<size_t>(y / tileSize) * cols);
    }

    // Down columns, computed a row at a time for the same reason; rows within
    // the kernel's reach of the top or bottom border respond with 0.
    const int top = kHalf;
    const int bottom = std::min(rows * tileSize - 1, height - 1 - kHalf);
    for (int y = top; y <= bottom; ++y) {
        std::fill_n(line, span, 0.0f);
        for (int k = 0; k < kTaps; ++k) {
            const float tap = XR_BandPassKernel[k];
            const int32_t* src = pixels + static_cast<size_t>(y - kHalf + k) * width;
            for (int x = 0; x < span; ++x)
                line[x] += static_cast<float>(src[x]) * tap;
        }
        for (int x = 0; x < span; ++x)
            line[x] = std::fabs(line[x]);
        AddToTiles(line, span, tileSize, energy.data() + static_cast<size_t>(y / tileSize) * cols);
    }

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
