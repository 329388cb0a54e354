// Tests of element widths that the correlation scores cannot make. The matcher
// stretches every template to the stretch it is given, so a "character" made
// of two real ones, or of half of one, can still score well, and on random
// bars or text a whole reading can.
//
// Characters of one symbol that have the same width in modules must measure
// alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/reader.h"

namespace zeph {

// Most characters a width test looks at: the longest symbols hold 100.
inline constexpr size_t kMaxEvenWidths = 128;

// How far a character's width may stray from those around it.
inline constexpr float kWidthTolerance = 0.35f;

// Whether every width lies within `tolerance` (a share) of the median of the
// widths around it: the two before and the two after it. Perspective changes
// widths gradually along a symbol; a wrong cut changes one abruptly. Fewer
// than two widths always agree.
bool EvenWidths(std::span<const float> widths, float tolerance);

// The widths of `count` stretches of `barsPer` bars each from bar `first`,
// each from the start of its first bar to the start of the next stretch's
// first bar; written into `widths`, which must hold count values.
void StretchWidths(const ScanSignal& scan, int32_t first, int32_t barsPer, int32_t count,
                   std::span<float> widths);

// For symbologies whose characters stand apart (Code 39, Codabar): `count`
// characters of `barsPer` bars from bar 0, each measured without the gap after
// it, must have even widths, and no gap may be wider than this share of the
// characters beside it (a gap is a narrow to a wide element; a character is
// more than ten narrow ones).
inline constexpr float kMaxGapShare = 0.5f;
bool EvenCharactersAndGaps(const ScanSignal& scan, int32_t barsPer, int32_t count);

// Whether every guard width (in the unit of the other widths) lies within
// kGuardTolerance of the median of `widths`. Guards are short, so their
// measure is looser; a grating read as a symbol still misses by far more.
inline constexpr float kGuardTolerance = 0.5f;
bool GuardsFit(std::span<const float> guards, std::span<const float> widths);

// Whether the elements from bar `first` (bar, space, bar, ...) are narrow and
// wide as `letters` says ("N" narrow, "W" wide): every wide bar clearly wider
// than every narrow bar (kWideOverNarrow times), and likewise for spaces.
// Printed ratios are 2 to 3; blur and coarse pixels bring them nearer, but
// text and other bars read as such a symbol show no such gap at all.
// Symbologies of two widths and no check character read a character only
// when its widths order as its pattern does.
inline constexpr float kWideOverNarrow = 1.2f;
bool FollowsWideNarrow(const ScanSignal& scan, int32_t first, std::string_view letters);

// Whether the signal is light for at least `widths` narrow widths before bar
// 0 (or from its start): a read that begins with bars dropped from a longer
// run is a piece of a symbol, not one.
bool LightBefore(const ScanSignal& scan, float narrow, float widths);

// Like LightBefore, but the light may be shorter where the dark run before it
// is no bar of the symbol: thinner than half a narrow width (a speck) or
// wider than kWidestStray wide widths (an edge, a border, a dark ground). A
// piece of a symbol follows one of its own bars, narrow or wide.
inline constexpr float kWidestStray = 1.5f;
bool LightOrNoBarBefore(const ScanSignal& scan, float narrow, float wide, float widths);

}  // namespace zeph
