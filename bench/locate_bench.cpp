// Google Benchmark cases for the location routines and the whole thorough
// search, on rasters drawn here (no test support code), plus a heap check of
// the 12-megapixel search. Everything reports; nothing asserts on time.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "engine/reader.h"

// ---------------------------------------------------------------------------
// Heap accounting: every operator new/delete of this binary goes through these
// counters, so the growth of the heap during one search can be read off. Each
// block carries its size in a header in front of it, since unsized delete does
// not pass the size back.

namespace heap {

std::atomic<size_t> current{0};
std::atomic<size_t> peak{0};

constexpr size_t kHeader = alignof(std::max_align_t);

void Count(size_t n) {
    const size_t now = current.fetch_add(n, std::memory_order_relaxed) + n;
    size_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

void* Allocate(size_t size, size_t align) {
    const size_t header = std::max(align, kHeader);
    if (size > SIZE_MAX - 2 * header) return nullptr;
    void* block = nullptr;
    if (align <= kHeader) {
        block = std::malloc(header + size);
    } else {
        const size_t total = (header + size + align - 1) / align * align;
        block = std::aligned_alloc(align, total);
    }
    if (!block) return nullptr;
    std::byte* user = static_cast<std::byte*>(block) + header;
    std::memcpy(user - sizeof(size_t), &size, sizeof(size_t));
    Count(size);
    return user;
}

void Release(void* p, size_t align) {
    if (!p) return;
    std::byte* user = static_cast<std::byte*>(p);
    size_t size = 0;
    std::memcpy(&size, user - sizeof(size_t), sizeof(size_t));
    current.fetch_sub(size, std::memory_order_relaxed);
    std::free(user - std::max(align, kHeader));
}

void* AllocateOrThrow(size_t size, size_t align) {
    if (void* p = Allocate(size, align)) return p;
    throw std::bad_alloc();
}

}  // namespace heap

void* operator new(std::size_t n) {
    return heap::AllocateOrThrow(n, heap::kHeader);
}
void* operator new[](std::size_t n) {
    return heap::AllocateOrThrow(n, heap::kHeader);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return heap::Allocate(n, heap::kHeader);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return heap::Allocate(n, heap::kHeader);
}
void* operator new(std::size_t n, std::align_val_t a) {
    return heap::AllocateOrThrow(n, static_cast<size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a) {
    return heap::AllocateOrThrow(n, static_cast<size_t>(a));
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return heap::Allocate(n, static_cast<size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return heap::Allocate(n, static_cast<size_t>(a));
}
void operator delete(void* p) noexcept {
    heap::Release(p, heap::kHeader);
}
void operator delete[](void* p) noexcept {
    heap::Release(p, heap::kHeader);
}
void operator delete(void* p, std::size_t) noexcept {
    heap::Release(p, heap::kHeader);
}
void operator delete[](void* p, std::size_t) noexcept {
    heap::Release(p, heap::kHeader);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    heap::Release(p, heap::kHeader);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    heap::Release(p, heap::kHeader);
}
void operator delete(void* p, std::align_val_t a) noexcept {
    heap::Release(p, static_cast<size_t>(a));
}
void operator delete[](void* p, std::align_val_t a) noexcept {
    heap::Release(p, static_cast<size_t>(a));
}
void operator delete(void* p, std::size_t, std::align_val_t a) noexcept {
    heap::Release(p, static_cast<size_t>(a));
}
void operator delete[](void* p, std::size_t, std::align_val_t a) noexcept {
    heap::Release(p, static_cast<size_t>(a));
}
void operator delete(void* p, std::align_val_t a, const std::nothrow_t&) noexcept {
    heap::Release(p, static_cast<size_t>(a));
}
void operator delete[](void* p, std::align_val_t a, const std::nothrow_t&) noexcept {
    heap::Release(p, static_cast<size_t>(a));
}

namespace {

// ---------------------------------------------------------------------------
// Synthetic pictures

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;
constexpr int32_t kPaper = 2000;  // grey 200 of 255, in B + 6G + 3R units
constexpr int32_t kInk = 300;     // grey 30

GreyRaster MakeRaster(int32_t width, int32_t height, int32_t fill) {
    GreyRaster r;
    r.width = width;
    r.height = height;
    r.size = static_cast<size_t>(width) * height;
    r.values = std::make_unique<int32_t[]>(r.size);
    std::fill_n(r.values.get(), r.size, fill);
    return r;
}

// EAN-13 modules (1 = bar) of 12 digits plus their check digit: drawing real
// symbols lets the searches run their decoders to the end.
std::string Ean13Modules(const std::string& twelve) {
    static constexpr std::array<const char*, 10> kL = {"0001101", "0011001", "0010011", "0111101",
                                                       "0100011", "0110001", "0101111", "0111011",
                                                       "0110111", "0001011"};
    static constexpr std::array<const char*, 10> kParity = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL",
                                                            "LGLLGG", "LGGLLG", "LGGGLL", "LGLGLG",
                                                            "LGLGGL", "LGGLGL"};
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (twelve[i] - '0') * (i % 2 ? 3 : 1);
    const std::string digits = twelve + char('0' + (10 - sum % 10) % 10);

    auto right = [](int d) {  // the L code inverted
        std::string r = kL[d];
        for (char& c : r)
            c = c == '1' ? '0' : '1';
        return r;
    };
    std::string m = "101";
    const char* parity = kParity[digits[0] - '0'];
    for (int i = 1; i <= 6; ++i) {
        const int d = digits[i] - '0';
        if (parity[i - 1] == 'L') {
            m += kL[d];
        } else {  // G codes are the R codes read backwards
            const std::string r = right(d);
            m.append(r.rbegin(), r.rend());
        }
    }
    m += "01010";
    for (int i = 7; i <= 12; ++i)
        m += right(digits[i] - '0');
    return m + "101";
}

struct Symbol {
    std::string modules;
    double centreX = 0, centreY = 0;
    double angle = 0;  // radians; 0 draws vertical bars read left to right
    double module = 3;
    double height = 200;
};

// Draws the symbol with 4 x 4 supersampling, so edges are grey as in a photo.
void DrawSymbol(GreyRaster& r, const Symbol& s) {
    const double length = s.modules.size() * s.module;
    const double c = std::cos(s.angle), sn = std::sin(s.angle);
    const double reach = std::hypot(length, s.height) / 2 + 2;
    const int x0 = std::max(0, int(s.centreX - reach)),
              x1 = std::min(r.width, int(s.centreX + reach));
    const int y0 = std::max(0, int(s.centreY - reach)),
              y1 = std::min(r.height, int(s.centreY + reach));
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            int dark = 0, inside = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const double dx = x + (sx + 0.5) / 4 - s.centreX;
                    const double dy = y + (sy + 0.5) / 4 - s.centreY;
                    const double along = dx * c + dy * sn + length / 2;
                    const double across = -dx * sn + dy * c;
                    if (std::abs(across) > s.height / 2 || along < 0 || along >= length) continue;
                    ++inside;
                    dark += s.modules[size_t(along / s.module)] == '1' ? 1 : 0;
                }
            }
            if (inside == 0) continue;
            int32_t& v = r.values[size_t(y) * r.width + x];
            v = (v * (16 - dark) + kInk * dark) / 16;
        }
    }
}

