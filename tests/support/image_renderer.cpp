#include "tests/support/image_renderer.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::test {
namespace {

// zint's raster output at scale 1 draws every module 2 pixels wide; finer cells
// than modules keep its human-readable text legible when shown.
constexpr float kZintScale = 1.0f;
constexpr int kCellsPerModule = 2;

struct SymbolDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};
using SymbolPtr = std::unique_ptr<zint_symbol, SymbolDeleter>;

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjPtr = std::unique_ptr<void, TjDeleter>;

struct TjBufferDeleter {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// Bar height in modules of symbols drawn from the options' own modules, when the
// options leave it open (zint's default).
constexpr double kDefaultHeightModules = 50.0;

void CheckSymbolOptions(const ImageOptions& o) {
    if (!(o.moduleSize > 0) || !std::isfinite(o.moduleSize))
        throw std::invalid_argument("moduleSize must be positive");
    if (o.quietModules < 0) throw std::invalid_argument("quietModules must not be negative");
    if (!std::isfinite(o.angle)) throw std::invalid_argument("angle must be finite");
    if (o.modules.find_first_not_of("01") != std::string::npos)
        throw std::invalid_argument("modules are \"0\" and \"1\" only");
    if (!std::isfinite(o.heightModules))
        throw std::invalid_argument("heightModules must be finite");
}

SymbolPtr Encode(const ImageOptions& o, bool raster) {
    SymbolPtr symbol(ZBarcode_Create());
    if (!symbol) throw std::runtime_error("zint: out of memory");
    symbol->symbology = o.symbology;
    symbol->scale = kZintScale;
    symbol->show_hrt = o.showText ? 1 : 0;
    // Our own quiet zone replaces the ones zint adds to some symbologies.
    symbol->output_options = BARCODE_NO_QUIET_ZONES;
    symbol->whitespace_width = 0;
    symbol->whitespace_height = 0;
    if (o.heightModules > 0) symbol->height = static_cast<float>(o.heightModules);
    symbol->option_2 = o.option2;
    if (o.primary.size() >= sizeof symbol->primary)
        throw std::invalid_argument("the primary data is too long");
    std::copy(o.primary.begin(), o.primary.end(), symbol->primary);
    symbol->primary[o.primary.size()] = '\0';
    const auto* bytes = reinterpret_cast<const unsigned char*>(o.data.data());
    const int length = static_cast<int>(o.data.size());
    const int rc = raster ? ZBarcode_Encode_and_Buffer(symbol.get(), bytes, length, 0)
                          : ZBarcode_Encode(symbol.get(), bytes, length);
    if (rc >= ZINT_ERROR) throw std::runtime_error(symbol->errtxt);
    return symbol;
}

std::string ModulesOf(const zint_symbol& symbol, int row = 0) {
    std::string modules(static_cast<size_t>(symbol.width), '0');
    for (int i = 0; i < symbol.width; ++i) {
        if ((symbol.encoded_data[row][i >> 3] >> (i & 7)) & 1) modules[i] = '1';
    }
    return modules;
}

// The symbol upright at its final module size: ink coverage 0..1 per pixel,
// quiet zone included.
struct Upright {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<float> ink;  // top row first
    double barStart = 0;     // x of the outer edges of the first and last bars
    double barStop = 0;

    float At(int32_t x, int32_t y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0.0f;
        return ink[static_cast<size_t>(y) * width + x];
    }
};

struct Tap {
    int32_t cell;
    float weight;
};

// Box-filter footprints: which zint cells (each cellSize pixels, the first
// `margin` cells blank) each output pixel covers, and by what fraction.
std::vector<std::vector<Tap>> Footprints(int32_t pixels, double cellSize, int32_t margin,
                                         int32_t cells) {
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(pixels));
    for (int32_t i = 0; i < pixels; ++i) {
        const double lo = i / cellSize;
        const double hi = (i + 1) / cellSize;
        for (auto j = static_cast<int32_t>(std::floor(lo)); j < hi; ++j) {
            const double overlap = std::min(hi, j + 1.0) - std::max(lo, double(j));
            const int32_t cell = j - margin;
            if (overlap > 0 && cell >= 0 && cell < cells)
                taps[i].push_back({cell, static_cast<float>(overlap * cellSize)});
        }
    }
    return taps;
}

// The symbol as a grid of cells, kCellsPerModule to a module: ink 0..1 per
// cell, top row first, with its row of modules.
struct Cells {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<float> dark;
    std::string modules;
};

