#include "tests/support/rendered_set.h"

#include <cstdio>
#include <random>

namespace zeph::test {
namespace {

struct Symbol {
    const char* name;
    int symbology;
    const char* data;
    const char* raw;
};

constexpr Symbol kSymbols[] = {
    {"EAN-13", BARCODE_EANX, "400638133393", "4006381333931"},
    {"UPC-A", BARCODE_UPCA, "03600029145", "0036000291452"},
    {"EAN-8", BARCODE_EANX, "9638507", "96385074"},
    {"UPC-E", BARCODE_UPCE, "0123456", "01234565"},
    {"Code128", BARCODE_CODE128, "Hello-42 World", "Hello-42 World"},
    {"Code39", BARCODE_CODE39, "CODE39 TEST", "CODE39 TEST"},
    {"Code93", BARCODE_CODE93, "CODE 93X", "CODE 93X"},
    {"ITF", BARCODE_C25INTER, "30712345000010", "30712345000010"},
    {"Codabar", BARCODE_CODABAR, "A31117013206375B", "A31117013206375B"},
};

}  // namespace

std::vector<RenderedPicture> RenderedSet(int perSymbology) {
    std::mt19937 rng(11);
    std::vector<RenderedPicture> set;
    for (const Symbol& s : kSymbols) {
        for (int t = 0; t < perSymbology; ++t) {
            ImageOptions o;
            o.symbology = s.symbology;
            o.data = s.data;
            o.moduleSize = 1.2 + (rng() % 30) / 10.0;
            o.angle = rng() % 4 == 0 ? rng() % 360 : static_cast<int>(rng() % 11) - 5;
            o.blurSigma = (rng() % 10) / 10.0 * 1.6;
            o.noise = rng() % 20;
            const unsigned contrast = rng() % 3;
            o.ink = contrast == 0 ? 0 : contrast == 1 ? 80 : 150;
            o.paper = contrast == 2 ? 200 : 255;
            o.jpegQuality = rng() % 3 == 0 ? 40 + static_cast<int>(rng() % 50) : 0;
            o.quietModules = rng() % 4 == 0 ? 2 : 10;
            o.heightModules = rng() % 4 == 0 ? 12 : 40;
            o.seed = static_cast<uint32_t>(t + 1);
            char name[64];
            std::snprintf(name, sizeof name, "%s/%02d", s.name, t);
            set.push_back({name, RenderBarcode(o), s.raw});
        }
    }
    return set;
}

}  // namespace zeph::test
