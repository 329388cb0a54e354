// The soak run's pictures: every format the console program reads, written
// from grey or colour pixels, and the damage done to one file in ten.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace zeph::bench {

// TiffPages and Pdf hold three pages: the picture, a blank page, the picture
// again.
enum class Format { Jpeg, Png, Gif, Tiff, Webp, Bmp, Pnm, Tga, Heic, Avif, TiffPages, Pdf };
inline constexpr int kFormats = 12;

// Pixels top row first: one byte a pixel when grey, else red, green, blue.
struct Pixels {
    int width = 0;
    int height = 0;
    bool grey = true;
    std::vector<uint8_t> data;
};

// The file's extension, for names only: the reader goes by content.
const char* Extension(Format format);

// The encoded file; empty when the encoder refused the picture.
std::vector<uint8_t> Encode(Format format, const Pixels& pixels);

// Cut short, overwritten in its header or body, replaced by noise, or
// emptied: what a broken disk or an interrupted copy leaves.
void Damage(std::vector<uint8_t>& file, std::mt19937& random);

}  // namespace zeph::bench