Cells ZintCells(const ImageOptions& o) {
    const SymbolPtr symbol = Encode(o, true);
    Cells c;
    c.width = symbol->bitmap_width;
    c.height = symbol->bitmap_height;
    c.dark.resize(static_cast<size_t>(c.width) * c.height);
    for (size_t i = 0; i < c.dark.size(); ++i)
        c.dark[i] = 1.0f - symbol->bitmap[3 * i + 1] / 255.0f;
    c.modules = ModulesOf(*symbol);
    return c;
}

Cells ModuleCells(const ImageOptions& o) {
    const double height = o.heightModules > 0 ? o.heightModules : kDefaultHeightModules;
    Cells c;
    c.width = static_cast<int32_t>(o.modules.size()) * kCellsPerModule;
    c.height = std::max(1, static_cast<int32_t>(std::lround(height * kCellsPerModule)));
    c.dark.resize(static_cast<size_t>(c.width) * c.height);
    for (int32_t y = 0; y < c.height; ++y) {
        for (int32_t x = 0; x < c.width; ++x)
            c.dark[static_cast<size_t>(y) * c.width + x] =
                o.modules[static_cast<size_t>(x / kCellsPerModule)] == '1' ? 1.0f : 0.0f;
    }
    c.modules = o.modules;
    return c;
}

Upright BuildUpright(const ImageOptions& o) {
    CheckSymbolOptions(o);
    const Cells cells = o.modules.empty() ? ZintCells(o) : ModuleCells(o);
    const int32_t cellsX = cells.width;
    const int32_t cellsY = cells.height;
    const std::vector<float>& dark = cells.dark;
    const int32_t margin = o.quietModules * kCellsPerModule;
    const double cellSize = o.moduleSize / kCellsPerModule;

    Upright u;
    u.width = static_cast<int32_t>(std::ceil((cellsX + 2.0 * margin) * cellSize - 1e-9));
    u.height = static_cast<int32_t>(std::ceil((cellsY + 2.0 * margin) * cellSize - 1e-9));
    // Equal parity of width and height puts the pixel grids of quarter-turned
    // symbols on whole pixels, so 90-degree turns stay as sharp as 0.
    if ((u.width + u.height) % 2 != 0) ++u.height;

    // Separable area resampling: across each cell row, then down the columns.
    const auto tapsX = Footprints(u.width, cellSize, margin, cellsX);
    const auto tapsY = Footprints(u.height, cellSize, margin, cellsY);
    std::vector<float> across(static_cast<size_t>(cellsY) * u.width, 0.0f);
    for (int32_t r = 0; r < cellsY; ++r) {
        const float* in = &dark[static_cast<size_t>(r) * cellsX];
        float* out = &across[static_cast<size_t>(r) * u.width];
        for (int32_t x = 0; x < u.width; ++x) {
            float sum = 0;
            for (const Tap& t : tapsX[x])
                sum += t.weight * in[t.cell];
            out[x] = sum;
        }
    }
    u.ink.assign(static_cast<size_t>(u.width) * u.height, 0.0f);
    for (int32_t y = 0; y < u.height; ++y) {
        float* out = &u.ink[static_cast<size_t>(y) * u.width];
        for (const Tap& t : tapsY[y]) {
            const float* in = &across[static_cast<size_t>(t.cell) * u.width];
            for (int32_t x = 0; x < u.width; ++x)
                out[x] += t.weight * in[x];
        }
        for (int32_t x = 0; x < u.width; ++x)
            out[x] = std::clamp(out[x], 0.0f, 1.0f);
    }

    // The top cell row crosses every bar (EAN add-ons start lower, but their
    // modules are in zint's module row).
    const std::string& modules = cells.modules;
    const size_t firstBar = modules.find('1');
    const size_t lastBar = modules.rfind('1');
    int32_t firstDark = 0;
    while (firstDark < cellsX && dark[firstDark] < 0.5f)
        ++firstDark;
    if (firstBar != std::string::npos && firstDark < cellsX) {
        u.barStart = (margin + firstDark) * cellSize;
        u.barStop = u.barStart + static_cast<double>(lastBar + 1 - firstBar) * o.moduleSize;
    }
    return u;
}

// Where the upright symbol sits on the canvas: its centre lands on (px, py),
// then it turns by the angle.
struct Pose {
    double cosA = 1;
    double sinA = 0;
    double px = 0;
    double py = 0;
    double halfW = 0;
    double halfH = 0;

