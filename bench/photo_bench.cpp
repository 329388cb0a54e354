// 12-megapixel camera-like JPEG photos for the speed comparison, and the
// engine's search on each against TurboJPEG's decode of it.
//
//   photo_bench FOLDER [COUNT]
//
// Writes COUNT photos (default 4) to FOLDER: a textured surface without a
// barcode, and a label with an EAN-13 symbol on such a surface, turn about.
// Then, for every photo, times (median of five, one thread) the plain
// TurboJPEG decode into bottom-up 24-bit rows and XR_SearchExtended (thorough)
// on its grey raster, and prints both with their ratio; then the library's
// ReadBarcodes on the decoded pixels against the engine's conversion and
// search, and their ratio.
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reader.h"
#include "tests/support/ean_encoder.h"
#include "zeph/barcode.h"

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

// Medians of nine runs of each of two works, run turn about.
template <typename First, typename Second>
std::pair<double, double> MedianPairMs(First first, Second second) {
    std::vector<double> a, b;
    const auto time = [](auto& work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    };
    for (int i = 0; i < 9; ++i) {
        a.push_back(time(first));
        b.push_back(time(second));
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[4], b[4]};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "-h" || first == "--help") {
        std::printf("usage: photo_bench FOLDER [COUNT]\n");
        return 0;
    }
    if (argc < 2 || argc > 3 || first.starts_with('-')) {
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
    std::printf("%-22s %10s %10s %8s %6s %11s %8s %8s\n", "photo", "decode ms", "search ms",
                "ratio", "reads", "raster+srch", "API ms", "API/eng");
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
        // The library's read of the decoded pixels (rows bottom first: the view
        // starts at the top row and walks back) against the engine's own
        // conversion and search, which is the same work without the API.
        // Turn about, so that both see the machine alike.
        const zeph::ImageView view(rows.data() + size_t(stride) * (kHeight - 1), kWidth, kHeight,
                                   -stride, zeph::PixelFormat::Bgr);
        size_t apiFound = 0;
        const auto [engineMs, apiMs] = MedianPairMs(
            [&] {
                XR_RasterFromBgrRows(rows, kWidth, kHeight, size_t(stride), raster);
                found = XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                          config.get(), records, kMaxMatches, true);
            },
            [&] { apiFound = zeph::ReadBarcodes(view).size(); });
        if (apiFound != size_t(found)) {
            std::fprintf(stderr, "%s: the API read %zu, the engine %d\n", name.c_str(), apiFound,
                         found);
            return 1;
        }
        std::printf("%-22s %10.1f %10.1f %8.2f %6d %11.1f %8.1f %8.3f\n", name.c_str(), decodeMs,
                    searchMs, searchMs / decodeMs, found, engineMs, apiMs, apiMs / engineMs);
    }
    tjDestroy(decoder);
    return 0;
}
