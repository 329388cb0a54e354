#include "engine/further/character_tables.h"

#include <new>
#include <span>

#include "engine/symbologies/wide_narrow.h"

namespace zeph::further {
namespace {

// Start and stop letters into modules; unlike the character tables they may
// hold the extra-wide X.
std::string ExpandEnd(std::string_view letters, wide_narrow::Widths widths) {
    std::string modules;
    bool bar = true;
    for (const char letter : letters) {
        const int width = letter == 'W'   ? widths.wide
                          : letter == 'X' ? widths.wide + widths.narrow
                                          : widths.narrow;
        modules.append(static_cast<size_t>(width), bar ? '1' : '0');
        bar = !bar;
    }
    return modules;
}

}  // namespace

bool CharacterTables::Build() {
    if (built_) return true;
    try {
        for (size_t v = 0; v < kRatioVariants; ++v) {
            const wide_narrow::Widths widths = wide_narrow::kVariantWidths[v];
            characters_[v] =
                XR_ParsePatterns(wide_narrow::Expand(layout_.characterLetters, widths));
            if (!characters_[v]) {
                Release();
                return false;
            }
            starts_[v] = ExpandEnd(layout_.startLetters, widths);
            stops_[v] = ExpandEnd(layout_.stopLetters, widths);
        }
    } catch (const std::bad_alloc&) {
        Release();
        return false;
    }
    built_ = true;
    return true;
}

void CharacterTables::Release() {
    for (size_t v = 0; v < kRatioVariants; ++v) {
        XR_FreePatterns(std::move(characters_[v]));
        std::string().swap(starts_[v]);
        std::string().swap(stops_[v]);
    }
    built_ = false;
}

size_t CharacterTables::Choose(float ratio) {
    return wide_narrow::VariantFor(
        ratio, std::span<const float>(wide_narrow::kVariantBounds).first(kRatioVariants - 1));
}

std::string_view CharacterTables::LettersOf(int k) const {
    const size_t length = layout_.characterLetters.find(' ');
    return layout_.characterLetters.substr(static_cast<size_t>(k) * (length + 1), length);
}

}  // namespace zeph::further
