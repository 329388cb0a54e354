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

namespace {

#define ZEPH_AVX2 __attribute__((target("avx2")))

// The four lanes' positions, rotations and sums, one sample at a time.
class FourPathWalk {
  public:
    ZEPH_AVX2 FourPathWalk(const int32_t* g, int32_t height, int32_t width, const double* px0,
                           const double* py0, float sx, float sy)
        : g_(g), low_(g + width) {
        constexpr double kTwoPi = 6.283185307179586;
        double c0[4], s0[4], c1[4], s1[4];
        for (int l = 0; l < 4; ++l) {
            c0[l] = std::cos(kTwoPi * px0[l]);
            s0[l] = std::sin(kTwoPi * px0[l]);
            c1[l] = std::cos(kTwoPi * py0[l]);
            s1[l] = std::sin(kTwoPi * py0[l]);
        }
        cx_ = _mm256_loadu_pd(c0);
        sx_ = _mm256_loadu_pd(s0);
        cy_ = _mm256_loadu_pd(c1);
        sy_ = _mm256_loadu_pd(s1);
        dcx_ = _mm256_set1_pd(std::cos(kTwoPi * sx));
        dsx_ = _mm256_set1_pd(std::sin(kTwoPi * sx));
        dcy_ = _mm256_set1_pd(std::cos(kTwoPi * sy));
        dsy_ = _mm256_set1_pd(std::sin(kTwoPi * sy));
        px_ = _mm256_loadu_pd(px0);
        py_ = _mm256_loadu_pd(py0);
        stepX_ = _mm256_set1_pd(static_cast<double>(sx));
        stepY_ = _mm256_set1_pd(static_cast<double>(sy));
        lastX_ = _mm_set1_epi32(width - 2);
        lastY_ = _mm_set1_epi32(height - 2);
        rowCells_ = _mm_set1_epi32(width);
        sum_ = _mm256_setzero_pd();
    }

    // The value and the weight of each lane's sample, then on to the next.
    [[gnu::always_inline]] ZEPH_AVX2 inline void Step(__m128& value, __m128& weight) {
        const __m128 one = _mm_set1_ps(1.0f);
        const __m256d offset = _mm256_set1_pd(1.1);
        weight = _mm256_cvtpd_ps(
            _mm256_mul_pd(_mm256_mul_pd(_mm256_add_pd(cy_, offset), _mm256_add_pd(cx_, offset)),
                          _mm256_set1_pd(0.22675736961451246)));
        const __m256d ixf = _mm256_floor_pd(px_);
        const __m256d iyf = _mm256_floor_pd(py_);
        const __m128 fx = _mm256_cvtpd_ps(_mm256_sub_pd(px_, ixf));
        const __m128 fy = _mm256_cvtpd_ps(_mm256_sub_pd(py_, iyf));
        const __m128i zero = _mm_setzero_si128();
        const __m128i kx = _mm_min_epi32(_mm_max_epi32(_mm256_cvttpd_epi32(ixf), zero), lastX_);
        const __m128i ky = _mm_min_epi32(_mm_max_epi32(_mm256_cvttpd_epi32(iyf), zero), lastY_);
        const __m128i cell = _mm_add_epi32(_mm_mullo_epi32(ky, rowCells_), kx);
        const int32_t c0 = _mm_cvtsi128_si32(cell);
        const int32_t c1 = _mm_extract_epi32(cell, 1);
        const int32_t c2 = _mm_extract_epi32(cell, 2);
        const int32_t c3 = _mm_extract_epi32(cell, 3);
        const __m128 top01 = PairsAt(g_, c0, c1);
        const __m128 top23 = PairsAt(g_, c2, c3);
        const __m128 low01 = PairsAt(low_, c0, c1);
        const __m128 low23 = PairsAt(low_, c2, c3);
        const __m128 p00 = _mm_cvtepi32_ps(_mm_castps_si128(_mm_shuffle_ps(top01, top23, 0x88)));
        const __m128 p01 = _mm_cvtepi32_ps(_mm_castps_si128(_mm_shuffle_ps(top01, top23, 0xDD)));
        const __m128 p10 = _mm_cvtepi32_ps(_mm_castps_si128(_mm_shuffle_ps(low01, low23, 0x88)));
        const __m128 p11 = _mm_cvtepi32_ps(_mm_castps_si128(_mm_shuffle_ps(low01, low23, 0xDD)));
        const __m128 restX = _mm_sub_ps(one, fx);
        const __m128 upper = _mm_add_ps(_mm_mul_ps(fx, p01), _mm_mul_ps(restX, p00));
        const __m128 lower = _mm_add_ps(_mm_mul_ps(fx, p11), _mm_mul_ps(restX, p10));
        value = _mm_add_ps(_mm_mul_ps(upper, _mm_sub_ps(one, fy)), _mm_mul_ps(fy, lower));
        sum_ = _mm256_add_pd(sum_, _mm256_cvtps_pd(value));
        px_ = _mm256_add_pd(px_, stepX_);
        py_ = _mm256_add_pd(py_, stepY_);
        const __m256d nextCx = _mm256_sub_pd(_mm256_mul_pd(cx_, dcx_), _mm256_mul_pd(sx_, dsx_));
        sx_ = _mm256_add_pd(_mm256_mul_pd(sx_, dcx_), _mm256_mul_pd(cx_, dsx_));
        cx_ = nextCx;
        const __m256d nextCy = _mm256_sub_pd(_mm256_mul_pd(cy_, dcy_), _mm256_mul_pd(sy_, dsy_));
        sy_ = _mm256_add_pd(_mm256_mul_pd(sy_, dcy_), _mm256_mul_pd(cy_, dsy_));
        cy_ = nextCy;
    }

