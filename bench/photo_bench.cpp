// 12-megapixel camera-like JPEG photos for the speed comparison, and the
// engine's search on each against TurboJPEG's decode of it.
//
//   photo_bench FOLDER [COUNT]
//
// Writes COUNT photos (default 4) to FOLDER: a textured surface without a
// barcode, and a label with an EAN-13 symbol on such a surface, turn about.
// Then, for every photo, times (median of five, one thread) the plain
// TurboJPEG decode into bottom-up 24-bit rows and XR_SearchExtended (thorough)
// on its grey raster, and prints both with their ratio.
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/reader.h"
#include "tests/support/ean_encoder.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Grey-brown card under uneven light, with grain: what a phone sees around a label.
void Surface(std::vector<uint8_t>& rgb, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> grain(-10, 10);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double light = 150 + 60 * std::sin(x * 0.0011 + y * 0.0007) +
                                 25 * std::sin(x * 0.21 + y * 0.05) * std::sin(y * 0.17);
            uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
            const int g = static_cast<int>(light) + grain(random);
            p[0] = uint8_t(std::clamp(g + 12, 0, 255));
            p[1] = uint8_t(std::clamp(g, 0, 255));
            p[2] = uint8_t(std::clamp(g - 15, 0, 255));
        }
    }
}

// A white label with an EAN-13 symbol, turned by `degrees` about its centre.
void Label(std::vector<uint8_t>& rgb, double degrees) {
    const std::string modules = zeph::test::Ean13Modules("4006381333931");
    const double module = 7.0;
    const double halfW = (modules.size() / 2.0 + 14) * module;
    const double halfH = 55 * module;
    const double cx = kWidth * 0.55, cy = kHeight * 0.45;
    const double a = degrees * 3.14159265358979 / 180, c = std::cos(a), s = std::sin(a);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            // Label coordinates of the pixel.
            const double u = (x - cx) * c + (y - cy) * s;
            const double v = -(x - cx) * s + (y - cy) * c;
            if (std::abs(u) > halfW || std::abs(v) > halfH) continue;
            const double m = u / module + modules.size() / 2.0;
            const bool bar = std::abs(v) < halfH - 12 * module && m >= 0 && m < modules.size() &&
                             modules[static_cast<size_t>(m)] == '1';
            uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
            p[0] = p[1] = p[2] = bar ? 30 : 235;
        }
    }
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& rgb) {
    tjhandle encoder = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> bytes;
    if (tjCompress2(encoder, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &out, &size, TJSAMP_420, 90,
                    0) == 0) {
        bytes.assign(out, out + size);
    }
    tjFree(out);
    tjDestroy(encoder);
    return bytes;
}

template <typename Work>
double MedianMs(Work work) {
    std::vector<double> ms;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: photo_bench FOLDER [COUNT]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
    std::filesystem::create_directories(folder);

    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    const int stride = (kWidth * 3 + 3) & ~3;
    std::vector<uint8_t> rows(size_t(stride) * kHeight);
    tjhandle decoder = tjInitDecompress();
    ReaderConfigPtr config = XR_ParseConfig("");
    std::vector<MatchRecord> records(kMaxMatches);
    GreyRaster raster;
    std::printf("%-22s %10s %10s %8s %6s\n", "photo", "decode ms", "search ms", "ratio", "reads");
    for (int i = 0; i < count; ++i) {
        const bool label = i % 2 == 1;
        Surface(rgb, static_cast<uint32_t>(11 + i));
        if (label) Label(rgb, 7.0 * i);
        const std::vector<uint8_t> jpeg = Compress(rgb);
        const std::string name =
            std::string(label ? "label-" : "surface-") + std::to_string(i) + ".jpg";
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));

        bool decoded = true;
        const double decodeMs = MedianMs([&] {
            decoded &= tjDecompress2(decoder, jpeg.data(), jpeg.size(), rows.data(), kWidth, stride,
                                     kHeight, TJPF_BGR, TJFLAG_BOTTOMUP) == 0;
        });
        if (!decoded || XR_RasterFromBgrRows(rows, kWidth, kHeight, size_t(stride), raster) != 1) {
            std::fprintf(stderr, "%s: cannot decode\n", name.c_str());
            return 1;
        }
        int found = 0;
        const double searchMs = MedianMs([&] {
            found = XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                      config.get(), records, kMaxMatches, true);
        });
        std::printf("%-22s %10.1f %10.1f %8.2f %6d\n", name.c_str(), decodeMs, searchMs,
                    searchMs / decodeMs, found);
    }
    tjDestroy(decoder);
    return 0;
}
