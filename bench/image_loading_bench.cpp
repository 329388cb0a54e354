// Loading a 12-megapixel JPEG through image loading against a plain TurboJPEG
// decode into the same 24-bit bottom-up rows: the loader's own cost (reading
// the format table, the checks) should stay within about a fifth of the
// decode.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "imaging/image_loading.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Noise over a colour gradient, quality 90, 4:2:0: a camera-like file.
const std::vector<uint8_t>& TestJpeg() {
    static const std::vector<uint8_t> jpeg = [] {
        std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
        std::mt19937 random(7);
        std::uniform_int_distribution<int> noise(-24, 24);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
                const int base[3] = {x * 200 / kWidth, y * 200 / kHeight, (x + y) * 100 / kWidth};
                for (int c = 0; c < 3; ++c)
                    p[c] = uint8_t(std::clamp(base[c] + 28 + noise(random), 0, 255));
            }
        }
        tjhandle encoder = tjInitCompress();
        unsigned char* out = nullptr;
        unsigned long size = 0;
        if (tjCompress2(encoder, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &out, &size, TJSAMP_420,
                        90, 0) != 0) {
            throw std::runtime_error(tjGetErrorStr2(encoder));
        }
        std::vector<uint8_t> bytes(out, out + size);
        tjFree(out);
        tjDestroy(encoder);
        return bytes;
    }();
    return jpeg;
}

void PlainTurboJpeg(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = TestJpeg();
    tjhandle decoder = tjInitDecompress();
    const int stride = (kWidth * 3 + 3) & ~3;
    std::vector<uint8_t> rows(size_t(stride) * kHeight);
    for (auto _ : state) {
        if (tjDecompress2(decoder, jpeg.data(), jpeg.size(), rows.data(), kWidth, stride, kHeight,
                          TJPF_BGR, TJFLAG_BOTTOMUP) != 0) {
            state.SkipWithError(tjGetErrorStr2(decoder));
            break;
        }
        benchmark::DoNotOptimize(rows.data());
    }
    tjDestroy(decoder);
    state.counters["MB"] = double(jpeg.size()) / 1e6;
}

void DecodeImageBytes(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = TestJpeg();
    // Runs last: the setting stays for the rest of the process.
    if (state.range(0) != 0) zeph::imaging::KeepFreedImageMemory();
    for (auto _ : state) {
        zeph::imaging::DecodeResult decoded = zeph::imaging::DecodeImageBytes(jpeg);
        if (!decoded.image) {
            state.SkipWithError(decoded.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(decoded.image->pixels.get());
    }
}

BENCHMARK(PlainTurboJpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
// 0: the allocator's defaults; 1: as ZephScan sets it, keeping freed blocks.
BENCHMARK(DecodeImageBytes)
    ->ArgName("keep_freed")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace
