// PNG's filters reversed. Sub, average and Paeth depend on the pixel to the
// left, so a row runs pixel after pixel; the bytes of one pixel are
// independent, and for 3- and 4-byte pixels (colour photos) they run side by
// side in SSE2 lanes.
#include "imaging/png_unfilter.h"

#include <cstdlib>
#include <cstring>

#include "engine/core/avx2_clones.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zeph::imaging::detail {
namespace {

inline uint8_t Paeth(int left, int up, int upLeft) {
    const int p = left + up - upLeft;
    const int pa = std::abs(p - left);
    const int pb = std::abs(p - up);
    const int pc = std::abs(p - upLeft);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(left);
    return static_cast<uint8_t>(pb <= pc ? up : upLeft);
}

void Sub(uint8_t* row, size_t bytes, size_t step) {
    for (size_t i = step; i < bytes; ++i)
        row[i] = static_cast<uint8_t>(row[i] + row[i - step]);
}

void Up(uint8_t* row, const uint8_t* above, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i)
        row[i] = static_cast<uint8_t>(row[i] + above[i]);
}

void Average(uint8_t* row, const uint8_t* above, size_t bytes, size_t step) {
    for (size_t i = 0; i < step && i < bytes; ++i)
        row[i] = static_cast<uint8_t>(row[i] + above[i] / 2);
    for (size_t i = step; i < bytes; ++i)
        row[i] = static_cast<uint8_t>(row[i] + (row[i - step] + above[i]) / 2);
}

void PaethRow(uint8_t* row, const uint8_t* above, size_t bytes, size_t step) {
    for (size_t i = 0; i < step && i < bytes; ++i)
        row[i] = static_cast<uint8_t>(row[i] + above[i]);  // Paeth(0, up, 0) is up
    for (size_t i = step; i < bytes; ++i)
        row[i] = static_cast<uint8_t>(row[i] + Paeth(row[i - step], above[i], above[i - step]));
}

#if defined(__SSE2__)

// Pixels of 3 or 4 bytes, each widened to 16-bit lanes. Assembled in a
// register: a 3-byte copy through memory would stall on every pixel.
template <size_t step>
inline __m128i Load(const uint8_t* p) {
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    if constexpr (step == 4) v |= uint32_t(p[3]) << 24;
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), _mm_setzero_si128());
}

template <size_t step>
inline void Store(uint8_t* p, __m128i lanes) {
    const auto v = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes)));
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    if constexpr (step == 4) p[3] = static_cast<uint8_t>(v >> 24);
}

inline __m128i Abs16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

// A pixel whose row goes on past its fourth byte is loaded four bytes at once
// (three byte loads cost more than the filter itself). A 3-byte pixel is
// stored in a 2-byte and a 1-byte store: a store that covered the next
// pixel's first byte would stall that pixel's load until the store completes.
struct FourBytes {
    static __m128i Load(const uint8_t* p) {
        uint32_t raw = 0;
        std::memcpy(&raw, p, sizeof raw);
        return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(raw)), _mm_setzero_si128());
    }
    static void StoreThree(uint8_t* p, __m128i lanes) {
        const auto v = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes)));
        const auto low = static_cast<uint16_t>(v);
        std::memcpy(p, &low, sizeof low);
        p[2] = static_cast<uint8_t>(v >> 16);
    }
};

// The pixels of a row, `step` bytes each, from its start as far as four bytes
// can be loaded (the whole row for 4-byte pixels), with `pixel` giving each
// value from its filtered bytes and the row above. Returns where it stopped.
template <size_t step, typename Pixel>
[[gnu::always_inline]] inline size_t WidePixels(uint8_t* row, const uint8_t* above, size_t bytes,
                                                Pixel&& pixel) {
    size_t i = 0;
    for (; i + 4 <= bytes; i += step) {
        const __m128i value = pixel(FourBytes::Load(row + i), FourBytes::Load(above + i));
        if constexpr (step == 4) {
            Store<4>(row + i, value);
        } else {
            FourBytes::StoreThree(row + i, value);
        }
    }
    return i;
}

