#include "engine/locate/fft.h"

#include <gtest/gtest.h>

#include <bit>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// The order, kept: the span is the thread's plan, rebuilt for other sizes.
std::vector<int> BitReversedOrderCopy(int n) {
    const std::span<const int> order = zeph::BitReversedOrder(n);
    return {order.begin(), order.end()};
}

// Values of every sign and a wide range of sizes, so that a changed rounding
// anywhere shows in the last bits.
std::vector<std::complex<double>> RandomValues(size_t n, std::mt19937& random) {
    std::uniform_real_distribution<double> value(-3000.0, 3000.0);
    std::vector<std::complex<double>> v(n);
    for (auto& z : v)
        z = {value(random), value(random)};
    return v;
}

TEST(TransformFour, EveryLaneIsTheSingleTransformToTheBit) {
    std::mt19937 random(7);
    for (const int n : {1, 2, 4, 8, 64, 256}) {
        const auto count = static_cast<size_t>(n);
        std::vector<std::vector<std::complex<double>>> lanes;
        for (int l = 0; l < 4; ++l)
            lanes.push_back(RandomValues(count, random));
        const std::vector<int> order(BitReversedOrderCopy(n));
        std::vector<double> re(4 * count);
        std::vector<double> im(4 * count);
        for (size_t k = 0; k < count; ++k) {
            for (size_t l = 0; l < 4; ++l) {
                const auto at = 4 * static_cast<size_t>(order[k]) + l;
                re[at] = lanes[l][k].real();
                im[at] = lanes[l][k].imag();
            }
        }
        ASSERT_TRUE(zeph::TransformFourReversed(re, im, n)) << n;
        for (size_t l = 0; l < 4; ++l) {
            ASSERT_TRUE(zeph::TransformInPlace(lanes[l]));
            for (size_t k = 0; k < count; ++k) {
                EXPECT_EQ(std::bit_cast<uint64_t>(re[4 * k + l]),
                          std::bit_cast<uint64_t>(lanes[l][k].real()))
                    << "n " << n << " lane " << l << " value " << k;
                EXPECT_EQ(std::bit_cast<uint64_t>(im[4 * k + l]),
                          std::bit_cast<uint64_t>(lanes[l][k].imag()))
                    << "n " << n << " lane " << l << " value " << k;
            }
        }
    }
}

TEST(TransformFour, RefusesShortLanes) {
    std::vector<double> re(4 * 8 - 1);
    std::vector<double> im(4 * 8);
    EXPECT_FALSE(zeph::TransformFourReversed(re, im, 8));
    EXPECT_FALSE(zeph::TransformFourReversed(im, re, 8));
    EXPECT_FALSE(zeph::TransformFourReversed(im, im, 0));
}

TEST(TransformFour, BitReversedOrderOfEight) {
    const std::vector<int> order = BitReversedOrderCopy(8);
    EXPECT_EQ(order, (std::vector<int>{0, 4, 2, 6, 1, 5, 3, 7}));
    EXPECT_TRUE(zeph::BitReversedOrder(0).empty());
}

}  // namespace
