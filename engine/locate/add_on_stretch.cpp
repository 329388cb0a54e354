#include "engine/locate/add_on_stretch.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

// Modules from the first bar to the last of a main symbol, 0 for records of
// other symbologies.
int MainModules(std::string_view symbology) {
    const std::string_view main = symbology.substr(0, symbology.find(" + "));
    if (main == "EAN-13" || main == "UPC-A") return 95;
    if (main == "EAN-8") return 67;
    if (main == "UPC-E") return 51;
    return 0;
}

// Modules of the add-on appended to the raw text, with a gap of nine.
int AddOnModules(std::string_view rawData) {
    const size_t plus = rawData.find(" + ");
    if (plus == std::string_view::npos) return 0;
    const size_t digits = rawData.size() - plus - 3;
    return 9 + static_cast<int>(9 * digits + 2);
}

bool WithoutCheckCharacter(const MatchRecord& r) {
    const std::string_view symbology = XR_TextOf(r.symbology);
    return symbology == "Interleaved 2 of 5" || symbology == "CODABAR" ||
           (symbology == "CODE-39" && XR_TextOf(r.barcodeType) == "Generic");
}

// Past the last bar: the widest gap and a five-digit add-on.
constexpr double kModulesPast = 65;
constexpr double kModulesAcross = 60;
// Trimmed lines run a few modules into the quiet zones at both ends.
constexpr double kModulesSlack = 12;

}  // namespace

namespace zeph::locate {

bool LiesOnAddOnStretch(const MatchRecord& symbol, const MatchRecord& read) {
    const int main = MainModules(XR_TextOf(symbol.symbology));
    if (main == 0 || !WithoutCheckCharacter(read)) return false;
    const int addOn = AddOnModules(XR_TextOf(symbol.rawData));
    const double dx = double(symbol.stopX) - symbol.startX;
    const double dy = double(symbol.stopY) - symbol.startY;
    const double length = std::hypot(dx, dy);
    if (!(length > 0)) return false;
    const double module = length / (main + addOn);
    const double ux = dx / length;
    const double uy = dy / length;
    // A read add-on ends the stretch; without one it may lie past the gap.
    const double farthest = (addOn > 0 ? main + addOn : main + kModulesPast) + kModulesSlack;
    // Both ends of the read, along the symbol's line from its first bar and
    // across it.
    const double ends[2][2] = {{double(read.startX), double(read.startY)},
                               {double(read.stopX), double(read.stopY)}};
    for (const auto& p : ends) {
        const double px = p[0] - symbol.startX;
        const double py = p[1] - symbol.startY;
        const double along = (px * ux + py * uy) / module;
        const double across = std::fabs(px * uy - py * ux) / module;
        if (along < -kModulesSlack || along > farthest || across > kModulesAcross) {
            return false;
        }
    }
    return true;
}

int DropReadsOnAddOnStretches(std::span<MatchRecord> records, int count) {
    count = std::clamp(count, 0, static_cast<int>(records.size()));
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        bool covered = false;
        for (int j = 0; j < count && !covered; ++j)
            covered = j != i && LiesOnAddOnStretch(records[j], records[i]);
        if (covered) continue;
        if (kept != i) records[kept] = records[i];
        ++kept;
    }
    return kept;
}

}  // namespace zeph::locate