// A 12-megapixel picture: plain paper with three EAN-13 symbols at different
// sizes and angles.
const GreyRaster& Scene() {
    static const GreyRaster scene = [] {
        GreyRaster r = MakeRaster(kWidth, kHeight, kPaper);
        DrawSymbol(r, {Ean13Modules("590123412345"), 1000, 800, 0.0, 4, 320});
        DrawSymbol(r, {Ean13Modules("400638133393"), 2800, 1300, 0.5, 3, 260});
        DrawSymbol(r, {Ean13Modules("978020137962"), 1700, 2300, std::numbers::pi / 2, 5, 400});
        return r;
    }();
    return scene;
}

// ---------------------------------------------------------------------------
// Tile energy, and a plain reference of it for comparison

// Per pixel: the kernel across the row and down the column, each zero where it
// would reach past the raster; a tile's energy is the mean over its pixels of
// the two absolute responses' average. Written plainly on purpose.
float NaiveTileEnergy(const GreyRaster& r, std::vector<float>& energy, int tileSize) {
    const int taps = static_cast<int>(XR_BandPassKernel.size());
    const int half = taps / 2;
    const int rows = r.height / tileSize;
    const int cols = r.width / tileSize;
    float largest = 0;
    for (int tr = 0; tr < rows; ++tr) {
        for (int tc = 0; tc < cols; ++tc) {
            float sum = 0;
            for (int y = tr * tileSize; y < (tr + 1) * tileSize; ++y) {
                for (int x = tc * tileSize; x < (tc + 1) * tileSize; ++x) {
                    float across = 0;
                    if (x >= half && x < r.width - half) {
                        for (int k = 0; k < taps; ++k)
                            across +=
                                XR_BandPassKernel[k] *
                                static_cast<float>(r.values[size_t(y) * r.width + x - half + k]);
                    }
                    float down = 0;
                    if (y >= half && y < r.height - half) {
                        for (int k = 0; k < taps; ++k)
                            down +=
                                XR_BandPassKernel[k] *
                                static_cast<float>(r.values[size_t(y - half + k) * r.width + x]);
                    }
                    sum += std::abs(across) + std::abs(down);
                }
            }
            const float e = 0.5f * sum / static_cast<float>(tileSize * tileSize);
            energy[size_t(tr) * cols + tc] = e;
            largest = std::max(largest, e);
        }
    }
    return largest;
}

