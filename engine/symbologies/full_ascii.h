// Full-ASCII escapes of Code 39 and Code 93: a shift character followed by a
// letter stands for a character outside the symbology's own 43. Both
// symbologies share the pairs; they differ only in how the four shifts are
// written in the raw text.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace zeph::full_ascii {

// The four shifts, in the order the escape bytes are given.
enum Shift : size_t { kDollar, kPercent, kSlash, kPlus, kShiftCount };

// The bytes that stand for $, %, / and + in a raw text.
using Escapes = std::array<char, kShiftCount>;

inline constexpr Escapes kCode39Escapes = {'$', '%', '/', '+'};
inline constexpr Escapes kCode93Escapes = {'\xFF', '\xFE', '\xFD', '\xFC'};

// The character code a shift and its partner stand for, or -1 when they are
// no pair.
int PairValue(Shift shift, char partner);

// Writes the reading of `raw` into `out` and returns its length: pairs become
// one character, everything else is copied. A pair standing for NUL ends the
// text there; `out` is cut at its size.
size_t Read(std::string_view raw, const Escapes& escapes, std::span<char> out);

}  // namespace zeph::full_ascii
