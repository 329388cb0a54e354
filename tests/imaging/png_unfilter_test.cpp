// Row filters reversed one row at a time and two rows together, against the
// filters' definitions written out byte by byte.
#include "imaging/png_unfilter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using zeph::imaging::detail::UnfilterPngRow;
using zeph::imaging::detail::UnfilterPngRowPair;
using Bytes = std::vector<uint8_t>;

uint8_t PaethOf(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// The definition: each byte from its filtered value, the reconstructed byte
// one pixel to the left (a), the byte above (b) and the byte above that left
// one (c).
Bytes Reference(uint8_t filter, const Bytes& filtered, const Bytes& above, size_t step) {
    Bytes out(filtered.size());
    for (size_t i = 0; i < out.size(); ++i) {
        const int a = i >= step ? out[i - step] : 0;
        const int b = above[i];
        const int c = i >= step ? above[i - step] : 0;
        int predicted = 0;
        switch (filter) {
            case 1:
                predicted = a;
                break;
            case 2:
                predicted = b;
                break;
            case 3:
                predicted = (a + b) / 2;
                break;
            case 4:
                predicted = PaethOf(a, b, c);
                break;
            default:
                break;
        }
        out[i] = uint8_t(filtered[i] + predicted);
    }
    return out;
}

Bytes RandomRow(std::mt19937& random, size_t bytes) {
    Bytes row(bytes);
    for (auto& b : row)
        b = uint8_t(random());
    return row;
}

struct Shape {
    size_t width, step;
};

// Widths below, at and beyond the distance by which the lower of two rows
// trails, and the tails that a four-byte load cannot cover.
constexpr Shape kShapes[] = {{1, 3}, {2, 3}, {7, 3}, {8, 3},  {9, 3}, {37, 3}, {640, 3},
                             {1, 4}, {8, 4}, {9, 4}, {37, 4}, {5, 1}, {37, 1}, {37, 2}};

TEST(PngUnfilter, EachRowGivesTheDefinitionsBytesForEveryFilterAndPixelSize) {
    std::mt19937 random(3);
    for (const Shape& shape : kShapes) {
        const size_t bytes = shape.width * shape.step;
        for (uint8_t filter = 0; filter <= 4; ++filter) {
            const Bytes above = RandomRow(random, bytes);
            const Bytes filtered = RandomRow(random, bytes);
            Bytes row = filtered;
            UnfilterPngRow(filter, row.data(), above.data(), bytes, shape.step);
            EXPECT_EQ(row, Reference(filter, filtered, above, shape.step))
                << "filter " << int(filter) << ", width " << shape.width << ", step " << shape.step;
        }
    }
}

TEST(PngUnfilter, RowsReversedTogetherGiveTheSameBytesAsOneAfterTheOther) {
    std::mt19937 random(5);
    for (const Shape& shape : kShapes) {
        const size_t bytes = shape.width * shape.step;
        for (uint8_t upperFilter = 0; upperFilter <= 4; ++upperFilter) {
            for (uint8_t lowerFilter = 0; lowerFilter <= 4; ++lowerFilter) {
                // Extremes as well as noise: Paeth's ties and the average's
                // carry are where lanes go wrong.
                const bool flat = (upperFilter + lowerFilter) % 2 == 0;
                const Bytes above = flat ? Bytes(bytes, 255) : RandomRow(random, bytes);
                const Bytes upperIn = RandomRow(random, bytes);
                const Bytes lowerIn = flat ? Bytes(bytes, 0) : RandomRow(random, bytes);
                const Bytes upperWant = Reference(upperFilter, upperIn, above, shape.step);
                const Bytes lowerWant = Reference(lowerFilter, lowerIn, upperWant, shape.step);

                // Side by side in one buffer, as a file's rows lie, with the
                // filter byte between them: nothing may be written past a row.
                Bytes both(1 + 2 * (bytes + 1), 0xA5);
                std::copy(upperIn.begin(), upperIn.end(), both.begin() + 1);
                both[bytes + 1] = lowerFilter;
                std::copy(lowerIn.begin(), lowerIn.end(), both.begin() + long(bytes) + 2);
                UnfilterPngRowPair(upperFilter, both.data() + 1, above.data(), lowerFilter,
                                   both.data() + bytes + 2, bytes, shape.step);

                const std::string name = "filters " + std::to_string(upperFilter) + "/" +
                                         std::to_string(lowerFilter) + ", width " +
                                         std::to_string(shape.width) + ", step " +
                                         std::to_string(shape.step);
                EXPECT_EQ(Bytes(both.begin() + 1, both.begin() + long(bytes) + 1), upperWant)
                    << name;
                EXPECT_EQ(Bytes(both.begin() + long(bytes) + 2, both.end() - 1), lowerWant) << name;
                EXPECT_EQ(both[0], 0xA5) << name;
                EXPECT_EQ(both.back(), 0xA5) << name;
                EXPECT_EQ(both[bytes + 1], lowerFilter) << name;
            }
        }
    }
}

}  // namespace
