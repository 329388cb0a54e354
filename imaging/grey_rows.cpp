// The bitmap conversion and the grey formula fused into one pass per layout.
#include "imaging/grey_rows.h"

#include "engine/core/avx2_clones.h"
#include "imaging/raster.h"

namespace zeph::imaging {
namespace {

using detail::Layout;
using detail::OnBlack;

inline int32_t Grey(int32_t blue, int32_t green, int32_t red) {
    return blue + 6 * green + 3 * red;
}

// One loop per layout, each simple enough to vectorise.
ZEPH_AVX2_CLONES void GreyOfGrey(const uint8_t* s, size_t n, int32_t* t) {
    for (size_t x = 0; x < n; ++x)
        t[x] = 10 * s[x];
}

ZEPH_AVX2_CLONES void GreyOfRgb(const uint8_t* s, size_t n, int32_t* t) {
    for (size_t x = 0; x < n; ++x)
        t[x] = Grey(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
}

ZEPH_AVX2_CLONES void GreyOfBgr(const uint8_t* s, size_t n, int32_t* t) {
    for (size_t x = 0; x < n; ++x)
        t[x] = Grey(s[3 * x], s[3 * x + 1], s[3 * x + 2]);
}

void GreyOfGreyAlpha(const uint8_t* s, size_t n, int32_t* t) {
    for (size_t x = 0; x < n; ++x)
        t[x] = 10 * OnBlack(s[2 * x], s[2 * x + 1]);
}

void GreyOfRgba(const uint8_t* s, size_t n, int32_t* t) {
    for (size_t x = 0; x < n; ++x, s += 4)
        t[x] = Grey(OnBlack(s[2], s[3]), OnBlack(s[1], s[3]), OnBlack(s[0], s[3]));
}

void GreyOfBgra(const uint8_t* s, size_t n, int32_t* t) {
    for (size_t x = 0; x < n; ++x, s += 4)
        t[x] = Grey(OnBlack(s[0], s[3]), OnBlack(s[1], s[3]), OnBlack(s[2], s[3]));
}

}  // namespace

void GreyRow(Layout layout, const uint8_t* source, int32_t width, int32_t* target) {
    const auto n = static_cast<size_t>(width);
    switch (layout) {
        case Layout::Grey:
            return GreyOfGrey(source, n, target);
        case Layout::GreyAlpha:
            return GreyOfGreyAlpha(source, n, target);
        case Layout::Rgb:
            return GreyOfRgb(source, n, target);
        case Layout::Rgba:
            return GreyOfRgba(source, n, target);
        case Layout::Bgr:
            return GreyOfBgr(source, n, target);
        case Layout::Bgra:
            return GreyOfBgra(source, n, target);
    }
}

bool GreySink::Begin(int32_t width, int32_t height, std::string& error) {
    if (!detail::CheckImageSize(width, height, error)) return false;
    reserved_ = {};
    reserved_ = DecodedPixelBudget().Reserve(uint64_t(width) * uint64_t(height));
    values_ = place_(width, height);
    if (!values_) {
        reserved_ = {};
        error = detail::kOutOfMemory;
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void GreySink::Rows(Layout layout, const uint8_t* first, std::ptrdiff_t stride, int32_t top,
                    int32_t count) {
    if (!values_ || top < 0 || count < 0 || top > height_ - count) return;
    const auto w = static_cast<size_t>(width_);
    for (int32_t k = 0; k < count; ++k) {
        GreyRow(layout, first + std::ptrdiff_t(k) * stride, width_,
                values_ + static_cast<size_t>(top + k) * w);
    }
}

}  // namespace zeph::imaging
