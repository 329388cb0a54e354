// Two figures of ZephScan as people run it, each in one run:
//
//   pages_bench ZEPHSCAN FOLDER [PHOTOS]
//
// Pages: a TIFF of 1,000 pages and one of 10 pages of the same size, read with
// -pages all; ZephScan's peak resident memory for each, and their ratio (one
// page held at a time: the ratio stays near 1).
// A reader that goes away: `ZephScan FOLDER/photos/* | head -c 100` over
// PHOTOS (default 300) 12-megapixel photos; the time from the reader closing
// to ZephScan's end, and its exit status.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/document_files.h"
#include "tests/support/image_renderer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Run {
    int status = -1;
    long peakKb = 0;
    std::string output;
};

// Runs ZephScan; with `closeAfter`, reads that many bytes of its output, closes
// it and gives the seconds from the close to the process's end.
Run RunZephScan(const std::vector<std::string>& args, size_t closeAfter, double* secondsAfter) {
    int out[2];
    if (pipe(out) != 0) std::exit(2);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv;
        std::vector<std::string> copies = args;
        for (std::string& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    Run run;
    char buffer[1 << 16];
    Clock::time_point closed;
    for (;;) {
        const size_t want = closeAfter ? closeAfter - run.output.size() : sizeof buffer;
        const ssize_t n = read(out[0], buffer, std::min(want, sizeof buffer));
        if (n <= 0) break;
        run.output.append(buffer, size_t(n));
        if (closeAfter && run.output.size() >= closeAfter) break;
    }
    closed = Clock::now();
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (secondsAfter) *secondsAfter = std::chrono::duration<double>(Clock::now() - closed).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKb = usage.ru_maxrss;
    return run;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

zeph::test::Image Label(int width, int height, double noise, uint32_t seed) {
    zeph::test::ImageOptions o;
    o.data = "400638133393";
    o.moduleSize = width / 300.0;
    o.canvasWidth = width;
    o.canvasHeight = height;
    o.paper = 200;
    o.noise = noise;
    o.seed = seed;
    return zeph::test::RenderBarcode(o);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: pages_bench ZEPHSCAN FOLDER [PHOTOS]\n");
        return 2;
    }
    const std::string program = argv[1];
    const fs::path folder = fs::absolute(argv[2]);
    const int photos = argc > 3 ? std::atoi(argv[3]) : 300;
    fs::create_directories(folder / "photos");

    // Pages: 1,000 and 10 of one A4-like page at 150 dpi, clean as a scan's
    // deflate-coded grey (the file of 1,000 pages within the loader's 512 MiB).
    const zeph::test::Image page = Label(1240, 1754, 0, 1);
    for (const int count : {10, 1000}) {
        const fs::path file = folder / ("pages_" + std::to_string(count) + ".tif");
        if (!fs::exists(file)) {
            WriteFile(file,
                      zeph::test::TiffOfPages(std::vector<zeph::test::Image>(size_t(count), page)));
        }
    }
    std::printf("%8s %10s %10s %10s %8s\n", "pages", "read", "peak MB", "seconds", "status");
    long peaks[2] = {};
    int at = 0;
    for (const int count : {10, 1000}) {
        const fs::path file = folder / ("pages_" + std::to_string(count) + ".tif");
        const auto start = Clock::now();
        const Run run = RunZephScan(
            {program, "-threads", "1", "-pages", "all", "-format", "text", file.string()}, 0,
            nullptr);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        peaks[at++] = run.peakKb;
        std::printf("%8d %10zu %10.1f %10.1f %8d\n", count, Count(run.output, "\n"),
                    run.peakKb / 1024.0, seconds, run.status);
    }
    std::printf("peak memory, 1,000 pages against 10: %.2f\n", double(peaks[1]) / double(peaks[0]));

    // Photos: 12 megapixels each, written once.
    for (int i = 0; i < photos; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "photo_%04d.jpg", i);
        const fs::path file = folder / "photos" / name;
        if (fs::exists(file)) continue;
        static const zeph::test::Image photo = Label(4000, 3000, 10, 7);
        WriteFile(file, zeph::test::JpegOfImage(photo, 85));
    }
    double afterClose = 0;
    const auto start = Clock::now();
    const Run head = RunZephScan({program, (folder / "photos" / "*").string()}, 100, &afterClose);
    const double total = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "ZephScan %s/photos/* | head -c 100 over %d photos: ended %.3f s after the reader "
        "closed, %.3f s in all, exit status %d\n",
        folder.c_str(), photos, afterClose, total, head.status);
    return 0;
}
