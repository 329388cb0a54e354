// Symbologies printed with two element widths, narrow and wide, whose ratio
// varies from printer to printer: their pattern tables are written in N/W
// letters and expanded into module strings for a few ratios.
#pragma once

#include <array>
#include <cstddef>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "engine/reader.h"

namespace zeph::wide_narrow {

// Element widths in modules of one expansion (a ratio of wide / narrow).
struct Widths {
    int narrow;
    int wide;
};

// Expands space-separated N/W tokens into a pattern string: each element becomes
// `narrow` or `wide` copies of its digit, "1" for bars and "0" for spaces, with
// every token starting with a bar. Tokens stay separated by one space.
std::string Expand(std::string_view tokens, Widths widths);

// The variant for a measured ratio r: the number of bounds that r reaches, so
// bounds {2.125, 2.375} give 0 below 2.125, 1 from 2.125 and 2 from 2.375.
size_t VariantFor(float ratio, std::span<const float> bounds);

// The ratio variants every wide/narrow symbology is read at, in the order their
// tables are built: ratios 2, 2.25, 2.5, 2.75, 3, 3.25 and 3.5. A symbology
// with fewer variants uses the first ones.
inline constexpr std::array<Widths, 7> kVariantWidths = {
    {{1, 2}, {4, 9}, {2, 5}, {4, 11}, {1, 3}, {4, 13}, {2, 7}}};
// Measured ratios from which the next variant is chosen, halfway between two.
inline constexpr std::array<float, 6> kVariantBounds = {2.125f, 2.375f, 2.625f,
                                                        2.875f, 3.125f, 3.375f};

// A symbology's N/W pattern strings, expanded for its first `Variants` ratio
// variants and parsed into tables on first use. The expanded strings are kept
// beside the tables, so that a one-token source also serves as a literal
// pattern for XR_ScorePattern.
template <size_t Variants, size_t Sources>
class VariantTables {
    static_assert(Variants >= 1 && Variants <= kVariantWidths.size());

  public:
    explicit VariantTables(std::array<std::string_view, Sources> sources) : sources_(sources) {}

    // True when every table is available; a failed build is retried next time.
    bool Build() {
        if (built_) return true;
        try {
            for (size_t v = 0; v < Variants; ++v) {
                for (size_t s = 0; s < Sources; ++s) {
                    patterns_[v][s] = Expand(sources_[s], kVariantWidths[v]);
                    tables_[v][s] = XR_ParsePatterns(patterns_[v][s]);
                    if (!tables_[v][s]) {
                        Release();
                        return false;
                    }
                }
            }
        } catch (const std::bad_alloc&) {
            Release();
            return false;
        }
        built_ = true;
        return true;
    }

    void Release() {
        for (size_t v = 0; v < Variants; ++v) {
            for (size_t s = 0; s < Sources; ++s) {
                XR_FreePatterns(std::move(tables_[v][s]));
                std::string().swap(patterns_[v][s]);
            }
        }
        built_ = false;
    }

    bool Built() const { return built_; }

    // The variant for a measured ratio: 0 below 2.125, up to Variants - 1.
    static size_t Choose(float ratio) {
        return VariantFor(ratio, std::span<const float>(kVariantBounds).first(Variants - 1));
    }

    const PatternTable& Table(size_t variant, size_t source) const {
        return *tables_[variant][source];
    }
    // The expanded 0/1 pattern string of a source.
    std::string_view Pattern(size_t variant, size_t source) const {
        return patterns_[variant][source];
    }

  private:
    std::array<std::string_view, Sources> sources_;
    std::array<std::array<std::string, Sources>, Variants> patterns_{};
    std::array<std::array<PatternTablePtr, Sources>, Variants> tables_{};
    bool built_ = false;
};

}  // namespace zeph::wide_narrow
