// A long run of ZephScan over a generated folder: every format (HEIC, AVIF,
// three-page TIFF and PDF files included), sizes from one pixel to 12
// megapixels, one file in ten damaged. ZephScan reads every page (-pages
// all). Checks that every file gets its block, in listing order, that the
// exit status says whether some failed, and prints ZephScan's resident memory
// every thousand files, so that growth over the run shows.
//
//   soak_bench ZEPHSCAN FOLDER [COUNT]
//
// Writes COUNT pictures (default 10000) to FOLDER unless they are there from
// an earlier run, then runs ZEPHSCAN with its default threads on FOLDER/soak_*.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/soak/soak_files.h"
#include "tests/support/ean_encoder.h"

namespace {

namespace fs = std::filesystem;
using zeph::bench::Format;
using zeph::bench::Pixels;

constexpr double kMostPixels = 12e6;

std::string Name(int index, Format format) {
    char name[32];
    std::snprintf(name, sizeof name, "soak_%05d.%s", index, zeph::bench::Extension(format));
    return name;
}

// Uneven light and grain, and on pictures wide enough an EAN-13 symbol on a
// white label across the middle.
Pixels Draw(int width, int height, bool grey, std::mt19937& random) {
    Pixels p{width, height, grey, std::vector<uint8_t>(size_t(width) * height * (grey ? 1 : 3))};
    const size_t channels = grey ? 1 : 3;
    const double phase = random() % 100;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = p.data.data() + size_t(y) * width * channels;
        for (int x = 0; x < width; ++x) {
            const double light = 140 + 50 * std::sin((x + phase) * 0.002 + y * 0.0013);
            const int g = int(light) + int((x * 7919u + y * 104729u) % 21) - 10;
            for (size_t c = 0; c < channels; ++c)
                row[x * channels + c] = uint8_t(std::clamp(g + 8 * int(c) - 8, 0, 255));
        }
    }
    const std::string modules = zeph::test::Ean13Modules("4006381333931");
    const int module = width / int(modules.size() + 30);
    if (module < 1 || height < 40) return p;
    const int symbolWidth = module * int(modules.size());
    const int left = (width - symbolWidth) / 2, top = height / 3, bottom = height * 2 / 3;
    for (int y = top; y < bottom; ++y) {
        uint8_t* row = p.data.data() + size_t(y) * width * channels;
        for (int x = left - 10 * module; x < left + symbolWidth + 10 * module; ++x) {
            const int m = (x - left) / module;
            const bool bar = x >= left && m < int(modules.size()) && modules[size_t(m)] == '1';
            for (size_t c = 0; c < channels; ++c)
                row[x * channels + c] = bar ? 25 : 230;
        }
    }
    return p;
}

// Sizes spread evenly in the logarithm of their pixel count, the first file one
// pixel and the second 12 megapixels.
void Generate(const fs::path& folder, int count) {
    fs::create_directories(folder);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = int(t); i < count; i += int(threads)) {
                std::mt19937 random(uint32_t(i) * 2654435761u);
                const Format format = Format(random() % zeph::bench::kFormats);
                int width = 1, height = 1;
                if (i == 1) {
                    width = 4000, height = 3000;
                } else if (i > 1) {
                    const double pixels = std::exp(
                        std::uniform_real_distribution<double>(0, std::log(kMostPixels))(random));
                    const double aspect =
                        std::exp(std::uniform_real_distribution<double>(-1.1, 1.1)(random));
                    width = std::max(1, int(std::sqrt(pixels * aspect)));
                    height = std::max(1, int(pixels / width));
                    while (double(width) * height > kMostPixels)
                        --height;
                }
                const Pixels pixels = Draw(width, height, random() % 2 == 0, random);
                std::vector<uint8_t> file = zeph::bench::Encode(format, pixels);
                if (random() % 10 == 0) zeph::bench::Damage(file, random);
                std::ofstream(folder / Name(i, format), std::ios::binary)
                    .write(reinterpret_cast<const char*>(file.data()),
                           std::streamsize(file.size()));
            }
        });
    }
    for (std::thread& w : workers)
        w.join();
}

long StatusKb(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    }
    return -1;
}

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("soak_", 0) == 0) names.push_back((folder / name).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: soak_bench ZEPHSCAN FOLDER [COUNT]\n");
        return 2;
    }
    const std::string program = argv[1];
    const fs::path folder = fs::absolute(argv[2]);
    const int count = argc > 3 ? std::atoi(argv[3]) : 10000;
    const auto start = std::chrono::steady_clock::now();
    const auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    if (!fs::exists(folder) || int(Listing(folder).size()) != count) {
        fs::remove_all(folder);
        Generate(folder, count);
        std::printf("generated %d files in %.0f s\n", count, seconds());
    }
    const std::vector<std::string> names = Listing(folder);

    int pipeFds[2];
    if (pipe(pipeFds) != 0) return 2;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        const std::string mask = (folder / "soak_*").string();
        execl(program.c_str(), program.c_str(), "-pages", "all", mask.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    const double runStart = seconds();
    std::printf("%8s %10s %10s %9s\n", "files", "RSS MB", "peak MB", "seconds");
    std::string pending;
    std::vector<std::string> blockNames;
    int ok = 0, failedOpen = 0, other = 0;
    long firstRss = -1, lastRss = -1, peak = -1;
    char buffer[1 << 16];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        pending.append(buffer, size_t(n));
        size_t end;
        while ((end = pending.find("</ZephScanResult>")) != std::string::npos) {
            const std::string block = pending.substr(0, end);
            pending.erase(0, end + 17);
            const size_t open = block.find("<FileName>"), close = block.find("</FileName>");
            blockNames.push_back(open != std::string::npos && close != std::string::npos
                                     ? block.substr(open + 10, close - open - 10)
                                     : "");
            if (block.find("<Status>OK</Status>") != std::string::npos) {
                ++ok;
            } else if (block.find("ERROR: Failed to open") != std::string::npos) {
                ++failedOpen;
            } else {
                ++other;
            }
            const size_t done = blockNames.size();
            // The last file's block may come as the process ends: no sample then.
            if (done % 1000 == 0 && done < names.size()) {
                lastRss = StatusKb(pid, "VmRSS:");
                peak = StatusKb(pid, "VmHWM:");
                if (done == 1000) firstRss = lastRss;
                std::printf("%8zu %10.1f %10.1f %9.1f\n", done, lastRss / 1024.0, peak / 1024.0,
                            seconds() - runStart);
                std::fflush(stdout);
            }
        }
    }
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    peak = usage.ru_maxrss;
    const bool inOrder = blockNames == names;
    std::printf("%zu files in %.1f s\n", blockNames.size(), seconds() - runStart);
    std::printf("exit status %d; %zu blocks for %zu files (%s); %d OK, %d failed opens, %d other\n",
                WIFEXITED(status) ? WEXITSTATUS(status) : -1, blockNames.size(), names.size(),
                inOrder ? "every file, in listing order" : "MISSING OR OUT OF ORDER", ok,
                failedOpen, other);
    if (firstRss > 0 && lastRss > 0) {
        std::printf(
            "RSS after 1000 files %.1f MB, at the last sample %.1f MB (%+.1f%%), peak %.1f MB\n",
            firstRss / 1024.0, lastRss / 1024.0, 100.0 * (lastRss - firstRss) / firstRss,
            peak / 1024.0);
    }
    // 3: some file could not be read, as the damaged ones cannot.
    const int expected = failedOpen > 0 || other > 0 ? 3 : 0;
    return inOrder && WIFEXITED(status) && WEXITSTATUS(status) == expected ? 0 : 1;
}
