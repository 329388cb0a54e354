#include "engine/locate/four_paths_avx2.h"

#include <immintrin.h>

#include <cmath>
#include <cstring>

namespace zeph {

namespace {

// Lane L of `v` to *to, straight from the register.
template <int L>
__attribute__((target("avx2"))) inline void StoreLane(float* to, __m128 v) {
    const int bits = _mm_extract_ps(v, L);
    std::memcpy(to, &bits, sizeof bits);
}

// The two neighbouring cells at a and at b of `row`, one 64-bit load each
// (gathers are slow where microcode guards them).
__attribute__((target("avx2"))) inline __m128 PairsAt(const int32_t* row, int32_t a, int32_t b) {
    const __m128 first =
        _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + a)));
    return _mm_loadh_pi(first, reinterpret_cast<const __m64*>(row + b));
}

}  // namespace

bool RunsAvx2() {
    static const bool runs = __builtin_cpu_supports("avx2");
    return runs;
}

// The portable version's steps, one intrinsic each: the floor is one
// rounding instead of a truncation and its correction (equal for positions
// this near), each lane's two neighbouring cells of a row come in one 64-bit
// load, and the rotation's constants stay in registers.
__attribute__((target("avx2"))) void SampleFourPathsAvx2(const int32_t* g, int32_t height,
                                                         int32_t width, const double* px0,
                                                         const double* py0, float sx, float sy,
                                                         int n, float* values, float* weights,
                                                         size_t stride) {
    constexpr double kTwoPi = 6.283185307179586;
    double c0[4], s0[4], c1[4], s1[4];
    for (int l = 0; l < 4; ++l) {
        c0[l] = std::cos(kTwoPi * px0[l]);
        s0[l] = std::sin(kTwoPi * px0[l]);
        c1[l] = std::cos(kTwoPi * py0[l]);
        s1[l] = std::sin(kTwoPi * py0[l]);
    }
    __m256d cx = _mm256_loadu_pd(c0), sxw = _mm256_loadu_pd(s0);
    __m256d cy = _mm256_loadu_pd(c1), syw = _mm256_loadu_pd(s1);
    const __m256d dcx = _mm256_set1_pd(std::cos(kTwoPi * sx));
    const __m256d dsx = _mm256_set1_pd(std::sin(kTwoPi * sx));
    const __m256d dcy = _mm256_set1_pd(std::cos(kTwoPi * sy));
    const __m256d dsy = _mm256_set1_pd(std::sin(kTwoPi * sy));
    __m256d px = _mm256_loadu_pd(px0);
    __m256d py = _mm256_loadu_pd(py0);
    const __m256d stepX = _mm256_set1_pd(static_cast<double>(sx));
    const __m256d stepY = _mm256_set1_pd(static_cast<double>(sy));
    const __m256d offset = _mm256_set1_pd(1.1);
    const __m256d weightScale = _mm256_set1_pd(0.22675736961451246);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128i zero = _mm_setzero_si128();
    const __m128i lastX = _mm_set1_epi32(width - 2);
    const __m128i lastY = _mm_set1_epi32(height - 2);
    const __m128i rowCells = _mm_set1_epi32(width);
    const int32_t* const low = g + width;
    alignas(16) int32_t cells[4];
    __m256d sum = _mm256_setzero_pd();
    float* const v1 = values + stride;
    float* const v2 = v1 + stride;
    float* const v3 = v2 + stride;
    float* const w1 = weights + stride;
    float* const w2 = w1 + stride;
    float* const w3 = w2 + stride;
    for (int j = 0; j < n; ++j) {
        const __m128 w = _mm256_cvtpd_ps(_mm256_mul_pd(
            _mm256_mul_pd(_mm256_add_pd(cy, offset), _mm256_add_pd(cx, offset)), weightScale));
        const __m256d ixf = _mm256_floor_pd(px);
        const __m256d iyf = _mm256_floor_pd(py);
        const __m128 fx = _mm256_cvtpd_ps(_mm256_sub_pd(px, ixf));
        const __m128 fy = _mm256_cvtpd_ps(_mm256_sub_pd(py, iyf));
        const __m128i kx = _mm_min_epi32(_mm_max_epi32(_mm256_cvttpd_epi32(ixf), zero), lastX);
        const __m128i ky = _mm_min_epi32(_mm_max_epi32(_mm256_cvttpd_epi32(iyf), zero), lastY);
        const __m128i cell = _mm_add_epi32(_mm_mullo_epi32(ky, rowCells), kx);
        _mm_store_si128(reinterpret_cast<__m128i*>(cells), cell);
        const __m128 top01 = PairsAt(g, cells[0], cells[1]);
        const __m128 top23 = PairsAt(g, cells[2], cells[3]);
        const __m128 low01 = PairsAt(low, cells[0], cells[1]);
        const __m128 low23 = PairsAt(low, cells[2], cells[3]);
        const __m128 p00 = _mm_cvtepi32_ps(_mm_castps_si128(_mm_shuffle_ps(top01, top23, 0x88)));
        const __m128 p01 = _mm_cvtepi32_ps(_mm_castps_si128(_mm_shuffle_ps(top01, top23, 0xDD)));
        const __m128 p10 = _mm_cvtepi32_ps(_mm_castps_si128(_mm_shuffle_ps(low01, low23, 0x88)));
        const __m128 p11 = _mm_cvtepi32_ps(_mm_castps_si128(_mm_shuffle_ps(low01, low23, 0xDD)));
        const __m128 restX = _mm_sub_ps(one, fx);
        const __m128 upper = _mm_add_ps(_mm_mul_ps(fx, p01), _mm_mul_ps(restX, p00));
        const __m128 lower = _mm_add_ps(_mm_mul_ps(fx, p11), _mm_mul_ps(restX, p10));
        const __m128 value =
            _mm_add_ps(_mm_mul_ps(upper, _mm_sub_ps(one, fy)), _mm_mul_ps(fy, lower));
        _mm_store_ss(values + j, value);
        StoreLane<1>(v1 + j, value);
        StoreLane<2>(v2 + j, value);
        StoreLane<3>(v3 + j, value);
        _mm_store_ss(weights + j, w);
        StoreLane<1>(w1 + j, w);
        StoreLane<2>(w2 + j, w);
        StoreLane<3>(w3 + j, w);
        sum = _mm256_add_pd(sum, _mm256_cvtps_pd(value));
        px = _mm256_add_pd(px, stepX);
        py = _mm256_add_pd(py, stepY);
        const __m256d nextCx = _mm256_sub_pd(_mm256_mul_pd(cx, dcx), _mm256_mul_pd(sxw, dsx));
        sxw = _mm256_add_pd(_mm256_mul_pd(sxw, dcx), _mm256_mul_pd(cx, dsx));
        cx = nextCx;
        const __m256d nextCy = _mm256_sub_pd(_mm256_mul_pd(cy, dcy), _mm256_mul_pd(syw, dsy));
        syw = _mm256_add_pd(_mm256_mul_pd(syw, dcy), _mm256_mul_pd(cy, dsy));
        cy = nextCy;
    }
    double sums[4];
    _mm256_storeu_pd(sums, sum);
    for (int l = 0; l < 4; ++l) {
        const float mean = static_cast<float>(sums[l] / n);
        float* row = values + l * stride;
        for (int j = 0; j < n; ++j)
            row[j] -= mean;
    }
}

}  // namespace zeph
