#include "tests/support/missed_pictures.h"

namespace zeph::test {
namespace {

// The canvas holds the bars alone: the frame cuts off both quiet zones.
Image AtTheBorder() {
    ImageOptions o;
    o.symbology = BARCODE_CODE39;
    o.data = "TEST-SHEET";
    o.moduleSize = 2;
    o.quietModules = 0;
    o.heightModules = 40;
    return RenderBarcode(o);
}

// Code 128 with a dark stroke six modules after its stop character: the
// engine's line takes both in, and no decoder reads 3c + 5 bars.
Image BesideStrayBars() {
    ImageOptions o;
    o.symbology = BARCODE_CODE128;
    o.data = "Extra bars 42";
    o.moduleSize = 2;
    o.canvasWidth = 420;
    o.canvasHeight = 160;
    Placement p;
    Image image = RenderBarcode(o, p);
    const int x = static_cast<int>(p.stop.x) + 12;
    for (int y = 40; y < 120; ++y) {
        for (int dx = 0; dx < 5; ++dx)
            image.SetGrey(x + dx, y, 0);
    }
    return image;
}

// 512 samples along this line leave under two samples per module.
Image Long() {
    ImageOptions o;
    o.symbology = BARCODE_CODE128;
    o.data = "LONG-SYMBOL-0123456789-ABCDEFGHIJKLMNOP";
    o.moduleSize = 1.6;
    o.canvasWidth = 760;
    o.canvasHeight = 120;
    o.heightModules = 50;
    return RenderBarcode(o);
}

// Eight rows across the bars: too thin for a single tile.
Image Strip() {
    ImageOptions o;
    o.symbology = BARCODE_EANX;
    o.data = "501234567890";
    o.moduleSize = 2.5;
    o.canvasWidth = 290;
    o.canvasHeight = 8;
    return RenderBarcode(o);
}

// A 240 x 240 crop of a label, the symbol edge to edge, a few degrees off the
// engine's steps of nine.
Image FillingASmallFrame(double angle) {
    ImageOptions o;
    o.symbology = BARCODE_UPCA;
    o.data = "08548180001";
    o.moduleSize = 2.5;
    o.angle = angle;
    o.quietModules = 2;
    o.heightModules = 80;
    o.canvasWidth = 240;
    o.canvasHeight = 240;
    o.blurSigma = 0.8;
    o.noise = 5;
    o.jpegQuality = 80;
    return RenderBarcode(o);
}

// Short bars with light blots across their middle, where the engine draws its
// one line; the bars are intact above and below them.
Image Damaged() {
    ImageOptions o;
    o.symbology = BARCODE_UPCA;
    o.data = "03600029145";
    o.moduleSize = 2.5;
    o.heightModules = 12;
    o.canvasWidth = 360;
    o.canvasHeight = 120;
    Placement p;
    Image image = RenderBarcode(o, p);
    const int cy = static_cast<int>(p.centre.y);
    for (int y = cy - 10; y < cy + 10; ++y) {
        for (int x = static_cast<int>(p.start.x); x < static_cast<int>(p.stop.x); x += 16) {
            for (int dx = 0; dx < 8; ++dx)
                image.SetGrey(x + dx, y, 255);
        }
    }
    return image;
}

}  // namespace

std::vector<MissedPicture> MissedPictures() {
    return {
        {"faint", RenderBarcode(FaintLabel()), "4006381333931"},
        {"border", AtTheBorder(), "TEST-SHEET"},
        {"stray-bars", BesideStrayBars(), "Extra bars 42"},
        {"long", Long(), "LONG-SYMBOL-0123456789-ABCDEFGHIJKLMNOP"},
        {"strip", Strip(), "5012345678900"},
        {"small-frame", FillingASmallFrame(3.0), "0085481800011"},
        {"damaged", Damaged(), "0036000291452"},
    };
}

}  // namespace zeph::test
