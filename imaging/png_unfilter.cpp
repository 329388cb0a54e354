// PNG's filters reversed. Sub, average and Paeth depend on the pixel to the
// left, so a row runs pixel after pixel; the bytes of one pixel are
// independent, and for 3- and 4-byte pixels (colour photos) they run side by
// side in SSE2 lanes, and two rows run at once.
#include "imaging/png_unfilter.h"

#include <algorithm>
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

// One pixel `at` bytes into a row: loaded four bytes at once while the row
// goes on past its fourth byte, else byte by byte.
template <size_t step, typename Pixel>
[[gnu::always_inline]] inline void OnePixel(uint8_t* row, const uint8_t* above, size_t at,
                                            size_t bytes, Pixel& pixel) {
    if (at + 4 <= bytes) {
        const __m128i value = pixel(FourBytes::Load(row + at), FourBytes::Load(above + at));
        if constexpr (step == 4) {
            Store<4>(row + at, value);
        } else {
            FourBytes::StoreThree(row + at, value);
        }
    } else {
        Store<step>(row + at, pixel(Load<step>(row + at), Load<step>(above + at)));
    }
}

// Each pixel waits for the one to its left, so the work on that path is kept
// short: with p = left + up - upLeft, |p - up| = |left - upLeft| and
// |p - upLeft| = |left + (up - 2 upLeft)|, where everything but `left` is
// known ahead, and each absolute value is the larger of a difference and its
// negation, both formed straight from `left`. The sum with the filtered byte
// wraps in 8-bit lanes, which leaves the high byte of each 16-bit lane zero.
struct PaethPixel {
    __m128i left = _mm_setzero_si128();
    __m128i upLeft = _mm_setzero_si128();

    [[gnu::always_inline]] __m128i operator()(__m128i filtered, __m128i up) {
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
    }
};

struct AveragePixel {
    __m128i left = _mm_setzero_si128();

    [[gnu::always_inline]] __m128i operator()(__m128i filtered, __m128i up) {
        const __m128i mean = _mm_srli_epi16(_mm_add_epi16(left, up), 1);
        left = _mm_and_si128(_mm_add_epi16(filtered, mean), _mm_set1_epi16(0xFF));
        return left;
    }
};

// A row's reversal as a run of pixels taken one call at a time.
template <size_t step>
struct RowCursor {
    uint8_t* row;
    const uint8_t* above;
    bool paeth;
    PaethPixel paethPixel{};
    AveragePixel averagePixel{};

    [[gnu::always_inline]] void Pixel(size_t at, size_t bytes) {
        if (paeth) {
            OnePixel<step>(row, above, at, bytes, paethPixel);
        } else {
            OnePixel<step>(row, above, at, bytes, averagePixel);
        }
    }
};

// Pixels lag the row above them by this many in a pair of rows reversed
// together: far enough that the row above's stores are done when the lower
// row loads them.
constexpr size_t kPairLag = 8;

// A row and the row below it, the lower one kPairLag pixels behind. Each
// pixel still waits for its left neighbour, but the two rows' chains of waits
// are independent, and the processor overlaps them.
template <size_t step>
[[gnu::always_inline]] inline void PixelPair(RowCursor<step>& upper, RowCursor<step>& lower,
                                             size_t bytes) {
    const size_t pixels = bytes / step;
    size_t x = 0;
    for (; x < pixels && x < kPairLag; ++x)
        upper.Pixel(x * step, bytes);
    for (; x < pixels; ++x) {
        upper.Pixel(x * step, bytes);
        lower.Pixel((x - kPairLag) * step, bytes);
    }
    for (x -= std::min(x, kPairLag); x < pixels; ++x)
        lower.Pixel(x * step, bytes);
}

template <size_t step>
[[gnu::always_inline]] inline void PixelRow(RowCursor<step>& cursor, size_t bytes) {
    for (size_t x = 0; x < bytes / step; ++x)
        cursor.Pixel(x * step, bytes);
}

bool Wide(uint8_t filter, size_t pixelBytes) {
    return (pixelBytes == 3 || pixelBytes == 4) && (filter == 3 || filter == 4);
}

// Built for AVX2 too, where the compiler turns the lanes' selections and
// absolute values into single instructions: Paeth rows reverse in 0.93 of
// the time. `lower` is the row below `row`, or null.
template <size_t step>
[[gnu::always_inline]] inline void WideRows(uint8_t filter, uint8_t* row, const uint8_t* above,
                                            uint8_t lowerFilter, uint8_t* lower, size_t bytes) {
    RowCursor<step> upper{row, above, filter == 4};
    if (lower == nullptr) return PixelRow(upper, bytes);
    RowCursor<step> below{lower, row, lowerFilter == 4};
    PixelPair(upper, below, bytes);
}

ZEPH_AVX2_CLONES void UnfilterPixels(uint8_t filter, uint8_t* row, const uint8_t* above,
                                     uint8_t lowerFilter, uint8_t* lower, size_t bytes,
                                     size_t pixelBytes) {
    if (pixelBytes == 3) {
        WideRows<3>(filter, row, above, lowerFilter, lower, bytes);
    } else {
        WideRows<4>(filter, row, above, lowerFilter, lower, bytes);
    }
}

#endif

}  // namespace

void UnfilterPngRow(uint8_t filter, uint8_t* row, const uint8_t* above, size_t bytes,
                    size_t pixelBytes) {
#if defined(__SSE2__)
    if (Wide(filter, pixelBytes))
        return UnfilterPixels(filter, row, above, 0, nullptr, bytes, pixelBytes);
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

void UnfilterPngRowPair(uint8_t filter, uint8_t* row, const uint8_t* above, uint8_t lowerFilter,
                        uint8_t* lower, size_t bytes, size_t pixelBytes) {
#if defined(__SSE2__)
    if (Wide(filter, pixelBytes) && Wide(lowerFilter, pixelBytes)) {
        return UnfilterPixels(filter, row, above, lowerFilter, lower, bytes, pixelBytes);
    }
#endif
    UnfilterPngRow(filter, row, above, bytes, pixelBytes);
    UnfilterPngRow(lowerFilter, lower, row, bytes, pixelBytes);
}

}  // namespace zeph::imaging::detail
