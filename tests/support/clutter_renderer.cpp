#include "tests/support/clutter_renderer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>

namespace zeph::test {
namespace {

using Random = std::mt19937;

int Uniform(Random& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

double Real(Random& rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

// Bars and spaces of 1 to `widest` modules, `bars` bars from a bar.
std::string RandomModules(Random& rng, int bars, int widest) {
    std::string modules;
    for (int b = 0; b < bars; ++b) {
        modules.append(static_cast<size_t>(Uniform(rng, 1, widest)), '1');
        if (b + 1 < bars) modules.append(static_cast<size_t>(Uniform(rng, 1, widest)), '0');
    }
    return modules;
}

// A short unit of bars and spaces repeated many times.
std::string GratingModules(Random& rng) {
    std::string unit;
    const int elements = 2 * Uniform(rng, 1, 3);
    for (int e = 0; e < elements; ++e)
        unit.append(static_cast<size_t>(Uniform(rng, 1, 3)), e % 2 == 0 ? '1' : '0');
    std::string modules;
    const int repeats = Uniform(rng, 8, 40);
    for (int r = 0; r < repeats; ++r)
        modules += unit;
    // End on a bar.
    while (!modules.empty() && modules.back() == '0')
        modules.pop_back();
    return modules;
}

// Stripes drawn as a symbol of its own modules: any angle, any module size.
void PasteStripes(Image& canvas, Random& rng, const std::string& modules) {
    ImageOptions o;
    o.modules = modules;
    o.moduleSize = Real(rng, 1.2, 4.0);
    o.angle = Uniform(rng, 0, 2) == 0 ? 0.0 : Real(rng, 0.0, 360.0);
    o.heightModules = Real(rng, 8.0, 60.0);
    o.ink = static_cast<uint8_t>(Uniform(rng, 0, 90));
    PasteBarcode(canvas, o, Real(rng, 0.3, 0.7) * canvas.width,
                 Real(rng, 0.3, 0.7) * canvas.height);
}

void FillRect(Image& image, int x0, int y0, int w, int h, uint8_t grey) {
    for (int y = std::max(0, y0); y < std::min(image.height, y0 + h); ++y) {
        for (int x = std::max(0, x0); x < std::min(image.width, x0 + w); ++x)
            image.SetGrey(x, y, grey);
    }
}

// Lines of glyph-like marks: a few vertical and horizontal strokes per cell,
// as printed text meets a scan line.
void DrawText(Image& image, Random& rng) {
    const int glyphHeight = Uniform(rng, 8, 22);
    const int glyphWidth = std::max(4, glyphHeight * Uniform(rng, 45, 75) / 100);
    const int stroke = std::max(1, glyphHeight / Uniform(rng, 6, 10));
    const auto ink = static_cast<uint8_t>(Uniform(rng, 0, 80));
    for (int top = Uniform(rng, 2, 20); top + glyphHeight < image.height;
         top += glyphHeight + Uniform(rng, 4, 14)) {
        int x = Uniform(rng, 2, 30);
        while (x + glyphWidth < image.width) {
            const int verticals = Uniform(rng, 1, 3);
            for (int v = 0; v < verticals; ++v)
                FillRect(image, x + Uniform(rng, 0, glyphWidth - stroke), top, stroke, glyphHeight,
                         ink);
            const int horizontals = Uniform(rng, 0, 2);
            for (int h = 0; h < horizontals; ++h)
                FillRect(image, x, top + Uniform(rng, 0, glyphHeight - stroke), glyphWidth, stroke,
                         ink);
            x += glyphWidth + Uniform(rng, 1, 4) * stroke;
            // Words.
            if (Uniform(rng, 0, 5) == 0) x += 2 * glyphWidth;
        }
    }
}

void DrawGradient(Image& image, Random& rng) {
    const double angle = Real(rng, 0.0, 2 * std::numbers::pi);
    const double lo = Real(rng, 0, 120);
    const double hi = Real(rng, 140, 255);
    const double cx = Real(rng, 0, image.width);
    const double cy = Real(rng, 0, image.height);
    const bool radial = Uniform(rng, 0, 1) == 0;
    const double reach = std::hypot(image.width, image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const double t =
                radial ? std::hypot(x - cx, y - cy) / reach
                       : 0.5 + ((x - cx) * std::cos(angle) + (y - cy) * std::sin(angle)) / reach;
            image.SetGrey(x, y, static_cast<uint8_t>(std::clamp(lo + (hi - lo) * t, 0.0, 255.0)));
        }
    }
}

// Sums of gratings at a few orientations, or a checkerboard.
void DrawTexture(Image& image, Random& rng) {
    if (Uniform(rng, 0, 3) == 0) {
        const int cell = Uniform(rng, 2, 12);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x)
                image.SetGrey(x, y, ((x / cell + y / cell) % 2) ? 40 : 220);
        }
        return;
    }
    struct Wave {
        double fx, fy, phase, weight;
    };
    Wave waves[4];
    const int count = Uniform(rng, 1, 4);
    for (int i = 0; i < count; ++i) {
        const double angle = Real(rng, 0.0, std::numbers::pi);
        const double period = Real(rng, 3.0, 30.0);
        waves[i] = {std::cos(angle) / period, std::sin(angle) / period,
                    Real(rng, 0.0, 2 * std::numbers::pi), Real(rng, 0.3, 1.0)};
    }
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            double v = 0, total = 0;
            for (int i = 0; i < count; ++i) {
                v += waves[i].weight *
                     std::sin(2 * std::numbers::pi * (waves[i].fx * x + waves[i].fy * y) +
                              waves[i].phase);
                total += waves[i].weight;
            }
            image.SetGrey(x, y,
                          static_cast<uint8_t>(std::clamp(128 + 110 * v / total, 0.0, 255.0)));
        }
    }
}

}  // namespace