    Point ToCanvas(double ux, double uy) const {
        const double du = ux - halfW;
        const double dv = uy - halfH;
        return {px + du * cosA + dv * sinA, py - du * sinA + dv * cosA};
    }
};

Pose MakePose(const Upright& u, double angleDegrees, double cx, double cy) {
    Pose pose;
    double a = std::fmod(angleDegrees, 360.0);
    if (a < 0) a += 360.0;
    // Exact quarter turns keep sharp pixels sharp.
    if (a == 0.0) {
        pose.cosA = 1, pose.sinA = 0;
    } else if (a == 90.0) {
        pose.cosA = 0, pose.sinA = 1;
    } else if (a == 180.0) {
        pose.cosA = -1, pose.sinA = 0;
    } else if (a == 270.0) {
        pose.cosA = 0, pose.sinA = -1;
    } else {
        const double r = a * std::numbers::pi / 180.0;
        pose.cosA = std::cos(r);
        pose.sinA = std::sin(r);
    }
    pose.halfW = u.width / 2.0;
    pose.halfH = u.height / 2.0;
    // Snap the upright's corner to whole pixels so that an unturned symbol is
    // copied pixel for pixel rather than smeared by interpolation.
    pose.px = std::round(cx - pose.halfW) + pose.halfW;
    pose.py = std::round(cy - pose.halfH) + pose.halfH;
    return pose;
}