    ZEPH_AVX2 void Sums(double* out) const { _mm256_storeu_pd(out, sum_); }

  private:
    const int32_t* g_;
    const int32_t* low_;  // the row below
    __m256d px_, py_, cx_, sx_, cy_, sy_, sum_;
    __m256d dcx_, dsx_, dcy_, dsy_, stepX_, stepY_;
    __m128i lastX_, lastY_, rowCells_;
};

}  // namespace

// The portable version's steps, one intrinsic each: the floor is one
// rounding instead of a truncation and its correction (equal for positions
// this near), each lane's two neighbouring cells of a row come in two 64-bit
// loads, and four samples of the four rows go out in four stores after a
// transposition instead of sixteen.
ZEPH_AVX2 void SampleFourPathsAvx2(const int32_t* g, int32_t height, int32_t width,
                                   const double* px0, const double* py0, float sx, float sy, int n,
                                   float* values, float* weights, size_t stride) {
    FourPathWalk walk(g, height, width, px0, py0, sx, sy);
    float* const v1 = values + stride;
    float* const v2 = v1 + stride;
    float* const v3 = v2 + stride;
    float* const w1 = weights + stride;
    float* const w2 = w1 + stride;
    float* const w3 = w2 + stride;
    int j = 0;
    for (; j + 4 <= n; j += 4) {
        __m128 a, b, c, d, wa, wb, wc, wd;
        walk.Step(a, wa);
        walk.Step(b, wb);
        walk.Step(c, wc);
        walk.Step(d, wd);
        _MM_TRANSPOSE4_PS(a, b, c, d);
        _mm_storeu_ps(values + j, a);
        _mm_storeu_ps(v1 + j, b);
        _mm_storeu_ps(v2 + j, c);
        _mm_storeu_ps(v3 + j, d);
        _MM_TRANSPOSE4_PS(wa, wb, wc, wd);
        _mm_storeu_ps(weights + j, wa);
        _mm_storeu_ps(w1 + j, wb);
        _mm_storeu_ps(w2 + j, wc);
        _mm_storeu_ps(w3 + j, wd);
    }
    for (; j < n; ++j) {
        __m128 value, w;
        walk.Step(value, w);
        _mm_store_ss(values + j, value);
        StoreLane<1>(v1 + j, value);
        StoreLane<2>(v2 + j, value);
        StoreLane<3>(v3 + j, value);
        _mm_store_ss(weights + j, w);
        StoreLane<1>(w1 + j, w);
        StoreLane<2>(w2 + j, w);
        StoreLane<3>(w3 + j, w);
    }
    double sums[4];
    walk.Sums(sums);
    for (int l = 0; l < 4; ++l) {
        const float mean = static_cast<float>(sums[l] / n);
        float* row = values + l * stride;
        for (int k = 0; k < n; ++k)
            row[k] -= mean;
    }
}

#undef ZEPH_AVX2

}  // namespace zeph
