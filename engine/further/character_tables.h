// Symbologies whose characters each take the same number of bars, printed in
// two widths: their layout on the bars, and their pattern tables, expanded
// for the printing ratios 2 to 3 and parsed on first use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/reader.h"

namespace zeph::further {

// Most characters between start and stop any of these symbologies reads.
inline constexpr int32_t kMostCharacters = 100;

// How a symbol lies on its bars. Letters are the symbol's elements, bar
// first and then bar and space in turn: N narrow, W wide, X a bar as wide
// as a wide and a narrow element together.
struct Layout {
    int32_t startBars = 0;
    int32_t stopBars = 0;
    int32_t barsPerCharacter = 0;
    int32_t fewestCharacters = 1;  // between start and stop
    int32_t mostCharacters = kMostCharacters;
    std::string_view startLetters;  // with the space after the start
    std::string_view stopLetters;   // up to its last bar
    // One token per character value, blank-separated, each with the space
    // after it and all of one length.
    std::string_view characterLetters;
    // Every space is narrow: the bars alone carry the characters.
    bool narrowSpaces = false;
};

// The ratio variants: 2, 2.25, 2.5, 2.75 and 3.
inline constexpr size_t kRatioVariants = 5;

class CharacterTables {
  public:
    explicit CharacterTables(const Layout& layout) : layout_(layout) {}

    // True when every table is available; a failed build is retried next time.
    bool Build();
    void Release();
    bool Built() const { return built_; }

    // The variant for a measured ratio of wide to narrow.
    static size_t Choose(float ratio);

    const Layout& layout() const { return layout_; }
    const PatternTable& Characters(size_t variant) const { return *characters_[variant]; }
    std::string_view Start(size_t variant) const { return starts_[variant]; }
    std::string_view Stop(size_t variant) const { return stops_[variant]; }
    // The letters of character value k.
    std::string_view LettersOf(int k) const;

  private:
    const Layout& layout_;
    std::array<PatternTablePtr, kRatioVariants> characters_{};
    std::array<std::string, kRatioVariants> starts_{};
    std::array<std::string, kRatioVariants> stops_{};
    bool built_ = false;
};

}  // namespace zeph::further