// Each pixel waits for the one to its left, so the work on that path is kept
// short: with p = left + up - upLeft, |p - up| = |left - upLeft| and
// |p - upLeft| = |left + (up - 2 upLeft)|, where everything but `left` is
// known ahead, and each absolute value is the larger of a difference and its
// negation, both formed straight from `left`. The sum with the filtered byte
// wraps in 8-bit lanes, which leaves the high byte of each 16-bit lane zero.
template <size_t step>
[[gnu::always_inline]] inline void PaethPixels(uint8_t* row, const uint8_t* above, size_t bytes) {
    __m128i left = _mm_setzero_si128();
    __m128i upLeft = _mm_setzero_si128();
    const auto pixel = [&](__m128i filtered, __m128i up) {
        const __m128i pa = Abs16(_mm_sub_epi16(up, upLeft));  // |p - left|
        const __m128i e = _mm_sub_epi16(_mm_sub_epi16(up, upLeft), upLeft);
        const __m128i minusE = _mm_sub_epi16(_mm_setzero_si128(), e);
        const __m128i pb =
            _mm_max_epi16(_mm_sub_epi16(left, upLeft), _mm_sub_epi16(upLeft, left));  // |p - up|
        const __m128i pc =
            _mm_max_epi16(_mm_add_epi16(left, e), _mm_sub_epi16(minusE, left));  // |p - upLeft|
        // Ties go to left, then to up, as the filter's definition orders them.
        const __m128i notLeft = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
        const __m128i useUpLeft = _mm_cmpgt_epi16(pb, pc);
        const __m128i upOrUpLeft =
            _mm_or_si128(_mm_and_si128(useUpLeft, upLeft), _mm_andnot_si128(useUpLeft, up));
        const __m128i predicted =
            _mm_or_si128(_mm_and_si128(notLeft, upOrUpLeft), _mm_andnot_si128(notLeft, left));
        const __m128i value = _mm_add_epi8(filtered, predicted);
        left = value;
        upLeft = up;
        return value;
    };
    for (size_t i = WidePixels<step>(row, above, bytes, pixel); i + step <= bytes; i += step)
        Store<step>(row + i, pixel(Load<step>(row + i), Load<step>(above + i)));
}

template <size_t step>
[[gnu::always_inline]] inline void AveragePixels(uint8_t* row, const uint8_t* above, size_t bytes) {
    const __m128i mask = _mm_set1_epi16(0xFF);
    __m128i left = _mm_setzero_si128();
    const auto pixel = [&](__m128i filtered, __m128i up) {
        const __m128i mean = _mm_srli_epi16(_mm_add_epi16(left, up), 1);
        left = _mm_and_si128(_mm_add_epi16(filtered, mean), mask);
        return left;
    };
    for (size_t i = WidePixels<step>(row, above, bytes, pixel); i + step <= bytes; i += step)
        Store<step>(row + i, pixel(Load<step>(row + i), Load<step>(above + i)));
}

// Built for AVX2 too, where the compiler turns the lanes' selections and
// absolute values into single instructions: Paeth rows reverse in 0.93 of
// the time.
ZEPH_AVX2_CLONES bool UnfilterPixels(uint8_t filter, uint8_t* row, const uint8_t* above,
                                     size_t bytes, size_t pixelBytes) {
    if ((pixelBytes != 3 && pixelBytes != 4) || (filter != 3 && filter != 4)) return false;
    if (pixelBytes == 3) {
        if (filter == 3) {
            AveragePixels<3>(row, above, bytes);
        } else {
            PaethPixels<3>(row, above, bytes);
        }
    } else if (filter == 3) {
        AveragePixels<4>(row, above, bytes);
    } else {
        PaethPixels<4>(row, above, bytes);
    }
    return true;
}

#endif

}  // namespace

void UnfilterPngRow(uint8_t filter, uint8_t* row, const uint8_t* above, size_t bytes,
                    size_t pixelBytes) {
#if defined(__SSE2__)
    if (UnfilterPixels(filter, row, above, bytes, pixelBytes)) return;
#endif
    switch (filter) {
        case 1:
            return Sub(row, bytes, pixelBytes);
        case 2:
            return Up(row, above, bytes);
        case 3:
            return Average(row, above, bytes, pixelBytes);
        case 4:
            return PaethRow(row, above, bytes, pixelBytes);
        default:
            return;
    }
}

}  // namespace zeph::imaging::detail