std::string ClutterName(Clutter kind) {
    switch (kind) {
        case Clutter::kRandomBars:
            return "random bars";
        case Clutter::kGrating:
            return "grating";
        case Clutter::kText:
            return "text";
        case Clutter::kNoise:
            return "noise";
        case Clutter::kGradient:
            return "gradient";
        case Clutter::kTexture:
            return "texture";
    }
    return "?";
}

Image ClutterImage(Clutter kind, uint32_t seed) {
    Random rng(seed * 7919u + static_cast<uint32_t>(kind) * 104729u);
    const int width = Uniform(rng, 160, 480);
    const int height = Uniform(rng, 100, 360);
    Image image = BlankImage(width, height, static_cast<uint8_t>(Uniform(rng, 170, 255)));
    switch (kind) {
        case Clutter::kRandomBars: {
            const int groups = Uniform(rng, 1, 3);
            for (int g = 0; g < groups; ++g)
                PasteStripes(image, rng,
                             RandomModules(rng, Uniform(rng, 10, 70), Uniform(rng, 3, 4)));
            break;
        }
        case Clutter::kGrating:
            PasteStripes(image, rng, GratingModules(rng));
            break;
        case Clutter::kText:
            DrawText(image, rng);
            break;
        case Clutter::kNoise:
            image = NoiseImage(width, height, seed);
            break;
        case Clutter::kGradient:
            DrawGradient(image, rng);
            break;
        case Clutter::kTexture:
            DrawTexture(image, rng);
            break;
    }
    if (Uniform(rng, 0, 1) == 0) Blur(image, Real(rng, 0.3, 1.6));
    if (Uniform(rng, 0, 1) == 0) AddNoise(image, Real(rng, 2.0, 25.0), seed);
    if (Uniform(rng, 0, 2) == 0) JpegRoundTrip(image, Uniform(rng, 25, 90));
    return image;
}

}  // namespace zeph::test