size_t TileCount(int tileSize) {
    return size_t(kHeight / tileSize) * size_t(kWidth / tileSize);
}

void SetPixelRate(benchmark::State& state, double pixels) {
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pixels));
    // Inverted rate: seconds per pixel, shown with an SI prefix (n = ns).
    state.counters["s_per_px"] = benchmark::Counter(
        pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_TileEnergy(benchmark::State& state) {
    const GreyRaster& r = Scene();
    const int tileSize = static_cast<int>(state.range(0));
    std::vector<float> energy(TileCount(tileSize));
    for (auto _ : state) {
        benchmark::DoNotOptimize(XR_TileEnergy(r.Values(), r.height, r.width, energy, tileSize));
        benchmark::ClobberMemory();
    }
    SetPixelRate(state, double(r.size));

    // How far the engine's energies are from the plain reference (reported only).
    std::vector<float> reference(energy.size());
    const float largest = NaiveTileEnergy(r, reference, tileSize);
    double worst = 0;
    for (size_t i = 0; i < energy.size(); ++i)
        worst = std::max(worst, double(std::abs(energy[i] - reference[i])));
    state.counters["max_diff_vs_naive"] = largest > 0 ? worst / largest : worst;
}
BENCHMARK(BM_TileEnergy)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_TileEnergyNaive(benchmark::State& state) {
    const GreyRaster& r = Scene();
    const int tileSize = static_cast<int>(state.range(0));
    std::vector<float> energy(TileCount(tileSize));
    for (auto _ : state) {
        benchmark::DoNotOptimize(NaiveTileEnergy(r, energy, tileSize));
        benchmark::ClobberMemory();
    }
    SetPixelRate(state, double(r.size));
}
BENCHMARK(BM_TileEnergyNaive)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Orientation

void BM_Orientation(benchmark::State& state) {
    constexpr int kSide = 256;
    constexpr double kAngle = 0.5;  // radians across the stripes
    constexpr double kPeriod = 9.0;
    GreyRaster r = MakeRaster(kSide, kSide, 0);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const double phase = (x * std::cos(kAngle) + y * std::sin(kAngle)) / kPeriod;
            r.values[size_t(y) * kSide + x] =
                static_cast<int32_t>(1275 + 1000 * std::sin(2 * std::numbers::pi * phase));
        }
    }
    const int n = static_cast<int>(state.range(0));
    double theta = 0, coherence = 0;
    for (auto _ : state) {
        coherence = XR_Orientation(r.Values(), r.height, r.width, kSide / 2, kSide / 2, n, theta);
        benchmark::DoNotOptimize(coherence);
        benchmark::DoNotOptimize(theta);
    }
    state.counters["coherence"] = coherence;
    state.counters["theta"] = theta;
    state.counters["drawn_angle"] = kAngle;
}
BENCHMARK(BM_Orientation)->Arg(64)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// Super-resolution