struct Box {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // [x0, x1) x [y0, y1)
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

float Bilinear(const Upright& u, double x, double y) {
    const double fx0 = std::floor(x);
    const double fy0 = std::floor(y);
    const auto x0 = static_cast<int32_t>(fx0);
    const auto y0 = static_cast<int32_t>(fy0);
    const auto fx = static_cast<float>(x - fx0);
    const auto fy = static_cast<float>(y - fy0);
    const float top = u.At(x0, y0) + fx * (u.At(x0 + 1, y0) - u.At(x0, y0));
    const float bottom = u.At(x0, y0 + 1) + fx * (u.At(x0 + 1, y0 + 1) - u.At(x0, y0 + 1));
    return top + fy * (bottom - top);
}

Placement Paste(Image& canvas, const Upright& u, const ImageOptions& o, double cx, double cy,
                Box& touched) {
    const Pose pose = MakePose(u, o.angle, cx, cy);
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    const double w = u.width, h = u.height;
    for (const Point corner : {Point{0, 0}, Point{w, 0}, Point{0, h}, Point{w, h}}) {
        const Point p = pose.ToCanvas(corner.x, corner.y);
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    const auto clampTo = [](double v, int32_t hi) {
        return static_cast<int32_t>(std::clamp(v, 0.0, static_cast<double>(hi)));
    };
    touched = {clampTo(std::floor(minX), canvas.width), clampTo(std::floor(minY), canvas.height),
               clampTo(std::ceil(maxX), canvas.width), clampTo(std::ceil(maxY), canvas.height)};

    // Inverse mapping: each canvas pixel centre back into the upright symbol.
    const float ink = o.ink;
    for (int32_t y = touched.y0; y < touched.y1; ++y) {
        const double dy = y + 0.5 - pose.py;
        for (int32_t x = touched.x0; x < touched.x1; ++x) {
            const double dx = x + 0.5 - pose.px;
            const double su = dx * pose.cosA - dy * pose.sinA + pose.halfW - 0.5;
            const double sv = dx * pose.sinA + dy * pose.cosA + pose.halfH - 0.5;
            const float a = std::clamp(Bilinear(u, su, sv), 0.0f, 1.0f);
            if (a <= 0) continue;
            uint8_t* p = canvas.At(x, y);
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<uint8_t>(std::lround(p[c] + a * (ink - p[c])));
        }
    }
    return {pose.ToCanvas(u.barStart, pose.halfH),
            pose.ToCanvas(u.barStop, pose.halfH),
            {pose.px, pose.py}};
}

Image MakeImage(int32_t width, int32_t height) {
    if (width < 0 || height < 0) throw std::invalid_argument("image sizes must not be negative");
    Image image;
    image.width = width;
    image.height = height;
    image.stride = (3 * static_cast<size_t>(width) + 3) & ~size_t{3};
    image.pixels.assign(image.stride * static_cast<size_t>(height), 0);
    return image;
}

// Blurs the pixels within `radius` of the dirty box; the rest of the picture is
// read but left as it was (where it is uniform, blurring would not change it).
void BlurAround(Image& image, double sigma, Box dirty) {
    if (!(sigma > 0) || image.width == 0 || image.height == 0) return;
    const int r = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
    std::vector<float> kernel(2 * r + 1);
    float total = 0;
    for (int i = -r; i <= r; ++i)
        total += kernel[i + r] = static_cast<float>(std::exp(-0.5 * i * i / (sigma * sigma)));
    for (float& k : kernel)
        k /= total;

    const int32_t x0 = std::max(0, dirty.x0 - r), x1 = std::min(image.width, dirty.x1 + r);
    const int32_t y0 = std::max(0, dirty.y0 - r), y1 = std::min(image.height, dirty.y1 + r);
    if (x0 >= x1 || y0 >= y1) return;
    // Columns feeding the box; beyond the picture's edges the edge pixels repeat.
    const int32_t f0 = std::max(0, x0 - r), f1 = std::min(image.width, x1 + r);
    const int32_t padded = (x1 - x0) + 2 * r;
    const int32_t boxW = x1 - x0;
    std::vector<float> line(3 * static_cast<size_t>(padded));
    std::vector<uint8_t> out(3 * static_cast<size_t>(boxW) * (y1 - y0));
    for (int32_t y = y0; y < y1; ++y) {
        // Down the columns, into line[] at index (x - (x0 - r)).
        float* fed = &line[3 * static_cast<size_t>(f0 - (x0 - r))];
        const size_t n = 3 * static_cast<size_t>(f1 - f0);
        std::fill(fed, fed + n, 0.0f);
        for (int d = -r; d <= r; ++d) {
            const uint8_t* row = image.At(f0, std::clamp(y + d, 0, image.height - 1));
            const float k = kernel[d + r];
            for (size_t i = 0; i < n; ++i)
                fed[i] += k * row[i];
        }
        for (int32_t i = 0; i < f0 - (x0 - r); ++i)
            std::copy_n(fed, 3, &line[3 * static_cast<size_t>(i)]);
        for (int32_t i = f1 - (x0 - r); i < padded; ++i)
            std::copy_n(fed + n - 3, 3, &line[3 * static_cast<size_t>(i)]);
        // Then along the row.
        uint8_t* o = &out[3 * static_cast<size_t>(boxW) * (y - y0)];
        for (int32_t x = 0; x < boxW; ++x) {
            for (int c = 0; c < 3; ++c) {
                float acc = 0;
                const float* in = &line[3 * static_cast<size_t>(x) + c];
                for (int i = 0; i <= 2 * r; ++i)
                    acc += kernel[i] * in[3 * i];
                o[3 * x + c] = static_cast<uint8_t>(std::clamp(std::lround(acc), 0L, 255L));
            }
        }
    }
    for (int32_t y = y0; y < y1; ++y)
        std::copy_n(&out[3 * static_cast<size_t>(boxW) * (y - y0)], 3 * boxW, image.At(x0, y));
}

Box WholeImage(const Image& image) {
    return {0, 0, image.width, image.height};
}

}  // namespace

Image BlankImage(int32_t width, int32_t height, uint8_t grey) {
    Image image = MakeImage(width, height);
    for (int32_t y = 0; y < height; ++y)
        std::fill_n(image.At(0, y), 3 * static_cast<size_t>(width), grey);
    return image;
}

Image NoiseImage(int32_t width, int32_t height, uint32_t seed) {
    Image image = MakeImage(width, height);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> grey(0, 255);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x)
            image.SetGrey(x, y, static_cast<uint8_t>(grey(rng)));
    }
    return image;
}

Image RenderBarcode(const ImageOptions& options) {
    Placement ignored;
    return RenderBarcode(options, ignored);
}

Image RenderBarcode(const ImageOptions& o, Placement& placement) {
    if (o.canvasWidth < 0 || o.canvasHeight < 0)
        throw std::invalid_argument("canvas sizes must not be negative");
    if (o.jpegQuality < 0 || o.jpegQuality > 100)
        throw std::invalid_argument("jpegQuality is 0 (none) or 1..100");
    if (o.blurSigma < 0 || o.noise < 0)
        throw std::invalid_argument("blur and noise must not be negative");
    const Upright u = BuildUpright(o);
    int32_t width = o.canvasWidth;
    int32_t height = o.canvasHeight;
    if (width == 0 || height == 0) {
        // The bounding box of the turned symbol.
        const Pose pose = MakePose(u, o.angle, 0, 0);
        const double c = std::abs(pose.cosA), s = std::abs(pose.sinA);
        if (width == 0) width = static_cast<int32_t>(std::ceil(u.width * c + u.height * s - 1e-6));
        if (height == 0)
            height = static_cast<int32_t>(std::ceil(u.width * s + u.height * c - 1e-6));
    }
    Image image = BlankImage(width, height, o.paper);
    Box touched;
    placement = Paste(image, u, o, o.centreX.value_or(width / 2.0),
                      o.centreY.value_or(height / 2.0), touched);
    // Outside the symbol the canvas is uniform, so only its surroundings need blurring.
    if (!touched.Empty()) BlurAround(image, o.blurSigma, touched);
    AddNoise(image, o.noise, o.seed);
    if (o.jpegQuality > 0) JpegRoundTrip(image, o.jpegQuality);
    return image;
}

