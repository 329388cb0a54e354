// Pictures that hold no barcode but much that looks like one: random bars and
// spaces at barcode-like widths, gratings, lines of text-like strokes, noise,
// gradients and textures, rotated, blurred, noisy or passed through JPEG. A
// reader must read nothing in any of them.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/image_renderer.h"

namespace zeph::test {

enum class Clutter { kRandomBars, kGrating, kText, kNoise, kGradient, kTexture };
inline constexpr int kClutterKinds = 6;

// A picture of the kind, every choice (size, widths, angle, blur, noise, JPEG)
// drawn from the seed.
Image ClutterImage(Clutter kind, uint32_t seed);

std::string ClutterName(Clutter kind);

}  // namespace zeph::test