void BM_SuperResolve(benchmark::State& state) {
    constexpr int32_t kW = 800, kH = 240;
    constexpr double kModule = 3.0;
    GreyRaster r = MakeRaster(kW, kH, kPaper);
    const std::string modules = Ean13Modules("590123412345");
    DrawSymbol(r, {modules, kW / 2.0, kH / 2.0, 0.03, kModule, 180});

    ScanSignalPtr scan = XR_NewScanSignal(512, 21, 1, 0.5f, 1);
    if (!scan) {
        state.SkipWithError("XR_NewScanSignal failed");
        return;
    }
    // A line across the symbol and a little of the paper on either side.
    const int32_t half = static_cast<int32_t>(modules.size() * kModule / 2 + 12);
    scan->imageWidth = kW;
    scan->imageHeight = kH;
    scan->centreX = kW / 2;
    scan->centreY = kH / 2;
    scan->startX = kW / 2 - half;
    scan->stopX = kW / 2 + half;
    scan->startY = scan->stopY = kH / 2;
    int ok = 0;
    for (auto _ : state) {
        ok = XR_SuperResolve(r.Values(), r.height, r.width, *scan);
        benchmark::DoNotOptimize(ok);
    }
    state.counters["ok"] = ok;
    state.counters["bars"] = scan->barCount;  // an EAN-13 has 30
    state.counters["redundancy"] = scan->redundancy;
    XR_FreeScanSignal(std::move(scan));
}
BENCHMARK(BM_SuperResolve)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// Whole searches on 12 megapixels

int Search(const GreyRaster& r, ReaderConfig& config, std::vector<MatchRecord>& records,
           bool thorough) {
    return thorough ? XR_SearchThorough(r.Values(), r.height, r.width, kMaxGrey, &config, records,
                                        kMaxMatches)
                    : XR_Search(r.Values(), r.height, r.width, kMaxGrey, &config, records);
}

void BM_Search12MP(benchmark::State& state) {
    const bool thorough = state.range(0) != 0;
    const GreyRaster& r = Scene();
    ReaderConfigPtr config = XR_ParseConfig("");
    if (!config) {
        state.SkipWithError("XR_ParseConfig failed");
        return;
    }
    std::vector<MatchRecord> records(kMaxMatches);
    // One untimed run first, so the thread's working buffers and pattern
    // tables exist as they do in a long-running reader.
    int found = Search(r, *config, records, thorough);
    for (auto _ : state) {
        found = Search(r, *config, records, thorough);
        benchmark::DoNotOptimize(found);
    }
    SetPixelRate(state, double(r.size));
    state.counters["matches"] = found;  // 3 symbols are drawn
    state.SetLabel(thorough ? "XR_SearchThorough" : "XR_Search");
    XR_FreeConfig(std::move(config));
}
BENCHMARK(BM_Search12MP)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Heap growth of a thorough search from a cold start: a fresh thread has no
// thread_local buffers or pattern tables, so the first search allocates all it
// needs, as it does in a fresh process. The raster exists before and is not
// counted.
void BM_Search12MPHeap(benchmark::State& state) {
    const GreyRaster& r = Scene();
    size_t coldPeak = 0, warmPeak = 0, retained = 0;
    int found = -1;
    for (auto _ : state) {
        std::thread worker([&] {
            // The caller's records are not the search's memory.
            std::vector<MatchRecord> records(kMaxMatches);
            const size_t base = heap::current.load();
            heap::peak.store(base);
            ReaderConfigPtr config = XR_ParseConfig("");
            if (!config) return;
            found = Search(r, *config, records, true);
            coldPeak = heap::peak.load() - base;

            // A second search reuses what the first one left behind.
            const size_t before = heap::current.load();
            heap::peak.store(before);
            Search(r, *config, records, true);
            warmPeak = heap::peak.load() - before;

            XR_FreeConfig(std::move(config));
            XR_FreePatternTables();
            retained = heap::current.load() - base;  // thread_local buffers still held
        });
        worker.join();
    }
    const double rasterBytes = double(r.size * sizeof(int32_t));
    state.counters["matches"] = found;
    state.counters["raster_bytes"] = rasterBytes;
    state.counters["peak_heap_bytes"] = double(coldPeak);
    state.counters["peak_over_raster"] = double(coldPeak) / rasterBytes;
    state.counters["warm_peak_bytes"] = double(warmPeak);
    state.counters["held_after_free"] = double(retained);
}
// Real time: the search runs on the worker thread, not the benchmark's.
BENCHMARK(BM_Search12MPHeap)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