Placement PasteBarcode(Image& canvas, const ImageOptions& options, double centreX, double centreY) {
    Box touched;
    return Paste(canvas, BuildUpright(options), options, centreX, centreY, touched);
}

void Blur(Image& image, double sigma) {
    BlurAround(image, sigma, WholeImage(image));
}

void AddNoise(Image& image, double amplitude, uint32_t seed) {
    if (!(amplitude > 0)) return;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> noise(static_cast<float>(-amplitude),
                                                static_cast<float>(amplitude));
    for (int32_t y = 0; y < image.height; ++y) {
        uint8_t* p = image.At(0, y);
        for (int32_t x = 0; x < image.width; ++x, p += 3) {
            const float n = noise(rng);  // one value for all three channels keeps greys grey
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<uint8_t>(std::clamp(std::lround(p[c] + n), 0L, 255L));
        }
    }
}

void JpegRoundTrip(Image& image, int quality) {
    if (quality < 1 || quality > 100) throw std::invalid_argument("JPEG quality is 1..100");
    if (image.width == 0 || image.height == 0) return;
    const int pitch = static_cast<int>(image.stride);

    const TjPtr compressor(tjInitCompress());
    if (!compressor) throw std::runtime_error(tjGetErrorStr2(nullptr));
    unsigned char* raw = nullptr;
    unsigned long size = 0;
    const int rc =
        tjCompress2(compressor.get(), image.pixels.data(), image.width, pitch, image.height,
                    TJPF_BGR, &raw, &size, TJSAMP_420, quality, TJFLAG_BOTTOMUP);
    const std::unique_ptr<unsigned char, TjBufferDeleter> jpeg(raw);
    if (rc != 0) throw std::runtime_error(tjGetErrorStr2(compressor.get()));

    const TjPtr decompressor(tjInitDecompress());
    if (!decompressor) throw std::runtime_error(tjGetErrorStr2(nullptr));
    if (tjDecompress2(decompressor.get(), jpeg.get(), size, image.pixels.data(), image.width, pitch,
                      image.height, TJPF_BGR, TJFLAG_BOTTOMUP) != 0)
        throw std::runtime_error(tjGetErrorStr2(decompressor.get()));
}

std::string SymbolModules(const ImageOptions& options) {
    if (!options.modules.empty()) return options.modules;
    return ModulesOf(*Encode(options, false));
}

std::vector<SymbolRow> SymbolRows(const ImageOptions& options) {
    const SymbolPtr symbol = Encode(options, false);
    std::vector<SymbolRow> rows;
    for (int r = 0; r < symbol->rows; ++r)
        rows.push_back({ModulesOf(*symbol, r), symbol->row_height[r]});
    return rows;
}

std::string WideNarrowModules(std::string_view elements, int narrow, int wide) {
    if (narrow < 1 || wide < 1) throw std::invalid_argument("widths must be positive");
    std::string modules;
    bool bar = true;
    for (char element : elements) {
        if (element != 'N' && element != 'W')
            throw std::invalid_argument("elements are \"N\" and \"W\" only");
        modules.append(static_cast<size_t>(element == 'W' ? wide : narrow), bar ? '1' : '0');
        bar = !bar;
    }
    return modules;
}

std::string ElementsOf(std::string_view modules) {
    const size_t first = modules.find('1');
    if (first == std::string_view::npos) return {};
    modules = modules.substr(first, modules.rfind('1') + 1 - first);
    std::vector<size_t> runs;
    for (size_t i = 0; i < modules.size(); ++i) {
        if (i > 0 && modules[i] == modules[i - 1]) {
            ++runs.back();
        } else {
            runs.push_back(1);
        }
    }
    const size_t narrowest = *std::min_element(runs.begin(), runs.end());
    std::string elements;
    for (size_t run : runs)
        elements += run == narrowest ? 'N' : 'W';
    return elements;
}

}  // namespace zeph::test
