// Renders barcodes (encoded by libzint) into 24-bit pictures laid out the way
// the engine reads them: blue-green-red rows, bottom row first, each row padded
// to a multiple of 4 bytes. Symbols can be scaled to any module size, rotated,
// placed on larger canvases, blurred, made noisy and passed through JPEG.
//
// Positions are in pixels of a top-down picture (y = 0 is the top row, as in the
// engine's grey raster); pixel (x, y) covers [x, x + 1) x [y, y + 1), so the
// centre of a W x H canvas is (W / 2, H / 2).
#pragma once

#include <zint.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::test {

struct ImageOptions {
    int symbology = BARCODE_EANX;  // a zint BARCODE_ constant
    std::string data;              // as zint takes it ("590123412345", "[01]0950110...")
    // The linear part of a composite symbol (zint's primary): data then holds
    // its two-dimensional component.
    std::string primary;
    int option2 = 0;  // zint's option_2: columns of GS1 DataBar Expanded Stacked, ...
    // When not empty, these modules ("1" bar, "0" space) are drawn instead of
    // zint's symbol (symbology, data and showText are then ignored), for symbols
    // zint does not draw: other wide/narrow ratios, Patch codes.
    std::string modules;
    double moduleSize = 3.0;     // pixels per module; need not be whole
    double angle = 0.0;          // degrees, counter-clockwise on screen, about the symbol's centre
    int quietModules = 10;       // light modules around the symbol (left, right, top and bottom)
    double heightModules = 0.0;  // bar height in modules; 0 keeps zint's default (50)
    bool showText = false;       // zint's human-readable text under the bars
    uint8_t ink = 0;             // grey of the bars
    uint8_t paper = 255;         // grey of the canvas

    // RenderBarcode only (PasteBarcode ignores these).
    int32_t canvasWidth = 0;  // 0: just large enough for the rotated symbol
    int32_t canvasHeight = 0;
    std::optional<double> centreX;  // symbol centre; default the canvas centre
    std::optional<double> centreY;
    double blurSigma = 0.0;  // Gaussian blur, in pixels
    double noise = 0.0;      // largest uniform noise added to a pixel, in grey levels
    uint32_t seed = 1;       // noise generator seed
    int jpegQuality = 0;     // 0: no JPEG; 1..100: compress and decompress at this quality
};

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;            // bytes per row: 3 * width rounded up to a multiple of 4
    std::vector<uint8_t> pixels;  // stride * height bytes, blue-green-red, bottom row first

    std::span<const uint8_t> Bytes() const { return pixels; }

    // The blue byte of pixel (x, y), y counted from the top.
    uint8_t* At(int32_t x, int32_t y) {
        return pixels.data() + static_cast<size_t>(height - 1 - y) * stride + 3 * size_t(x);
    }
    const uint8_t* At(int32_t x, int32_t y) const {
        return pixels.data() + static_cast<size_t>(height - 1 - y) * stride + 3 * size_t(x);
    }
    // (B + 6 G + 3 R) / 10, rounded: the engine's grey weighting on a 0..255 scale.
    int Grey(int32_t x, int32_t y) const {
        const uint8_t* p = At(x, y);
        return (p[0] + 6 * p[1] + 3 * p[2] + 5) / 10;
    }
    void SetGrey(int32_t x, int32_t y, uint8_t grey) {
        uint8_t* p = At(x, y);
        p[0] = p[1] = p[2] = grey;
    }
};

struct Point {
    double x = 0;
    double y = 0;
};

// Where a rendered symbol landed: the ends of its bars on the line through its
// centre (start is the end a left-to-right scan of the upright symbol meets
// first), and its centre.
struct Placement {
    Point start;
    Point stop;
    Point centre;
};

// A uniform picture.
Image BlankImage(int32_t width, int32_t height, uint8_t grey = 255);
// Independent uniformly distributed grey pixels.
Image NoiseImage(int32_t width, int32_t height, uint32_t seed);

// The symbol on a canvas of `paper`, with the blur, noise and JPEG options
// applied to the whole picture. Throws std::runtime_error with zint's message
// when zint refuses the data, std::invalid_argument for unusable options.
Image RenderBarcode(const ImageOptions& options);
Image RenderBarcode(const ImageOptions& options, Placement& placement);

// Draws the symbol's bars over the canvas (its quiet zone leaves the canvas as it
// was), centred at (centreX, centreY); parts off the canvas are dropped.
Placement PasteBarcode(Image& canvas, const ImageOptions& options, double centreX, double centreY);

// Whole-picture effects, for pictures composed with PasteBarcode.
void Blur(Image& image, double sigma);
void AddNoise(Image& image, double amplitude, uint32_t seed);
void JpegRoundTrip(Image& image, int quality);  // quality 1..100

// An EAN-13 label too faint for the engine's contrast threshold (grey bars on
// grey paper, slightly blurred): the engine's searches read nothing in it, the
// extended search reads 4006381333931.
inline ImageOptions FaintLabel() {
    ImageOptions o;
    o.symbology = BARCODE_EANX;
    o.data = "400638133393";
    o.moduleSize = 2.5;
    o.ink = 170;
    o.paper = 205;
    o.canvasWidth = 400;
    o.canvasHeight = 240;
    o.blurSigma = 0.8;
    return o;
}

// zint's modules for the options' symbol, "1" bar and "0" space, add-on included
// (the options' own modules when it has them).
std::string SymbolModules(const ImageOptions& options);

// Every row of zint's symbol, top first, with its height in modules: the
// rows of stacked symbols and the separators between them.
struct SymbolRow {
    std::string modules;
    double height = 0;
};
std::vector<SymbolRow> SymbolRows(const ImageOptions& options);

// Module strings of wide/narrow symbols. Elements are "N" (narrow) and "W"
// (wide), alternating bar and space from a bar; each becomes `narrow` or `wide`
// modules. Other characters are refused with std::invalid_argument.
std::string WideNarrowModules(std::string_view elements, int narrow, int wide);
// The elements of a two-width module string (its bars and spaces from the first
// bar to the last): runs of the narrowest width are "N", longer runs "W".
std::string ElementsOf(std::string_view modules);

}  // namespace zeph::test
