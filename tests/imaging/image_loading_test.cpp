// Image loading: barcodes rendered, written by each format's own encoder (or by
// hand where the format is simple), then loaded back and compared pixel by
// pixel; damaged, truncated and oversized files must be refused cleanly.
#include "imaging/image_loading.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <webp/encode.h>
#include <webp/mux.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "imaging/format_table.h"
#include "imaging/grey_rows.h"
#include "imaging/page_sink.h"
#include "imaging/pixel_budget.h"
#include "imaging/pixel_layout.h"
#include "imaging/png_reading.h"
#include "tests/support/document_files.h"
#include "tests/support/image_renderer.h"

namespace {

namespace fs = std::filesystem;
using zeph::imaging::DecodedImage;
using zeph::test::Image;
using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------
// Source pictures: top-down RGBA, the layout most encoders take.

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;

    uint8_t* At(int x, int y) { return rgba.data() + 4 * (size_t(y) * width + x); }
    const uint8_t* At(int x, int y) const { return rgba.data() + 4 * (size_t(y) * width + x); }
    // One channel (0 red .. 3 alpha) of every pixel, or several interleaved.
    Bytes Channels(std::initializer_list<int> channels) const {
        Bytes out;
        out.reserve(size_t(width) * height * channels.size());
        for (size_t i = 0; i < size_t(width) * height; ++i) {
            for (int c : channels)
                out.push_back(rgba[4 * i + c]);
        }
        return out;
    }
    Bytes Rgb() const { return Channels({0, 1, 2}); }
};

// A rendered EAN-13 symbol with a black block in the top-left corner, so that
// a picture upside down or mirrored does not match.
Image RenderedSymbol() {
    zeph::test::ImageOptions options;
    options.data = "590123412345";
    options.moduleSize = 2;
    options.quietModules = 7;
    options.heightModules = 12;
    Image image = zeph::test::RenderBarcode(options);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x)
            image.SetGrey(x, y, 0);
    }
    return image;
}

// The symbol in grey, opaque.
Picture GreySymbol() {
    const Image image = RenderedSymbol();
    Picture picture{image.width, image.height, {}};
    picture.rgba.resize(size_t(image.width) * image.height * 4);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            uint8_t* p = picture.At(x, y);
            p[0] = p[1] = p[2] = static_cast<uint8_t>(image.Grey(x, y));
            p[3] = 255;
        }
    }
    return picture;
}

// The symbol with each channel made different, and optionally every alpha
// level (0 included) across the picture.
Picture ColourSymbol(bool alpha) {
    Picture picture = GreySymbol();
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            uint8_t* p = picture.At(x, y);
            p[1] = static_cast<uint8_t>(p[0] ^ (x * 5));
            p[2] = static_cast<uint8_t>(p[0] ^ (y * 11 + 3));
            p[3] = alpha ? static_cast<uint8_t>(x * 37 + y * 11) : 255;
        }
    }
    return picture;
}

// ---------------------------------------------------------------------------
// Loading and reading back

using Decoded = std::optional<DecodedImage>;

// The first page of the bytes, or nothing with the reason in `error`.
Decoded DecodeBytes(std::span<const uint8_t> bytes, std::string* error = nullptr) {
    zeph::imaging::DecodeResult result = zeph::imaging::DecodeImageBytes(bytes);
    if (error) *error = result.error;
    return std::move(result.image);
}

Decoded DecodeFile(const fs::path& path, std::string* error = nullptr) {
    zeph::imaging::DecodeResult result = zeph::imaging::DecodeImageFile(path.string());
    if (error) *error = result.error;
    return std::move(result.image);
}

// The decoded rows as the engine reads them: bottom row first, each padded
// to 4 bytes with zeros.
Image ImageOf(const DecodedImage& decoded) {
    Image image;
    image.width = decoded.width;
    image.height = decoded.height;
    image.stride = (size_t(image.width) * 3 + 3) & ~size_t{3};
    EXPECT_EQ(decoded.stride, image.stride);
    image.pixels.assign(image.stride * image.height, 0);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(image.pixels.data() + size_t(y) * image.stride,
                    decoded.pixels.get() + size_t(y) * decoded.stride, size_t(image.width) * 3);
    }
    return image;
}

struct Loaded {
    Decoded bitmap;
    std::string error;
    Image image;
};

Loaded Load(std::span<const uint8_t> bytes) {
    Loaded loaded;
    loaded.error = "(not set)";
    loaded.bitmap = DecodeBytes(bytes, &loaded.error);
    if (loaded.bitmap) loaded.image = ImageOf(*loaded.bitmap);
    return loaded;
}

uint8_t Flatten(uint8_t colour, uint8_t alpha) {
    return static_cast<uint8_t>(std::lround(colour * alpha / 255.0));
}

struct Difference {
    int largest = 0;
    double mean = 0;
    std::string where;  // the first pixel that differs most
};

// Channel differences between the loaded image and the picture flattened onto black.
Difference Compare(const Image& image, const Picture& picture) {
    Difference difference;
    uint64_t sum = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* want = picture.At(x, y);
            const uint8_t* got = image.At(x, y);  // blue, green, red
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(int(got[2 - c]) - int(Flatten(want[c], want[3])));
                sum += uint64_t(d);
                if (d > difference.largest) {
                    difference.largest = d;
                    difference.where = std::to_string(x);
                    difference.where += ", ";
                    difference.where += std::to_string(y);
                    difference.where += " channel ";
                    difference.where += std::to_string(c);
                }
            }
        }
    }
    difference.mean = double(sum) / (3.0 * picture.width * picture.height);
    return difference;
}

// Loads the file and checks its size and pixels against the picture.
void ExpectLoads(const Bytes& file, const Picture& picture, int tolerance,
                 double meanTolerance = 0.0) {
    const Loaded loaded = Load(file);
    ASSERT_TRUE(loaded.bitmap) << loaded.error;
    EXPECT_TRUE(loaded.error.empty()) << loaded.error;
    ASSERT_EQ(loaded.image.width, picture.width);
    ASSERT_EQ(loaded.image.height, picture.height);
    const Difference difference = Compare(loaded.image, picture);
    EXPECT_LE(difference.largest, tolerance) << "at " << difference.where;
    EXPECT_LE(difference.mean, meanTolerance > 0 ? meanTolerance : double(tolerance));
    // Lossy files too must keep the marker block at the top left: rows in order.
    for (int y : {3, picture.height - 4}) {
        const uint8_t* p = picture.At(3, y);
        const int grey =
            (Flatten(p[2], p[3]) + 6 * Flatten(p[1], p[3]) + 3 * Flatten(p[0], p[3]) + 5) / 10;
        EXPECT_NEAR(loaded.image.Grey(3, y), grey, 40) << "row " << y;
    }
}

void ExpectRefused(std::span<const uint8_t> bytes, const std::string& why) {
    std::string error;
    const Decoded bitmap = DecodeBytes(bytes, &error);
    EXPECT_FALSE(bitmap) << why;
    EXPECT_FALSE(error.empty()) << why;
}

// ---------------------------------------------------------------------------
// Encoders

Bytes EncodeJpeg(const Picture& picture, int pixelFormat, int subsampling, int quality,
                 const Bytes& source) {
    tjhandle encoder = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int status = tjCompress2(encoder, source.data(), picture.width, 0, picture.height,
                                   pixelFormat, &out, &size, subsampling, quality, 0);
    EXPECT_EQ(status, 0) << tjGetErrorStr2(encoder);
    Bytes bytes(out, out + size);
    tjFree(out);
    tjDestroy(encoder);
    return bytes;
}

Bytes EncodePng(const Picture& picture, uint32_t format, const void* buffer,
                const void* colourMap = nullptr, uint32_t colourEntries = 0) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(picture.width);
    image.height = uint32_t(picture.height);
    image.format = format;
    image.colormap_entries = colourEntries;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, buffer, 0, colourMap))
        << image.message;
    Bytes bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, buffer, 0, colourMap))
        << image.message;
    bytes.resize(size);
    return bytes;
}

// PNG files assembled chunk by chunk, for what the simplified writer will not
// write: 16-bit samples without gamma, absurd sizes.
void AppendChunk(Bytes& png, const char* type, const Bytes& data) {
    const auto be32 = [&](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(uint8_t(v >> shift));
    };
    be32(uint32_t(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    be32(uint32_t(crc32(0, png.data() + start, uInt(png.size() - start))));
}

Bytes HandMadePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
                  const Bytes& filteredRows) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    for (uint32_t v : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            header.push_back(uint8_t(v >> shift));
    }
    header.insert(header.end(), {depth, colourType, 0, 0, 0});
    AppendChunk(png, "IHDR", header);
    uLongf size = compressBound(uLong(filteredRows.size()));
    Bytes compressed(size);
    EXPECT_EQ(compress(compressed.data(), &size, filteredRows.data(), uLong(filteredRows.size())),
              Z_OK);
    compressed.resize(size);
    AppendChunk(png, "IDAT", compressed);
    AppendChunk(png, "IEND", {});
    return png;
}

struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    Bytes indices;  // top-down
    int transparent = -1;
    bool interlace = false;
};

int WriteGifBytes(GifFileType* gif, const GifByteType* data, int count) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + count);
    return count;
}

// Palette entry i: red i, green 255 - i, blue 7 i.
GifColorType GifColour(int i) {
    return {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
}

Bytes EncodeGif(int screenWidth, int screenHeight, const std::vector<GifFrame>& frames) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteGifBytes, &error);
    EXPECT_NE(gif, nullptr);
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = GifColour(i);
    ColorMapObject* map = GifMakeMapObject(256, colours);
    EGifSetGifVersion(gif, true);
    EXPECT_EQ(EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, map), GIF_OK);
    for (const GifFrame& frame : frames) {
        if (frame.transparent >= 0) {
            GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 10, frame.transparent};
            GifByteType extension[4];
            EGifGCBToExtension(&control, extension);
            EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension), GIF_OK);
        }
        EXPECT_EQ(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height,
                                   frame.interlace, nullptr),
                  GIF_OK);
        std::vector<int> order;
        if (frame.interlace) {
            for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
                for (int row = start; row < frame.height; row += step)
                    order.push_back(row);
            }
        } else {
            for (int row = 0; row < frame.height; ++row)
                order.push_back(row);
        }
        for (int row : order) {
            Bytes line(frame.indices.begin() + size_t(row) * frame.width,
                       frame.indices.begin() + size_t(row + 1) * frame.width);
            EXPECT_EQ(EGifPutLine(gif, line.data(), frame.width), GIF_OK);
        }
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(map);
    return out;
}

struct TiffPage {
    int width = 0, height = 0;
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t samples = 3;
    uint16_t bits = 8;
    uint16_t extra = 0;  // EXTRASAMPLE_ value of a fourth sample, 0 for none
    uint16_t compression = COMPRESSION_LZW;
    Bytes data;  // contiguous samples, top-down, in this machine's byte order
};

Bytes ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A file in a folder of its own, removed with the object.
class TempFile {
  public:
    explicit TempFile(const std::string& name) {
        char pattern[] = "/tmp/zeph_image_test_XXXXXX";
        folder_ = mkdtemp(pattern);
        path_ = folder_ / name;
    }
    ~TempFile() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    const fs::path& Path() const { return path_; }
    const fs::path& Folder() const { return folder_; }
    void Write(std::span<const uint8_t> bytes) const {
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

  private:
    fs::path folder_;
    fs::path path_;
};

Bytes EncodeTiff(std::vector<TiffPage> pages, bool bigEndian) {
    const TempFile file("image.tif");
    TIFF* tiff = TIFFOpen(file.Path().c_str(), bigEndian ? "wb" : "wl");
    EXPECT_NE(tiff, nullptr);
    for (TiffPage& page : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(page.width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(page.height));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.bits);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.samples);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(page.height));
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression);
        if (page.photometric == PHOTOMETRIC_SEPARATED) {
            TIFFSetField(tiff, TIFFTAG_INKSET, INKSET_CMYK);
        }
        if (page.extra) {
            const uint16_t extra[] = {page.extra};
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        EXPECT_GE(TIFFWriteEncodedStrip(tiff, 0, page.data.data(), tmsize_t(page.data.size())), 0);
        EXPECT_TRUE(TIFFWriteDirectory(tiff));
    }
    TIFFClose(tiff);
    return ReadFileBytes(file.Path());
}

// Rewrites the first directory's width and length as LONG values.
void SetTiffSize(Bytes& tiff, uint32_t width, uint32_t height) {
    const uint32_t directory = tiff[4] | tiff[5] << 8 | tiff[6] << 16 | uint32_t(tiff[7]) << 24;
    const int entries = tiff[directory] | tiff[directory + 1] << 8;
    for (int e = 0; e < entries; ++e) {
        uint8_t* entry = &tiff[directory + 2 + 12 * e];
        const int tag = entry[0] | entry[1] << 8;
        if (tag != 256 && tag != 257) continue;
        const uint32_t value = tag == 256 ? width : height;
        entry[2] = 4, entry[3] = 0;  // LONG
        for (int i = 0; i < 4; ++i)
            entry[8 + i] = uint8_t(value >> (8 * i));
    }
}

Bytes EncodeWebpLossless(const Picture& picture) {
    uint8_t* out = nullptr;
    const size_t size = WebPEncodeLosslessRGBA(picture.rgba.data(), picture.width, picture.height,
                                               picture.width * 4, &out);
    EXPECT_GT(size, 0u);
    Bytes bytes(out, out + size);
    WebPFree(out);
    return bytes;
}

Bytes EncodeWebpLossy(const Picture& picture, bool alpha) {
    uint8_t* out = nullptr;
    const Bytes rgb = picture.Rgb();
    const size_t size = alpha ? WebPEncodeRGBA(picture.rgba.data(), picture.width, picture.height,
                                               picture.width * 4, 95, &out)
                              : WebPEncodeRGB(rgb.data(), picture.width, picture.height,
                                              picture.width * 3, 95, &out);
    EXPECT_GT(size, 0u);
    Bytes bytes(out, out + size);
    WebPFree(out);
    return bytes;
}

Bytes EncodeWebpAnimation(const std::vector<Picture>& frames) {
    WebPAnimEncoderOptions options;
    EXPECT_TRUE(WebPAnimEncoderOptionsInit(&options));
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(frames[0].width, frames[0].height, &options);
    WebPConfig config;
    EXPECT_TRUE(WebPConfigInit(&config));
    config.lossless = 1;
    int timestamp = 0;
    for (const Picture& frame : frames) {
        WebPPicture picture;
        EXPECT_TRUE(WebPPictureInit(&picture));
        picture.use_argb = 1;
        picture.width = frame.width;
        picture.height = frame.height;
        EXPECT_TRUE(WebPPictureImportRGBA(&picture, frame.rgba.data(), frame.width * 4));
        EXPECT_TRUE(WebPAnimEncoderAdd(encoder, &picture, timestamp, &config));
        WebPPictureFree(&picture);
        timestamp += 100;
    }
    EXPECT_TRUE(WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr));
    WebPData data;
    WebPDataInit(&data);
    EXPECT_TRUE(WebPAnimEncoderAssemble(encoder, &data));
    Bytes bytes(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    WebPAnimEncoderDelete(encoder);
    return bytes;
}

void Le16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Le32(Bytes& out, uint32_t v) {
    Le16(out, v & 0xFFFF);
    Le16(out, v >> 16);
}

// A BMP with a 40-byte header: 24 or 32 bits per pixel, or 8 with a palette
// (entry i: blue i, green 255 - i, red 3 i). Negative heights store the top row first.
Bytes EncodeBmp(int width, int height, int bits, std::function<Bytes(int x, int y)> pixel) {
    const int rows = std::abs(height);
    const size_t stride = (size_t(width) * bits / 8 + 3) & ~size_t{3};
    const uint32_t paletteBytes = bits == 8 ? 1024 : 0;
    const uint32_t offset = 14 + 40 + paletteBytes;
    Bytes out = {'B', 'M'};
    Le32(out, uint32_t(offset + stride * rows));
    Le32(out, 0);
    Le32(out, offset);
    Le32(out, 40);
    Le32(out, uint32_t(width));
    Le32(out, uint32_t(height));
    Le16(out, 1);
    Le16(out, uint32_t(bits));
    Le32(out, 0);  // BI_RGB
    Le32(out, uint32_t(stride * rows));
    Le32(out, 2835);
    Le32(out, 2835);
    Le32(out, bits == 8 ? 256 : 0);
    Le32(out, 0);
    for (uint32_t i = 0; i < paletteBytes / 4; ++i) {
        out.insert(out.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(3 * i), 0});
    }
    for (int r = 0; r < rows; ++r) {
        const int y = height > 0 ? rows - 1 - r : r;
        Bytes row;
        for (int x = 0; x < width; ++x) {
            const Bytes p = pixel(x, y);
            row.insert(row.end(), p.begin(), p.end());
        }
        row.resize(stride, 0);
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

Bytes EncodeTga(const Picture& picture, int bits, bool topFirst) {
    Bytes out = {0, 0, uint8_t(bits == 8 ? 3 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Le16(out, uint32_t(picture.width));
    Le16(out, uint32_t(picture.height));
    out.push_back(uint8_t(bits));
    out.push_back(uint8_t((topFirst ? 0x20 : 0) | (bits == 32 ? 8 : 0)));
    for (int r = 0; r < picture.height; ++r) {
        const int y = topFirst ? r : picture.height - 1 - r;
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.At(x, y);
            if (bits == 8) {
                out.push_back(p[0]);
            } else {
                out.insert(out.end(), {p[2], p[1], p[0]});
                if (bits == 32) out.push_back(p[3]);
            }
        }
    }
    return out;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes EncodePnm(const Picture& picture, char kind) {
    std::string header = "P";
    header += kind;
    header += "\n# made by the test\n" + std::to_string(picture.width) + " " +
              std::to_string(picture.height) + "\n";
    if (kind != '1' && kind != '4') header += "255\n";
    Bytes out = Text(header);
    std::string plain;
    for (int y = 0; y < picture.height; ++y) {
        Bytes packed((size_t(picture.width) + 7) / 8, 0);
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.At(x, y);
            switch (kind) {
                case '1':
                    plain += p[0] < 128 ? "1" : "0";
                    break;
                case '2':
                    plain += std::to_string(p[0]) + " ";
                    break;
                case '3':
                    plain += std::to_string(p[0]) + " " + std::to_string(p[1]) + " " +
                             std::to_string(p[2]) + "  ";
                    break;
                case '4':
                    if (p[0] < 128) packed[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
                    break;
                case '5':
                    out.push_back(p[0]);
                    break;
                case '6':
                    out.insert(out.end(), {p[0], p[1], p[2]});
                    break;
            }
        }
        if (kind == '4') out.insert(out.end(), packed.begin(), packed.end());
        plain += "\n";
    }
    if (kind <= '3') {
        const Bytes text = Text(plain);
        out.insert(out.end(), text.begin(), text.end());
    }
    return out;
}

// The grey picture reduced to black and white, as bitmap formats hold it.
Picture Thresholded(Picture picture) {
    for (size_t i = 0; i < picture.rgba.size(); i += 4) {
        const uint8_t v = picture.rgba[i] < 128 ? 0 : 255;
        picture.rgba[i] = picture.rgba[i + 1] = picture.rgba[i + 2] = v;
    }
    return picture;
}

Picture Opaque(Picture picture) {
    for (size_t i = 3; i < picture.rgba.size(); i += 4)
        picture.rgba[i] = 255;
    return picture;
}

Picture Uniform(int width, int height, std::array<uint8_t, 4> rgba) {
    Picture picture{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        picture.rgba.insert(picture.rgba.end(), rgba.begin(), rgba.end());
    }
    return picture;
}

// ---------------------------------------------------------------------------
// JPEG

TEST(ImageLoadingJpeg, ColourGreyAndCmykFilesDecodeCloseToTheirSource) {
    const Picture grey = GreySymbol();
    SCOPED_TRACE("colour 4:2:0");
    ExpectLoads(EncodeJpeg(grey, TJPF_RGB, TJSAMP_420, 95, grey.Rgb()), grey, 20, 1.0);
    {
        SCOPED_TRACE("greyscale");
        ExpectLoads(EncodeJpeg(grey, TJPF_GRAY, TJSAMP_GRAY, 95, grey.Channels({0})), grey, 20,
                    1.0);
    }
    {
        // Inverted inks, as CMYK JPEG files store them: ink = colour, black 255
        // = none; half the columns carry black 128 as well.
        SCOPED_TRACE("CMYK");
        Picture expected = grey;
        Bytes cmyk;
        for (int y = 0; y < grey.height; ++y) {
            for (int x = 0; x < grey.width; ++x) {
                const uint8_t* p = grey.At(x, y);
                const uint8_t black = x < grey.width / 2 ? 255 : 128;
                cmyk.insert(cmyk.end(), {p[0], p[1], p[2], black});
                uint8_t* e = expected.At(x, y);
                for (int c = 0; c < 3; ++c)
                    e[c] = Flatten(p[c], black);
            }
        }
        ExpectLoads(EncodeJpeg(grey, TJPF_CMYK, TJSAMP_444, 95, cmyk), expected, 20, 1.0);
    }
}

TEST(ImageLoadingJpeg, ColoursKeepTheirChannels) {
    // Pure red, green and blue thirds survive compression well apart.
    Picture picture = Uniform(48, 16, {0, 0, 0, 255});
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 48; ++x)
            picture.At(x, y)[x / 16] = 255;
    }
    const Loaded loaded = Load(EncodeJpeg(picture, TJPF_RGB, TJSAMP_444, 98, picture.Rgb()));
    ASSERT_TRUE(loaded.bitmap) << loaded.error;
    for (int third = 0; third < 3; ++third) {
        const uint8_t* p = loaded.image.At(third * 16 + 8, 8);
        for (int c = 0; c < 3; ++c) {
            if (c == third) {
                EXPECT_GT(p[2 - c], 240) << third;
            } else {
                EXPECT_LT(p[2 - c], 15) << third;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// PNG

TEST(ImageLoadingPng, EveryColourTypeRoundTripsExactly) {
    const Picture colour = ColourSymbol(false);
    const Picture grey = GreySymbol();
    const Picture alpha = ColourSymbol(true);
    {
        SCOPED_TRACE("RGB");
        const Bytes rgb = colour.Rgb();
        ExpectLoads(EncodePng(colour, PNG_FORMAT_RGB, rgb.data()), colour, 0);
    }
    {
        SCOPED_TRACE("grey");
        const Bytes y = grey.Channels({0});
        ExpectLoads(EncodePng(grey, PNG_FORMAT_GRAY, y.data()), grey, 0);
    }
    {
        SCOPED_TRACE("RGBA, every alpha level");
        ExpectLoads(EncodePng(alpha, PNG_FORMAT_RGBA, alpha.rgba.data()), alpha, 0);
    }
    {
        SCOPED_TRACE("grey + alpha");
        Picture greyAlpha = grey;
        for (int y = 0; y < grey.height; ++y) {
            for (int x = 0; x < grey.width; ++x)
                greyAlpha.At(x, y)[3] = uint8_t(x * 13);
        }
        const Bytes ya = greyAlpha.Channels({0, 3});
        ExpectLoads(EncodePng(greyAlpha, PNG_FORMAT_GA, ya.data()), greyAlpha, 0);
    }
}

TEST(ImageLoadingPng, PalettesWithAndWithoutTransparency) {
    // Entry i: red i, green 255 - i, blue 7 i; alpha 255 except entries 1 and 2.
    Bytes map;
    for (int i = 0; i < 256; ++i) {
        map.insert(map.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7),
                               uint8_t(i == 1   ? 0
                                       : i == 2 ? 100
                                                : 255)});
    }
    const Picture grey = GreySymbol();
    Picture expected = grey;
    Bytes indices;
    for (int y = 0; y < grey.height; ++y) {
        for (int x = 0; x < grey.width; ++x) {
            // Dark pixels use entries 0..2 in turn; light ones entries 200..255.
            const uint8_t index = grey.At(x, y)[0] < 128 ? uint8_t(x % 3) : uint8_t(200 + x % 56);
            indices.push_back(index);
            std::memcpy(expected.At(x, y), &map[4 * index], 4);
        }
    }
    {
        SCOPED_TRACE("with transparency");
        ExpectLoads(EncodePng(grey, PNG_FORMAT_RGBA_COLORMAP, indices.data(), map.data(), 256),
                    expected, 0);
    }
    {
        SCOPED_TRACE("opaque");
        Bytes rgbMap;
        for (int i = 0; i < 256; ++i)
            rgbMap.insert(rgbMap.end(), &map[4 * i], &map[4 * i + 3]);
        ExpectLoads(EncodePng(grey, PNG_FORMAT_RGB_COLORMAP, indices.data(), rgbMap.data(), 256),
                    Opaque(expected), 0);
    }
}

TEST(ImageLoadingPng, SixteenBitSamplesConvertToEightBits) {
    const Picture grey = GreySymbol();
    {
        // Without gamma information the high byte counts, as viewers show it.
        SCOPED_TRACE("no gamma");
        Bytes rows;
        for (int y = 0; y < grey.height; ++y) {
            rows.push_back(0);  // no filter
            for (int x = 0; x < grey.width; ++x) {
                const uint8_t v = grey.At(x, y)[0];
                rows.insert(rows.end(), {v, uint8_t(x)});  // big-endian v * 256 + x
            }
        }
        ExpectLoads(HandMadePng(uint32_t(grey.width), uint32_t(grey.height), 16, 0, rows), grey, 1);
    }
    {
        // Written as linear light (the writer records gamma 1.0): black and white
        // stay, 50 % linear becomes sRGB ~188 (186 with a pure 2.2 power).
        SCOPED_TRACE("linear");
        std::vector<uint16_t> linear;
        Picture expected = grey;
        for (int y = 0; y < grey.height; ++y) {
            for (int x = 0; x < grey.width; ++x) {
                const bool mid = y >= grey.height - 4;
                linear.push_back(mid ? 32768 : grey.At(x, y)[0] < 128 ? 0 : 65535);
                uint8_t* e = expected.At(x, y);
                e[0] = e[1] = e[2] = mid ? 187 : grey.At(x, y)[0] < 128 ? 0 : 255;
            }
        }
        const Bytes png = EncodePng(grey, PNG_FORMAT_LINEAR_Y, linear.data());
        const Loaded loaded = Load(png);
        ASSERT_TRUE(loaded.bitmap) << loaded.error;
        const Difference difference = Compare(loaded.image, expected);
        EXPECT_LE(difference.largest, 2) << "at " << difference.where;
    }
}

// ---------------------------------------------------------------------------
// GIF

TEST(ImageLoadingGif, FirstFrameOnBlackWithTransparency) {
    const Picture grey = GreySymbol();
    constexpr int kLeft = 5, kTop = 3, kTransparent = 7;
    const int screenWidth = grey.width + 9, screenHeight = grey.height + 6;
    GifFrame first{kLeft, kTop, grey.width, grey.height, {}, kTransparent, false};
    Picture expected = Uniform(screenWidth, screenHeight, {0, 0, 0, 255});
    for (int y = 0; y < grey.height; ++y) {
        for (int x = 0; x < grey.width; ++x) {
            // Dark pixels: entries 0..15 (7 transparent); light: 200 up.
            const int index = grey.At(x, y)[0] < 128 ? x % 16 : 200 + (x + y) % 50;
            first.indices.push_back(uint8_t(index));
            uint8_t* e = expected.At(kLeft + x, kTop + y);
            const GifColorType c = GifColour(index);
            if (index != kTransparent) e[0] = c.Red, e[1] = c.Green, e[2] = c.Blue;
        }
    }
    // The second frame would paint everything white.
    GifFrame second{0, 0, screenWidth, screenHeight,
                    Bytes(size_t(screenWidth) * screenHeight, 255)};
    for (bool interlace : {false, true}) {
        SCOPED_TRACE(interlace ? "interlaced" : "sequential");
        first.interlace = interlace;
        const Loaded loaded = Load(EncodeGif(screenWidth, screenHeight, {first, second}));
        ASSERT_TRUE(loaded.bitmap) << loaded.error;
        ASSERT_EQ(loaded.image.width, screenWidth);
        ASSERT_EQ(loaded.image.height, screenHeight);
        const Difference difference = Compare(loaded.image, expected);
        EXPECT_EQ(difference.largest, 0) << difference.where;
    }
}

TEST(ImageLoadingGif, FrameReachingPastTheScreenIsClipped) {
    GifFrame frame{4, 2, 10, 6, Bytes(60, 250)};
    const Loaded loaded = Load(EncodeGif(8, 5, {frame}));
    ASSERT_TRUE(loaded.bitmap) << loaded.error;
    ASSERT_EQ(loaded.image.width, 8);
    ASSERT_EQ(loaded.image.height, 5);
    const GifColorType c = GifColour(250);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 4 && y >= 2;
            const uint8_t* p = loaded.image.At(x, y);
            EXPECT_EQ(p[2], inside ? c.Red : 0) << x << "," << y;
            EXPECT_EQ(p[1], inside ? c.Green : 0) << x << "," << y;
        }
    }
}

// A screen far larger than its first frame is black made from nothing: the
// picture is then the frame alone.
TEST(ImageLoadingGif, ScreenFarLargerThanTheFrameGivesTheFrame) {
    const GifFrame frame{700, 900, 2, 1, Bytes{40, 41}};
    const Loaded loaded = Load(EncodeGif(16384, 16384, {frame}));
    ASSERT_TRUE(loaded.bitmap) << loaded.error;
    ASSERT_EQ(loaded.image.width, 2);
    ASSERT_EQ(loaded.image.height, 1);
    EXPECT_EQ(loaded.image.At(1, 0)[2], GifColour(41).Red);
    // A screen of a megapixel keeps the frame in its place.
    const Loaded kept = Load(EncodeGif(1024, 1024, {frame}));
    ASSERT_TRUE(kept.bitmap) << kept.error;
    ASSERT_EQ(kept.image.width, 1024);
    EXPECT_EQ(kept.image.At(701, 900)[2], GifColour(41).Red);
}

// The screen rule comes before the size check: a small frame on a screen
// beyond the pixel limit is read as the frame alone, as it is on a screen at
// the limit, and a screen worth keeping is still checked.
TEST(ImageLoadingGif, ScreenTooLargeToHoldGivesTheFrameLikeOneAtTheLimit) {
    Bytes indices(339 * 165);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = uint8_t(i % 7 * 30);
    const GifFrame frame{0, 0, 339, 165, indices};
    for (int screenWidth : {16384, 16385}) {
        const Loaded loaded = Load(EncodeGif(screenWidth, 16384, {frame}));
        ASSERT_TRUE(loaded.bitmap) << screenWidth << ": " << loaded.error;
        EXPECT_EQ(loaded.image.width, 339);
        EXPECT_EQ(loaded.image.height, 165);
        EXPECT_EQ(loaded.image.At(1, 0)[2], GifColour(30).Red);
    }
    // A frame that is a fair share of a screen too large: the screen counts.
    Bytes large(size_t(9000) * 8000, 1);
    const Loaded refused = Load(EncodeGif(16385, 16384, {{0, 0, 9000, 8000, large}}));
    EXPECT_FALSE(refused.bitmap);
    EXPECT_NE(refused.error.find("too large"), std::string::npos) << refused.error;
}

// ---------------------------------------------------------------------------
// TIFF

TiffPage RgbPage(const Picture& picture) {
    return {picture.width,   picture.height, PHOTOMETRIC_RGB, 3, 8, 0,
            COMPRESSION_LZW, picture.Rgb()};
}

TEST(ImageLoadingTiff, FirstPageOfEitherByteOrder) {
    const Picture colour = ColourSymbol(false);
    const Picture other = Uniform(colour.width + 3, colour.height, {255, 255, 255, 255});
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "MM" : "II");
        const Bytes file = EncodeTiff({RgbPage(colour), RgbPage(other)}, bigEndian);
        ASSERT_EQ(file[0], bigEndian ? 'M' : 'I');
        ExpectLoads(file, colour, 0);
    }
}

TEST(ImageLoadingTiff, GreySixteenBitBilevelCmykAndAlphaConvert) {
    const Picture grey = GreySymbol();
    {
        SCOPED_TRACE("grey 8-bit, uncompressed");
        ExpectLoads(EncodeTiff({{grey.width, grey.height, PHOTOMETRIC_MINISBLACK, 1, 8, 0,
                                 COMPRESSION_NONE, grey.Channels({0})}},
                               false),
                    grey, 0);
    }
    {
        SCOPED_TRACE("grey 16-bit");
        std::vector<uint16_t> samples;
        for (uint8_t v : grey.Channels({0}))
            samples.push_back(uint16_t(v * 257));
        Bytes data(samples.size() * 2);
        std::memcpy(data.data(), samples.data(), data.size());
        ExpectLoads(EncodeTiff({{grey.width, grey.height, PHOTOMETRIC_MINISBLACK, 1, 16, 0,
                                 COMPRESSION_LZW, data}},
                               true),
                    grey, 0);
    }
    {
        SCOPED_TRACE("bilevel, white is zero");
        const Picture bilevel = Thresholded(grey);
        const size_t rowBytes = (size_t(grey.width) + 7) / 8;
        Bytes data(rowBytes * grey.height, 0);
        for (int y = 0; y < grey.height; ++y) {
            for (int x = 0; x < grey.width; ++x) {
                if (bilevel.At(x, y)[0] == 0) data[y * rowBytes + x / 8] |= uint8_t(0x80 >> x % 8);
            }
        }
        ExpectLoads(EncodeTiff({{grey.width, grey.height, PHOTOMETRIC_MINISWHITE, 1, 1, 0,
                                 COMPRESSION_CCITTFAX4, data}},
                               false),
                    bilevel, 0);
    }
    {
        // Plain inks (0 = none): colour = (255 - ink) (255 - black) / 255.
        SCOPED_TRACE("CMYK");
        const Picture colour = ColourSymbol(false);
        Picture expected = colour;
        Bytes data;
        for (int y = 0; y < colour.height; ++y) {
            for (int x = 0; x < colour.width; ++x) {
                const uint8_t* p = colour.At(x, y);
                const uint8_t black = uint8_t(x);
                data.insert(data.end(),
                            {uint8_t(255 - p[0]), uint8_t(255 - p[1]), uint8_t(255 - p[2]), black});
                for (int c = 0; c < 3; ++c)
                    expected.At(x, y)[c] = Flatten(p[c], 255 - black);
            }
        }
        ExpectLoads(EncodeTiff({{colour.width, colour.height, PHOTOMETRIC_SEPARATED, 4, 8, 0,
                                 COMPRESSION_LZW, data}},
                               false),
                    expected, 1);
    }
    {
        SCOPED_TRACE("RGBA, unassociated alpha");
        const Picture alpha = ColourSymbol(true);
        ExpectLoads(EncodeTiff({{alpha.width, alpha.height, PHOTOMETRIC_RGB, 4, 8,
                                 EXTRASAMPLE_UNASSALPHA, COMPRESSION_LZW, alpha.rgba}},
                               false),
                    alpha, 1);
    }
}

// ---------------------------------------------------------------------------
// WebP

TEST(ImageLoadingWebp, LosslessLossyAndAlpha) {
    const Picture colour = ColourSymbol(false);
    const Picture alpha = ColourSymbol(true);
    const Picture grey = GreySymbol();
    {
        SCOPED_TRACE("lossless");
        ExpectLoads(EncodeWebpLossless(colour), colour, 0);
    }
    {
        SCOPED_TRACE("lossless with alpha");
        ExpectLoads(EncodeWebpLossless(alpha), alpha, 0);
    }
    {
        SCOPED_TRACE("lossy");
        ExpectLoads(EncodeWebpLossy(grey, false), grey, 16, 1.0);
    }
    {
        // Alpha is kept exactly by the lossy encoder; colour is not.
        SCOPED_TRACE("lossy with alpha");
        Picture halfClear = grey;
        for (int y = 0; y < grey.height; ++y) {
            for (int x = grey.width / 2; x < grey.width; ++x)
                halfClear.At(x, y)[3] = 0;
        }
        ExpectLoads(EncodeWebpLossy(halfClear, true), halfClear, 16, 1.0);
    }
}

TEST(ImageLoadingWebp, AnimationGivesItsFirstFrame) {
    const Picture alpha = ColourSymbol(true);
    const Picture white = Uniform(alpha.width, alpha.height, {255, 255, 255, 255});
    ExpectLoads(EncodeWebpAnimation({alpha, white}), alpha, 0);

    // The canvas (24-bit sizes less one, after "VP8X" and its flags) made far
    // larger than the frame: the frame alone is the picture.
    Bytes large = EncodeWebpAnimation({alpha, white});
    ASSERT_EQ(std::string(large.begin() + 12, large.begin() + 16), "VP8X");
    for (size_t at : {size_t(24), size_t(27)})
        large[at] = 0xFF, large[at + 1] = 0x1F, large[at + 2] = 0;  // 8192
    ExpectLoads(large, alpha, 0);
}

// ---------------------------------------------------------------------------
// BMP, PNM, TGA

TEST(ImageLoadingBmp, TrueColourPaletteAndAlpha) {
    const Picture colour = ColourSymbol(false);
    const Picture alpha = ColourSymbol(true);
    const auto bgr = [&](const Picture& p) {
        return [&p](int x, int y) {
            const uint8_t* q = p.At(x, y);
            return Bytes{q[2], q[1], q[0]};
        };
    };
    {
        SCOPED_TRACE("24-bit, bottom row first");
        ExpectLoads(EncodeBmp(colour.width, colour.height, 24, bgr(colour)), colour, 0);
    }
    {
        SCOPED_TRACE("24-bit, top row first");
        ExpectLoads(EncodeBmp(colour.width, -colour.height, 24, bgr(colour)), colour, 0);
    }
    {
        SCOPED_TRACE("32-bit with alpha");
        ExpectLoads(EncodeBmp(alpha.width, alpha.height, 32,
                              [&](int x, int y) {
                                  const uint8_t* q = alpha.At(x, y);
                                  return Bytes{q[2], q[1], q[0], q[3]};
                              }),
                    alpha, 0);
    }
    {
        SCOPED_TRACE("8-bit palette");
        const Picture grey = GreySymbol();
        Picture expected = grey;
        const Bytes file = EncodeBmp(grey.width, grey.height, 8, [&](int x, int y) {
            const uint8_t index = grey.At(x, y)[0] < 128 ? uint8_t(x % 20) : uint8_t(230 + y % 20);
            uint8_t* e = expected.At(x, y);
            e[0] = uint8_t(3 * index), e[1] = uint8_t(255 - index), e[2] = index;
            return Bytes{index};
        });
        ExpectLoads(file, expected, 0);
    }
}

// The oldest header (12 bytes, 16-bit sizes): complete files load, and a file
// that ends before its rows or inside its header, however short, is refused
// rather than padded.
// An 8-bit picture whose palette holds `entries` colours (entry i grey 10 i),
// its pixels the given indices, one row.
Bytes EightBitBmpWithPalette(int entries, const Bytes& indices) {
    const uint32_t offset = 14 + 40 + 4 * uint32_t(entries);
    const size_t stride = (indices.size() + 3) & ~size_t{3};
    Bytes out = {'B', 'M'};
    Le32(out, uint32_t(offset + stride));
    Le32(out, 0);
    Le32(out, offset);
    Le32(out, 40);
    Le32(out, uint32_t(indices.size()));
    Le32(out, 1);
    Le16(out, 1);
    Le16(out, 8);
    Le32(out, 0);
    Le32(out, uint32_t(stride));
    Le32(out, 2835);
    Le32(out, 2835);
    Le32(out, uint32_t(entries));
    Le32(out, 0);
    for (int i = 0; i < entries; ++i) {
        const auto v = uint8_t(10 * i);
        out.insert(out.end(), {v, v, v, 0});
    }
    Bytes row = indices;
    row.resize(stride, 0);
    out.insert(out.end(), row.begin(), row.end());
    return out;
}

// The reader leaves palette entries the file does not hold unset: a pixel
// naming one is refused rather than given whatever lay in memory, and a
// palette that leaves no room before the rows is refused too.
TEST(ImageLoadingBmp, PixelsOutsideAShortPaletteAreRefused) {
    const Loaded within = Load(EightBitBmpWithPalette(4, {0, 1, 2, 3, 3}));
    ASSERT_TRUE(within.bitmap) << within.error;
    for (int x = 0; x < 4; ++x) {
        const uint8_t* p = within.image.At(x, 0);  // blue, green, red
        EXPECT_EQ(p[0], 10 * x);
        EXPECT_EQ(p[1], 10 * x);
        EXPECT_EQ(p[2], 10 * x);
    }
    const Loaded outside = Load(EightBitBmpWithPalette(4, {0, 1, 4, 3, 3}));
    EXPECT_FALSE(outside.bitmap);
    EXPECT_NE(outside.error.find("outside the palette"), std::string::npos) << outside.error;
    Bytes noRoom = EightBitBmpWithPalette(4, {0, 1, 2, 3});
    noRoom[10] = 20;  // the rows said to start inside the header
    noRoom[11] = 0;
    const Loaded damaged = Load(noRoom);
    EXPECT_FALSE(damaged.bitmap);
    EXPECT_NE(damaged.error.find("BMP: "), std::string::npos) << damaged.error;
}

TEST(ImageLoadingBmp, HeaderAndRowsMustBeInTheFile) {
    const Picture colour = ColourSymbol(false);
    const int rows = colour.height;
    const size_t stride = (size_t(colour.width) * 3 + 3) & ~size_t{3};
    Bytes file = {'B', 'M'};
    Le32(file, uint32_t(26 + stride * rows));
    Le32(file, 0);
    Le32(file, 26);
    Le32(file, 12);
    Le16(file, uint32_t(colour.width));
    Le16(file, uint32_t(rows));
    Le16(file, 1);
    Le16(file, 24);
    for (int r = 0; r < rows; ++r) {
        Bytes row;
        for (int x = 0; x < colour.width; ++x) {
            const uint8_t* q = colour.At(x, rows - 1 - r);
            row.insert(row.end(), {q[2], q[1], q[0]});
        }
        row.resize(stride, 0);
        file.insert(file.end(), row.begin(), row.end());
    }
    ExpectLoads(file, colour, 0);
    ExpectRefused(std::span<const uint8_t>(file.data(), file.size() - stride), "a row missing");
    // 28 bytes claiming 23424 x 284 pixels of 8 bits, the palette and rows past the end.
    const Bytes tiny = {0x42, 0x4d, 0x56, 0x01, 0x00, 0xf9, 0x00, 0x01, 0x03, 0x00,
                        0x89, 0x00, 0x00, 0x00, 0x0c, 0x00, 0x00, 0x00, 0x80, 0x5b,
                        0x00, 0x1c, 0x01, 0x00, 0x08, 0x00, 0x96, 0xff};
    ExpectRefused(tiny, "a header alone");
    // 29 bytes of a 40-byte header claiming 5035 x 51968 pixels.
    const Bytes cutHeader = {0x42, 0x4d, 0x56, 0x01, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0x02, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00, 0x00, 0xab, 0x13,
                             0x00, 0x00, 0x00, 0xcb, 0x00, 0x00, 0x01, 0x00, 0x04};
    ExpectRefused(cutHeader, "part of a header");
}

TEST(ImageLoadingPnm, EveryKindFromBitmapToColour) {
    const Picture colour = ColourSymbol(false);
    const Picture grey = GreySymbol();
    const Picture bilevel = Thresholded(grey);
    for (char kind : {'1', '4'}) {
        SCOPED_TRACE(kind);
        ExpectLoads(EncodePnm(grey, kind), bilevel, 0);
    }
    for (char kind : {'2', '5'}) {
        SCOPED_TRACE(kind);
        ExpectLoads(EncodePnm(grey, kind), grey, 0);
    }
    for (char kind : {'3', '6'}) {
        SCOPED_TRACE(kind);
        ExpectLoads(EncodePnm(colour, kind), colour, 0);
    }
}

TEST(ImageLoadingPnm, MaximumValuesScaleSamples) {
    // 16-bit binary grey and a plain file with maximum 15.
    Bytes p5 = Text("P5 2 1 65535\n");
    p5.insert(p5.end(), {0xFF, 0xFF, 0x80, 0x00});
    const Loaded sixteen = Load(p5);
    ASSERT_TRUE(sixteen.bitmap) << sixteen.error;
    EXPECT_EQ(sixteen.image.At(0, 0)[0], 255);
    EXPECT_EQ(sixteen.image.At(1, 0)[0], 128);
    const Loaded fifteen = Load(Text("P2\n3 1\n15\n0 15 5\n"));
    ASSERT_TRUE(fifteen.bitmap) << fifteen.error;
    EXPECT_EQ(fifteen.image.At(0, 0)[1], 0);
    EXPECT_EQ(fifteen.image.At(1, 0)[1], 255);
    EXPECT_EQ(fifteen.image.At(2, 0)[1], 85);
    ExpectRefused(Text("P2\n3 1\n15\n0 16 5\n"), "sample above the maximum");
    ExpectRefused(Text("P3\n1 1\n255\n0 0\n"), "missing sample");
    ExpectRefused(Text("P1\n2 2\n0 1 2 0\n"), "digit other than 0 or 1");
}

TEST(ImageLoadingTga, TrueColourGreyAndAlphaEitherOrigin) {
    const Picture colour = ColourSymbol(false);
    const Picture alpha = ColourSymbol(true);
    const Picture grey = GreySymbol();
    for (bool topFirst : {false, true}) {
        SCOPED_TRACE(topFirst ? "top row first" : "bottom row first");
        ExpectLoads(EncodeTga(colour, 24, topFirst), colour, 0);
        ExpectLoads(EncodeTga(alpha, 32, topFirst), alpha, 0);
        ExpectLoads(EncodeTga(grey, 8, topFirst), grey, 0);
    }
}

// ---------------------------------------------------------------------------
// Every format: tiny pictures, damaged and truncated files

struct Sample {
    std::string name;
    Bytes file;
};

// The picture flattened onto black, as the renderer's image.
Image ImageOfPicture(const Picture& picture) {
    Image image = zeph::test::BlankImage(picture.width, picture.height, 0);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.At(x, y);
            uint8_t* q = image.At(x, y);
            q[0] = Flatten(p[2], p[3]), q[1] = Flatten(p[1], p[3]), q[2] = Flatten(p[0], p[3]);
        }
    }
    return image;
}

Bytes EncodeHeif(const Picture& picture, zeph::test::PhoneCoding coding) {
    Bytes file = zeph::test::HeifOfImage(ImageOfPicture(picture), coding, 90);
    EXPECT_FALSE(file.empty()) << "libheif cannot encode";
    return file;
}

// One opaque single-frame file of each format (and variant) from the picture.
std::vector<Sample> Samples(const Picture& colour) {
    const Picture grey = Opaque(colour);
    const Bytes rgb = colour.Rgb();
    std::vector<Sample> samples = {
        {"jpeg", EncodeJpeg(colour, TJPF_RGB, TJSAMP_420, 90, rgb)},
        {"jpeg-grey", EncodeJpeg(colour, TJPF_GRAY, TJSAMP_GRAY, 90, colour.Channels({0}))},
        {"png", EncodePng(colour, PNG_FORMAT_RGB, rgb.data())},
        {"png-alpha", EncodePng(colour, PNG_FORMAT_RGBA, colour.rgba.data())},
        {"gif", EncodeGif(colour.width, colour.height,
                          {{0, 0, colour.width, colour.height, colour.Channels({0}), 3}})},
        {"tiff", EncodeTiff({RgbPage(colour)}, false)},
        {"webp", EncodeWebpLossless(colour)},
        {"webp-lossy", EncodeWebpLossy(colour, false)},
        {"bmp", EncodeBmp(colour.width, colour.height, 24,
                          [&](int x, int y) {
                              const uint8_t* q = colour.At(x, y);
                              return Bytes{q[2], q[1], q[0]};
                          })},
        {"pgm", EncodePnm(colour, '5')},
        {"ppm", EncodePnm(colour, '6')},
        {"pbm", EncodePnm(colour, '4')},
        {"ppm-plain", EncodePnm(colour, '3')},
        {"tga", EncodeTga(colour, 24, false)},
        {"heic", EncodeHeif(grey, zeph::test::PhoneCoding::Hevc)},
        {"avif", EncodeHeif(grey, zeph::test::PhoneCoding::Av1)},
    };
    return samples;
}

TEST(ImageLoadingAnyFormat, OnePixelPictures) {
    const Picture pixel = Uniform(1, 1, {200, 100, 50, 255});
    // The formats that keep colour without loss must give the pixel back exactly.
    const std::vector<std::string> exact = {"png", "png-alpha", "tiff",      "webp",
                                            "bmp", "ppm",       "ppm-plain", "tga"};
    for (const Sample& sample : Samples(pixel)) {
        SCOPED_TRACE(sample.name);
        const Loaded loaded = Load(sample.file);
        ASSERT_TRUE(loaded.bitmap) << loaded.error;
        ASSERT_EQ(loaded.image.width, 1);
        ASSERT_EQ(loaded.image.height, 1);
        if (std::find(exact.begin(), exact.end(), sample.name) != exact.end()) {
            EXPECT_EQ(Compare(loaded.image, pixel).largest, 0);
        }
    }
}

TEST(ImageLoadingAnyFormat, TruncatedFilesAreRefused) {
    const Picture colour = ColourSymbol(false);
    for (const Sample& sample : Samples(colour)) {
        for (size_t keep :
             {size_t{1}, size_t{8}, sample.file.size() / 2, sample.file.size() * 9 / 10}) {
            const std::span<const uint8_t> part(sample.file.data(), keep);
            ExpectRefused(part, sample.name + " cut to " + std::to_string(keep) + " bytes");
        }
    }
}

TEST(ImageLoadingAnyFormat, CorruptedFilesNeverCrash) {
    // Damage may go unnoticed in raw pixels; what must hold is a bitmap of the
    // file's size or a refusal with a reason, and no memory error (sanitizers).
    const Picture colour = ColourSymbol(false);
    std::mt19937 random(5);
    for (const Sample& sample : Samples(colour)) {
        for (int round = 0; round < 40; ++round) {
            Bytes file = sample.file;
            const int hits = 1 + round % 8;
            for (int i = 0; i < hits; ++i) {
                const size_t at = random() % file.size();
                file[at] = static_cast<uint8_t>(random());
            }
            std::string error;
            const Decoded bitmap = DecodeBytes(file, &error);
            if (bitmap) {
                EXPECT_GT(bitmap->width, 0);
                EXPECT_GT(bitmap->height, 0);
                EXPECT_TRUE(error.empty());
            } else {
                EXPECT_FALSE(error.empty()) << sample.name;
            }
        }
    }
}

TEST(ImageLoadingAnyFormat, DamagedHeadersAreRefused) {
    const Picture colour = ColourSymbol(false);
    const auto samples = Samples(colour);
    const auto find = [&](const std::string& name) {
        for (const Sample& s : samples) {
            if (s.name == name) return s.file;
        }
        return Bytes{};
    };
    {
        Bytes png = find("png");
        png[20] ^= 0x40;  // inside IHDR: its checksum no longer matches
        ExpectRefused(png, "PNG header checksum");
    }
    {
        Bytes jpeg = find("jpeg");
        for (size_t i = 2; i + 1 < jpeg.size(); ++i) {
            if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) jpeg[i + 1] = 0xCF;  // no frame header
        }
        ExpectRefused(jpeg, "JPEG without a frame header");
    }
    {
        Bytes gif = find("gif");
        gif[10] &= 0x7F;  // no global colour table, and the frame has none
        ExpectRefused(gif, "GIF without colours");
    }
    {
        Bytes tiff = find("tiff");
        tiff[4] = tiff[5] = tiff[6] = 0xEE;  // first directory far past the end
        ExpectRefused(tiff, "TIFF directory outside the file");
    }
}

TEST(ImageLoadingAnyFormat, OversizedHeadersAreRefusedBeforeDecoding) {
    std::string error;
    const auto tooLarge = [&](const Bytes& file) {
        error.clear();
        const Decoded bitmap = DecodeBytes(file, &error);
        return !bitmap && error.find("too large") != std::string::npos;
    };
    // PNG: a 100000 x 100000 header over a single row of data.
    EXPECT_TRUE(tooLarge(HandMadePng(100000, 100000, 8, 0, Bytes(100001, 0)))) << error;

    // BMP: the header of a 24-bit 100000 x 100000 picture and nothing else.
    Bytes bmp = EncodeBmp(1, 1, 24, [](int, int) { return Bytes{1, 2, 3}; });
    for (int at : {18, 22}) {
        bmp[at] = 0xA0, bmp[at + 1] = 0x86, bmp[at + 2] = 0x01, bmp[at + 3] = 0;  // 100000
    }
    EXPECT_TRUE(tooLarge(bmp)) << error;

    // GIF, JPEG, TIFF, PNM, TGA: the sample's size fields set near their largest.
    const Picture small = Uniform(4, 4, {10, 20, 30, 255});
    // The screen and the frame (after the 256 colours and ',') 65535 square.
    Bytes gif = EncodeGif(4, 4, {{0, 0, 4, 4, Bytes(16, 1)}});
    for (size_t at : {size_t(6), size_t(8), size_t(13 + 768 + 5), size_t(13 + 768 + 7)})
        gif[at] = gif[at + 1] = 0xFF;
    EXPECT_TRUE(tooLarge(gif)) << error;

    Bytes jpeg = EncodeJpeg(small, TJPF_RGB, TJSAMP_444, 90, small.Rgb());
    for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = jpeg[i + 7] = 0xFF;  // height and width 0xFF04
            break;
        }
    }
    EXPECT_TRUE(tooLarge(jpeg)) << error;

    EXPECT_TRUE(tooLarge(Text("P5 60000 60000 255\n\x01"))) << error;
    EXPECT_TRUE(tooLarge(Text("P4 60000 60000\n\x01"))) << error;

    Bytes tga = EncodeTga(small, 24, false);
    tga[12] = tga[13] = tga[14] = tga[15] = 0xFF;
    EXPECT_TRUE(tooLarge(tga)) << error;

    Bytes tiff = EncodeTiff({RgbPage(small)}, false);
    SetTiffSize(tiff, 65536, 65536);
    EXPECT_TRUE(tooLarge(tiff)) << error;
}

// A HEIC grid whose 'ispe' states 12 x 8 while its grid lays the tiles out to
// 14441 x 27759: refused, rather than decoded into gigabytes.
TEST(ImageLoadingAnyFormat, HeicGridLargerThanItsStatedSizeIsRefused) {
    const Bytes file = ReadFileBytes(fs::path(ZEPH_SOURCE_DIR) /
                                     "tests/data/crafted/heic-grid-beyond-its-stated-size.heic");
    ASSERT_FALSE(file.empty());
    const Loaded loaded = Load(file);
    EXPECT_FALSE(loaded.bitmap);
    EXPECT_NE(loaded.error.find("HEIC: "), std::string::npos) << loaded.error;
}

// Headers claiming pictures within the pixel limit over a few bytes of data:
// refused before the picture is allocated, as the data cannot fill it.
TEST(ImageLoadingAnyFormat, HeadersClaimingMoreThanTheirDataAreRefused) {
    const auto tooLittle = [](const Bytes& file) {
        const Loaded loaded = Load(file);
        return !loaded.bitmap && loaded.error.find("too little data") != std::string::npos;
    };
    constexpr uint32_t kSide = 16000;  // 256 megapixels, under the limit
    EXPECT_TRUE(tooLittle(HandMadePng(kSide, kSide, 1, 0, Bytes(100, 0))));

    const Picture small = Uniform(16, 16, {10, 20, 30, 255});
    Bytes jpeg = EncodeJpeg(small, TJPF_RGB, TJSAMP_420, 90, small.Rgb());
    for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = jpeg[i + 7] = kSide >> 8;
            jpeg[i + 6] = jpeg[i + 8] = kSide & 0xFF;
            break;
        }
    }
    EXPECT_TRUE(tooLittle(jpeg));

    Bytes gif = EncodeGif(4, 4, {{0, 0, 4, 4, Bytes(16, 1)}});
    // The screen and the frame: after the header, the 256 colours and ','.
    for (size_t at : {size_t(6), size_t(13 + 768 + 5)}) {
        gif[at] = gif[at + 2] = kSide & 0xFF;
        gif[at + 1] = gif[at + 3] = kSide >> 8;
    }
    EXPECT_TRUE(tooLittle(gif));

    for (uint16_t compression :
         {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS}) {
        TiffPage page = RgbPage(small);
        page.compression = compression;
        Bytes tiff = EncodeTiff({page}, false);
        SetTiffSize(tiff, kSide, kSide);
        EXPECT_TRUE(tooLittle(tiff)) << "compression " << compression;
    }

    // The formats that check their bytes their own way refuse such files too.
    const auto refused = [](const Bytes& file) {
        const Loaded loaded = Load(file);
        return !loaded.bitmap && loaded.error.find("memory") == std::string::npos &&
               !loaded.error.empty();
    };
    EXPECT_TRUE(refused(Text("P5 16000 16000 255\n\x01\x02")));
    EXPECT_TRUE(refused(Text("P4 16000 16000\n\x01")));
    Bytes bmp = EncodeBmp(1, 1, 24, [](int, int) { return Bytes{1, 2, 3}; });
    for (int at : {18, 22})
        bmp[at] = kSide & 0xFF, bmp[at + 1] = kSide >> 8;
    EXPECT_TRUE(refused(bmp));
    Bytes tga = EncodeTga(small, 24, false);
    tga[12] = tga[14] = kSide & 0xFF;
    tga[13] = tga[15] = kSide >> 8;
    EXPECT_TRUE(refused(tga));
    // A lossless WebP header claiming 16383 x 16383 over eight bytes.
    Bytes webp = Text(std::string("RIFF\x19\0\0\0WEBPVP8L\x0d\0\0\0\x2f", 21));
    ASSERT_EQ(webp.size(), 21u);
    const uint32_t sizes = (16383 - 1) | (16383 - 1) << 14;
    for (int i = 0; i < 4; ++i)
        webp.push_back(uint8_t(sizes >> (8 * i)));
    webp.resize(webp.size() + 8, 0);
    EXPECT_TRUE(refused(webp));
    EXPECT_NE(Load(webp).error.find("WebP"), std::string::npos) << Load(webp).error;
}

// The largest ratios the codings allow are still decoded: a picture of one
// colour, as compressed as it gets.
TEST(ImageLoadingAnyFormat, MostCompressedPicturesStillLoad) {
    constexpr int kSide = 3000;
    const Bytes zeros(size_t(kSide) * (kSide + 1), 0);  // filter byte and row, every row
    Loaded png = Load(HandMadePng(kSide, kSide, 8, 0, zeros));
    ASSERT_TRUE(png.bitmap) << png.error;
    EXPECT_EQ(png.image.width, kSide);

    for (uint16_t compression :
         {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS}) {
        const TiffPage page{kSide,
                            kSide,
                            PHOTOMETRIC_MINISBLACK,
                            1,
                            1,
                            0,
                            compression,
                            Bytes(size_t(kSide + 7) / 8 * kSide, 0)};
        const Loaded tiff = Load(EncodeTiff({page}, false));
        ASSERT_TRUE(tiff.bitmap) << tiff.error << " compression " << compression;
        EXPECT_EQ(tiff.image.height, kSide);
    }
    const Picture black = Uniform(kSide, kSide / 4, {0, 0, 0, 255});
    const Loaded jpeg = Load(EncodeJpeg(black, TJPF_RGB, TJSAMP_420, 10, black.Rgb()));
    ASSERT_TRUE(jpeg.bitmap) << jpeg.error;
    Bytes indices(size_t(kSide) * kSide, 3);
    const Loaded gif = Load(EncodeGif(kSide, kSide, {{0, 0, kSide, kSide, indices}}));
    ASSERT_TRUE(gif.bitmap) << gif.error;
}

TEST(ImageLoadingAnyFormat, UnknownAndEmptyInputs) {
    ExpectRefused({}, "empty");
    ExpectRefused(Text("Hello, this is not a picture at all.\n"), "text");
    ExpectRefused(Text("P7\nWIDTH 1\n"), "PAM");
    ExpectRefused(Bytes(64, 0), "zeros");
    std::string error;
    const Decoded bitmap = DecodeBytes(Text("GIF89a"), &error);
    EXPECT_FALSE(bitmap);
    EXPECT_NE(error.find("GIF"), std::string::npos) << error;
    // No error text wanted: still no picture, no crash.
    EXPECT_FALSE(DecodeBytes(Text("nothing")));
}

// Callers that act on why a file gave no picture (the library's errors) get
// the kind beside the text.
TEST(ImageLoadingAnyFormat, FailuresAreClassified) {
    using zeph::imaging::DecodeImageBytes;
    using zeph::imaging::ImageFailure;
    const auto kind = [](const Bytes& file) { return DecodeImageBytes(file).failure; };
    EXPECT_EQ(kind({}), ImageFailure::UnknownFormat);
    EXPECT_EQ(kind(Text("just some text\n")), ImageFailure::UnknownFormat);
    EXPECT_EQ(kind(Text("P5 60000 60000 255\n\x01")), ImageFailure::TooLarge);
    EXPECT_EQ(kind(Text("P5 4 4 255\n\x01")), ImageFailure::Damaged);
    const Picture small = Uniform(4, 4, {10, 20, 30, 255});
    Bytes png = EncodePng(small, PNG_FORMAT_RGBA, small.rgba.data());
    png.resize(png.size() / 2);
    EXPECT_EQ(kind(png), ImageFailure::Damaged);

    const zeph::imaging::DecodeResult good =
        DecodeImageBytes(Text("P6 2 1 255\n\x01\x02\x03"
                              "abc"));
    ASSERT_TRUE(good.image) << good.error;
    EXPECT_EQ(good.failure, ImageFailure::None);
    EXPECT_EQ(good.image->width, 2);
    EXPECT_EQ(good.image->RowFromTop(0)[0], 3);  // blue of the first pixel

    const TempFile missing("missing.png");
    const zeph::imaging::DecodeResult none = zeph::imaging::DecodeImageFile(missing.Path());
    EXPECT_EQ(none.failure, ImageFailure::Unreadable);
    EXPECT_NE(none.error.find("No such file"), std::string::npos) << none.error;
}

// ---------------------------------------------------------------------------
// Pages: every page or frame in turn, one held at a time

using zeph::imaging::ImagePages;
using zeph::imaging::LoadSettings;

LoadSettings AllPages() {
    LoadSettings settings;
    settings.allPages = true;
    return settings;
}

// Every page's picture, as the renderer's images.
std::vector<Image> EveryPage(const Bytes& file, std::string* error = nullptr) {
    ImagePages pages = ImagePages::OfBytes(file, AllPages());
    std::vector<Image> images;
    for (;;) {
        zeph::imaging::DecodeResult page = pages.Next();
        if (!page.image) {
            if (error) *error = page.error;
            EXPECT_EQ(page.End(), page.error.empty());
            return images;
        }
        EXPECT_EQ(pages.Page(), int(images.size()) + 1);
        images.push_back(ImageOf(*page.image));
    }
}

TEST(ImagePages, EveryTiffPageInOrderOrTheFirstAlone) {
    const Picture colour = ColourSymbol(false);
    const Picture white = Uniform(colour.width + 3, colour.height - 2, {255, 255, 255, 255});
    const Picture grey = GreySymbol();
    const Bytes file = EncodeTiff({RgbPage(colour), RgbPage(white), RgbPage(grey)}, true);
    const std::vector<Image> pages = EveryPage(file);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(Compare(pages[0], colour).largest, 0);
    ASSERT_EQ(pages[1].width, white.width);
    EXPECT_EQ(Compare(pages[1], white).largest, 0);
    EXPECT_EQ(Compare(pages[2], grey).largest, 0);
    // Unless every page is asked for, the first is the last.
    ImagePages first = ImagePages::OfBytes(file);
    EXPECT_TRUE(first.Next().image);
    EXPECT_TRUE(first.Next().End());
    EXPECT_EQ(std::string(first.FormatName()), "TIFF");
}

TEST(ImagePages, ADamagedLaterPageIsAFailureAfterThePagesBeforeIt) {
    const Picture colour = ColourSymbol(false);
    Bytes file = EncodeTiff({RgbPage(colour), RgbPage(colour)}, false);
    file.resize(file.size() - 40);  // into the last directory
    std::string error;
    const std::vector<Image> pages = EveryPage(file, &error);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NE(error.find("TIFF"), std::string::npos) << error;
}

// A thousand pages read one after the other: at every page the process's
// budget holds that page's pixels alone, so memory does not grow with pages.
TEST(ImagePages, AThousandPagesHoldOnePageAtATime) {
    const Picture page = Uniform(300, 200, {90, 90, 90, 255});
    TiffPage grey{page.width, page.height, PHOTOMETRIC_MINISBLACK,    1,
                  8,          0,           COMPRESSION_ADOBE_DEFLATE, page.Channels({0})};
    const Bytes file = EncodeTiff(std::vector<TiffPage>(1000, grey), false);
    const zeph::imaging::PixelBudget& budget = zeph::imaging::DecodedPixelBudget();
    const uint64_t before = budget.Held();
    ImagePages pages = ImagePages::OfBytes(file, AllPages());
    uint64_t most = 0;
    int count = 0;
    for (zeph::imaging::DecodeResult p = pages.Next(); p.image; p = pages.Next()) {
        most = std::max(most, budget.Held() - before);
        ++count;
    }
    EXPECT_EQ(count, 1000);
    EXPECT_EQ(most, uint64_t(page.width) * page.height);
    EXPECT_EQ(budget.Held(), before);
}

TEST(ImagePages, GifFramesAreComposedAsAViewerShowsThem) {
    // Frame 1 fills the screen; frame 2, partly transparent, is drawn over it
    // and asks to be cleared to the background; frame 3 is drawn on what is
    // left and asks to be undone; frame 4 then sees frame 2's area cleared.
    constexpr int kWidth = 12, kHeight = 8;
    const auto gcb = [](int disposal, int transparent) {
        return GraphicsControlBlock{disposal, false, 10, transparent};
    };
    struct Step {
        GifFrame frame;
        GraphicsControlBlock control;
    };
    const std::vector<Step> steps = {
        {{0, 0, kWidth, kHeight, Bytes(kWidth * kHeight, 10)}, gcb(DISPOSE_DO_NOT, -1)},
        {{2, 2, 4, 3, Bytes{20, 7, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20}},
         gcb(DISPOSE_BACKGROUND, 7)},
        {{6, 0, 3, 2, Bytes(6, 30)}, gcb(DISPOSE_PREVIOUS, -1)},
        {{0, 6, 1, 1, Bytes{40}}, gcb(DISPOSE_DO_NOT, -1)},
    };
    // The giflib writer, with each frame's own control block.
    Bytes file;
    int code = 0;
    GifFileType* gif = EGifOpen(&file, WriteGifBytes, &code);
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = GifColour(i);
    ColorMapObject* map = GifMakeMapObject(256, colours);
    EGifSetGifVersion(gif, true);
    ASSERT_EQ(EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map), GIF_OK);
    for (const Step& step : steps) {
        GifByteType extension[4];
        EGifGCBToExtension(&step.control, extension);
        ASSERT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension), GIF_OK);
        const GifFrame& f = step.frame;
        ASSERT_EQ(EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, false, nullptr), GIF_OK);
        for (int row = 0; row < f.height; ++row) {
            Bytes line(f.indices.begin() + row * f.width, f.indices.begin() + (row + 1) * f.width);
            ASSERT_EQ(EGifPutLine(gif, line.data(), f.width), GIF_OK);
        }
    }
    ASSERT_EQ(EGifCloseFile(gif, &code), GIF_OK);
    GifFreeMapObject(map);

    const std::vector<Image> frames = EveryPage(file);
    ASSERT_EQ(frames.size(), 4u);
    const auto red = [&](int frame, int x, int y) { return int(frames[frame].At(x, y)[2]); };
    EXPECT_EQ(red(0, 5, 5), GifColour(10).Red);
    EXPECT_EQ(red(1, 2, 2), GifColour(20).Red);
    EXPECT_EQ(red(1, 3, 2), GifColour(10).Red) << "transparent: frame 1 shows through";
    EXPECT_EQ(red(2, 2, 2), 0) << "frame 2 cleared to the black background";
    EXPECT_EQ(red(2, 7, 1), GifColour(30).Red);
    EXPECT_EQ(red(3, 7, 1), GifColour(10).Red) << "frame 3 undone";
    EXPECT_EQ(red(3, 0, 6), GifColour(40).Red);
    EXPECT_EQ(red(3, 3, 3), 0);
    // The first frame alone, as a single page.
    const Loaded first = Load(file);
    ASSERT_TRUE(first.bitmap) << first.error;
    EXPECT_EQ(first.image.At(3, 2)[2], GifColour(10).Red);
}

TEST(ImagePages, WebpAnimationFramesOnTheirCanvas) {
    const Picture alpha = ColourSymbol(true);
    const Picture white = Uniform(alpha.width, alpha.height, {255, 255, 255, 255});
    const Picture grey = GreySymbol();
    const std::vector<Image> frames = EveryPage(EncodeWebpAnimation({alpha, white, grey}));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(Compare(frames[0], alpha).largest, 0);
    EXPECT_EQ(Compare(frames[1], white).largest, 0);
    EXPECT_EQ(Compare(frames[2], grey).largest, 0);
}

TEST(ImagePages, PhonePhotosDecodeCloseToTheirSource) {
    const Picture colour = Opaque(ColourSymbol(false));
    for (const auto coding : {zeph::test::PhoneCoding::Hevc, zeph::test::PhoneCoding::Av1}) {
        SCOPED_TRACE(coding == zeph::test::PhoneCoding::Hevc ? "HEIC" : "AVIF");
        const Bytes file = EncodeHeif(GreySymbol(), coding);
        ExpectLoads(file, GreySymbol(), 60, 3.0);
        ImagePages pages = ImagePages::OfBytes(file);
        EXPECT_TRUE(pages.Next().image);
        EXPECT_EQ(std::string(pages.FormatName()),
                  coding == zeph::test::PhoneCoding::Hevc ? "HEIC" : "AVIF");
        // A header alone, and the file cut short, name the format.
        for (const size_t keep : {size_t(40), file.size() / 2}) {
            const Loaded cut = Load(std::span<const uint8_t>(file.data(), keep));
            EXPECT_FALSE(cut.bitmap);
            EXPECT_EQ(cut.error.rfind(std::string(pages.FormatName()) + ": ", 0), 0u) << cut.error;
        }
    }
}

TEST(FormatTable, EveryFormatOnceInSniffOrderAndCallersFormatsBeforeGuesses) {
    static const zeph::imaging::ImageFormat kOwn = {
        "OWN", [](std::span<const uint8_t> b) { return b.size() >= 3 && b[0] == 'O'; },
        [](std::span<const uint8_t>, const zeph::imaging::DecodeSettings&,
           std::string& error) -> std::unique_ptr<zeph::imaging::PageDecoder> {
            error = "OWN: not really";
            return nullptr;
        }};
    const std::vector<const zeph::imaging::ImageFormat*> more = {&kOwn};
    const auto table = zeph::imaging::FormatTable(more);
    std::vector<std::string> names;
    for (const auto* f : table)
        names.push_back(std::string(f->name));
    EXPECT_EQ(names, (std::vector<std::string>{"JPEG", "PNG", "GIF", "TIFF", "WebP", "HEIC", "AVIF",
                                               "BMP", "PNM", "OWN", "TGA"}));
    // A TGA header whose first byte is the caller's signature: the signature
    // is tried first.
    Bytes tga = EncodeTga(Uniform(2, 2, {1, 2, 3, 255}), 24, false);
    tga[0] = 'O';
    EXPECT_EQ(zeph::imaging::FindFormat(tga, more), &kOwn);
    EXPECT_EQ(std::string(zeph::imaging::FindFormat(tga)->name), "TGA");
    LoadSettings settings;
    settings.moreFormats = more;
    zeph::imaging::DecodeResult own = ImagePages::OfBytes(tga, settings).Next();
    EXPECT_FALSE(own.image);
    EXPECT_EQ(own.error, "OWN: not really");
    EXPECT_EQ(own.failure, zeph::imaging::ImageFailure::Damaged);
}

// ---------------------------------------------------------------------------
// Files

TEST(ImageLoadingFiles, FilesLoadByContentNotName) {
    const Picture colour = ColourSymbol(false);
    const TempFile file("picture.jpg");  // a PNG in fact
    const Bytes rgb = colour.Rgb();
    file.Write(EncodePng(colour, PNG_FORMAT_RGB, rgb.data()));
    std::string error;
    const Decoded bitmap = DecodeFile(file.Path(), &error);
    ASSERT_TRUE(bitmap) << error;
    EXPECT_EQ(Compare(ImageOf(*bitmap), colour).largest, 0);

    const TempFile text("notes.jpg");
    text.Write(Text("just some text\n"));
    const Decoded none = DecodeFile(text.Path(), &error);
    EXPECT_FALSE(none);
    EXPECT_FALSE(error.empty());

    const TempFile empty("empty.png");
    empty.Write({});
    EXPECT_FALSE(DecodeFile(empty.Path(), &error));
    EXPECT_FALSE(error.empty());
}

TEST(ImageLoadingFiles, FoldersAndMissingFilesAreRefused) {
    const TempFile file("missing.png");
    std::string error;
    EXPECT_FALSE(DecodeFile(file.Path(), &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(DecodeFile(file.Folder(), &error));
    EXPECT_NE(error.find("directory"), std::string::npos) << error;

    // A FIFO with no writer is refused at once rather than waited on.
    ASSERT_EQ(mkfifo(file.Path().c_str(), 0600), 0);
    error.clear();
    EXPECT_FALSE(DecodeFile(file.Path(), &error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    fs::remove(file.Path());
}

// ---------------------------------------------------------------------------
// Tiny files of every kind load; they are also the seeds of the image fuzz
// target: ZEPH_WRITE_IMAGE_SEEDS=<folder> writes them there.

TEST(ImageLoadingSeeds, TinyFilesOfEveryKindLoad) {
    const char* folder = std::getenv("ZEPH_WRITE_IMAGE_SEEDS");
    Picture picture = ColourSymbol(true);
    Picture tiny{12, 8, {}};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 12; ++x) {
            const uint8_t* p = picture.At(x * 7, y * 3);
            tiny.rgba.insert(tiny.rgba.end(), p, p + 4);
        }
    }
    std::vector<Sample> samples = Samples(Opaque(tiny));
    samples.push_back({"png-translucent", EncodePng(tiny, PNG_FORMAT_RGBA, tiny.rgba.data())});
    Bytes map, indices, rows;
    for (int i = 0; i < 16; ++i)
        map.insert(map.end(), {uint8_t(i * 16), 0, 255, uint8_t(i * 17)});
    for (size_t i = 0; i < tiny.rgba.size(); i += 4)
        indices.push_back(tiny.rgba[i] >> 4);
    samples.push_back(
        {"png-palette", EncodePng(tiny, PNG_FORMAT_RGBA_COLORMAP, indices.data(), map.data(), 16)});
    for (int y = 0; y < tiny.height; ++y) {
        rows.push_back(0);
        for (int x = 0; x < tiny.width; ++x)
            rows.insert(rows.end(), {tiny.At(x, y)[0], 0x55});
    }
    samples.push_back(
        {"png-16", HandMadePng(uint32_t(tiny.width), uint32_t(tiny.height), 16, 0, rows)});
    samples.push_back({"webp-anim", EncodeWebpAnimation({tiny, Opaque(tiny)})});
    samples.push_back({"tga-alpha", EncodeTga(tiny, 32, true)});
    samples.push_back(
        {"gif-interlaced", EncodeGif(14, 9, {{1, 1, 12, 8, tiny.Channels({1}), 5, true}})});
    // Files of several pages, for every page's code.
    samples.push_back({"gif-frames", EncodeGif(14, 9,
                                               {{1, 1, 12, 8, tiny.Channels({1}), 5},
                                                {0, 0, 6, 4, Bytes(24, 9), 9},
                                                {3, 2, 8, 5, Bytes(40, 3), -1}})});
    samples.push_back(
        {"tiff-pages", EncodeTiff({RgbPage(Opaque(tiny)), RgbPage(Opaque(tiny))}, false)});
    for (const Sample& sample : samples) {
        ASSERT_LT(sample.file.size(), 2048u) << sample.name;
        std::string error;
        EXPECT_TRUE(DecodeBytes(sample.file, &error)) << sample.name << ": " << error;
        EXPECT_GE(EveryPage(sample.file).size(), 1u) << sample.name;
        if (!folder) continue;
        std::ofstream out(fs::path(folder) / sample.name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(sample.file.data()),
                  std::streamsize(sample.file.size()));
    }
    // PDF pages are ZephScan's own format, read where the fuzz target has it.
    if (folder) {
        const Bytes pdf = zeph::test::PdfOfPages({ImageOfPicture(tiny), ImageOfPicture(tiny)}, 20);
        std::ofstream(fs::path(folder) / "pdf-pages", std::ios::binary)
            .write(reinterpret_cast<const char*>(pdf.data()), std::streamsize(pdf.size()));
    }
}

// ---------------------------------------------------------------------------
// Straight to grey: the rows a decoder hands a sink give the raster its
// 24-bit bitmap gives.

struct GreyPage {
    int32_t width = 0, height = 0;
    std::vector<int32_t> values;
    bool operator==(const GreyPage&) const = default;
};

zeph::imaging::GreySink SinkInto(GreyPage& page) {
    return zeph::imaging::GreySink([&page](int32_t width, int32_t height) {
        page.width = width;
        page.height = height;
        page.values.assign(size_t(width) * size_t(height), -1);
        return page.values.data();
    });
}

// B + 6 G + 3 R of a bitmap's pixels, top row first: the engine's formula.
GreyPage GreyOfBitmap(const DecodedImage& bitmap) {
    GreyPage page{bitmap.width, bitmap.height, {}};
    for (int32_t y = 0; y < bitmap.height; ++y) {
        const uint8_t* row = bitmap.RowFromTop(y);
        for (int32_t x = 0; x < bitmap.width; ++x, row += 3)
            page.values.push_back(row[0] + 6 * row[1] + 3 * row[2]);
    }
    return page;
}

TEST(StraightToGrey, EveryFormatAndPageGivesItsBitmapsRaster) {
    std::vector<Sample> samples = Samples(ColourSymbol(false));
    const Picture alpha = ColourSymbol(true);
    samples.push_back({"png-alpha", EncodePng(alpha, PNG_FORMAT_RGBA, alpha.rgba.data())});
    const Bytes ya = alpha.Channels({0, 3});
    samples.push_back({"png-grey-alpha", EncodePng(alpha, PNG_FORMAT_GA, ya.data())});
    samples.push_back(
        {"gif-frames",
         EncodeGif(14, 9, {{1, 1, 12, 8, Bytes(96, 1), 5}, {3, 2, 8, 5, Bytes(40, 3), -1}})});
    zeph::imaging::LoadSettings every;
    every.allPages = true;
    for (const Sample& sample : samples) {
        auto bitmaps = zeph::imaging::ImagePages::OfBytes(sample.file, every);
        auto rows = zeph::imaging::ImagePages::OfBytes(sample.file, every);
        for (int page = 1;; ++page) {
            zeph::imaging::DecodeResult bitmap = bitmaps.Next();
            GreyPage grey;
            zeph::imaging::GreySink sink = SinkInto(grey);
            const zeph::imaging::PageResult result = rows.NextInto(sink);
            ASSERT_EQ(result.End(), bitmap.End()) << sample.name << " page " << page;
            if (bitmap.End()) break;
            ASSERT_TRUE(bitmap.image && result.page) << sample.name << ": " << result.error;
            EXPECT_EQ(grey, GreyOfBitmap(*bitmap.image)) << sample.name << " page " << page;
        }
    }
}

// A PNG with the given rows (each with its filter byte), optionally a
// palette and a gamma chunk, its data split over `parts` chunks.
Bytes PngOf(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
            const Bytes& filteredRows, const Bytes& palette, std::optional<uint32_t> gamma,
            int parts) {
    Bytes whole = HandMadePng(width, height, depth, colourType, filteredRows);
    // Signature and header kept; the data chunk taken out and put back in parts.
    Bytes png(whole.begin(), whole.begin() + 33);
    const uint32_t dataLength = uint32_t(whole[33]) << 24 | uint32_t(whole[34]) << 16 |
                                uint32_t(whole[35]) << 8 | whole[36];
    const Bytes data(whole.begin() + 41, whole.begin() + 41 + dataLength);
    if (gamma) {
        AppendChunk(
            png, "gAMA",
            {uint8_t(*gamma >> 24), uint8_t(*gamma >> 16), uint8_t(*gamma >> 8), uint8_t(*gamma)});
    }
    if (!palette.empty()) AppendChunk(png, "PLTE", palette);
    const size_t step = data.size() / size_t(parts) + 1;
    for (size_t at = 0; at < data.size(); at += step)
        AppendChunk(png, "IDAT",
                    Bytes(data.begin() + at, data.begin() + std::min(data.size(), at + step)));
    AppendChunk(png, "IEND", {});
    return png;
}

GreyPage GreyOfLibpng(const Bytes& png) {
    std::string error;
    const auto bitmap = zeph::imaging::detail::ReadPngWithLibpng(png, error);
    EXPECT_TRUE(bitmap) << error;
    return bitmap ? GreyOfBitmap(*bitmap) : GreyPage{};
}

TEST(StraightToGrey, PlainPngGivesLibpngsValuesForEveryKindDepthAndFilter) {
    using zeph::imaging::detail::PlainPng;
    struct Kind {
        uint8_t colourType, depth, channels;
    };
    const Kind kinds[] = {{0, 1, 1}, {0, 2, 1}, {0, 4, 1}, {0, 8, 1}, {2, 8, 3}, {3, 1, 1},
                          {3, 2, 1}, {3, 4, 1}, {3, 8, 1}, {4, 8, 2}, {6, 8, 4}};
    std::mt19937 random(11);
    for (const Kind& kind : kinds) {
        // Odd sizes: rows ending inside a byte, pixels left of the first.
        const uint32_t width = 37, height = 11;
        const size_t rowBytes = (width * kind.channels * kind.depth + 7) / 8;
        Bytes rows;
        for (uint32_t y = 0; y < height; ++y) {
            rows.push_back(uint8_t(y % 5));  // every filter, Paeth and average twice
            for (size_t i = 0; i < rowBytes; ++i)
                rows.push_back(uint8_t(random()));
        }
        // A palette shorter than the indices reach: the missing entries are black.
        Bytes palette;
        if (kind.colourType == 3) {
            const size_t entries = std::max<size_t>(1, (size_t{1} << kind.depth) * 3 / 4);
            for (size_t i = 0; i < entries * 3; ++i)
                palette.push_back(uint8_t(random()));
        }
        for (const auto& [gamma, parts] :
             {std::pair<std::optional<uint32_t>, int>{{}, 1}, {45455u, 3}}) {
            const Bytes png =
                PngOf(width, height, kind.depth, kind.colourType, rows, palette, gamma, parts);
            const std::string name = "colour type " + std::to_string(kind.colourType) + ", depth " +
                                     std::to_string(kind.depth);
            GreyPage grey;
            zeph::imaging::GreySink sink = SinkInto(grey);
            std::string error;
            ASSERT_EQ(zeph::imaging::detail::ReadPlainPng(png, sink, error), PlainPng::Decoded)
                << name;
            EXPECT_EQ(grey, GreyOfLibpng(png)) << name;
            // The bitmap the loader makes of it is libpng's too.
            const Decoded bitmap = DecodeBytes(png);
            ASSERT_TRUE(bitmap) << name;
            EXPECT_EQ(GreyOfBitmap(*bitmap), grey) << name;
        }
    }
}

TEST(StraightToGrey, FilesThatAreNotPlainAreLeftToLibpng) {
    using zeph::imaging::detail::PlainPng;
    const uint32_t width = 9, height = 4;
    Bytes rows;
    for (uint32_t y = 0; y < height; ++y) {
        rows.push_back(4);
        for (uint32_t x = 0; x < width; ++x)
            rows.push_back(uint8_t(x * 29 + y * 7));
    }
    const Bytes plain = PngOf(width, height, 8, 0, rows, {}, {}, 1);
    Bytes transparent = Bytes(plain.begin(), plain.end() - 12);  // before IEND
    AppendChunk(transparent, "tRNS", {0, 29});
    AppendChunk(transparent, "IEND", {});
    Bytes badChecksum = plain;
    badChecksum[plain.size() - 17] ^= 1;  // the data chunk's checksum
    Bytes unknownCritical = Bytes(plain.begin(), plain.end() - 12);
    AppendChunk(unknownCritical, "ZZZZ", {1});
    AppendChunk(unknownCritical, "IEND", {});
    Bytes sixteenBit;
    for (uint32_t y = 0; y < height; ++y) {
        sixteenBit.push_back(0);
        for (uint32_t x = 0; x < 2 * width; ++x)
            sixteenBit.push_back(uint8_t(x * 13));
    }
    Bytes extraData = rows;
    extraData.push_back(0);  // more than the rows hold
    const std::pair<const char*, Bytes> cases[] = {
        {"transparency", transparent},
        {"linear gamma", PngOf(width, height, 8, 0, rows, {}, 100000u, 1)},
        {"damaged checksum", badChecksum},
        {"unknown critical chunk", unknownCritical},
        {"16-bit", HandMadePng(width, height, 16, 0, sixteenBit)},
        {"data past the rows", HandMadePng(width, height, 8, 0, extraData)},
        {"data short of the rows",
         HandMadePng(width, height, 8, 0, Bytes(rows.begin(), rows.end() - 3))},
    };
    for (const auto& [name, png] : cases) {
        GreyPage grey;
        zeph::imaging::GreySink sink = SinkInto(grey);
        std::string error;
        EXPECT_EQ(zeph::imaging::detail::ReadPlainPng(png, sink, error), PlainPng::NotPlain)
            << name;
        EXPECT_EQ(grey.width, 0) << name << ": the sink was begun";
        // The loader still gives what libpng gives: the picture, or its refusal.
        std::string libpngError, loaderError;
        const bool libpng = zeph::imaging::detail::ReadPngWithLibpng(png, libpngError).has_value();
        EXPECT_EQ(DecodeBytes(png, &loaderError).has_value(), libpng) << name;
        EXPECT_EQ(loaderError, libpngError) << name;
    }
}

// ---------------------------------------------------------------------------
// Grey pages kept grey: one byte a pixel where the file holds greys, the
// 24-bit picture of Next for every other file

// The page as Next gives it and as NextKeepingGrey does.
std::pair<Decoded, Decoded> BothWays(const Bytes& file) {
    zeph::imaging::DecodeResult wide = ImagePages::OfBytes(file).Next();
    zeph::imaging::DecodeResult kept = ImagePages::OfBytes(file).NextKeepingGrey();
    EXPECT_EQ(kept.failure, wide.failure);
    EXPECT_EQ(kept.error, wide.error);
    return {std::move(wide.image), std::move(kept.image)};
}

// Every pixel of `kept` as `wide` has it: a grey the same in all three of
// its channels, a colour page byte for byte.
void ExpectSamePixels(const DecodedImage& wide, const DecodedImage& kept) {
    ASSERT_EQ(kept.width, wide.width);
    ASSERT_EQ(kept.height, wide.height);
    ASSERT_EQ(wide.channels, 3);
    const size_t width = static_cast<size_t>(wide.width);
    EXPECT_EQ(kept.stride, (width * static_cast<size_t>(kept.channels) + 3) & ~size_t{3});
    for (int32_t y = 0; y < wide.height; ++y) {
        const uint8_t* w = wide.RowFromTop(y);
        const uint8_t* k = kept.RowFromTop(y);
        for (size_t x = 0; x < width; ++x) {
            for (size_t c = 0; c < 3; ++c) {
                const uint8_t value = kept.channels == 1 ? k[x] : k[3 * x + c];
                ASSERT_EQ(value, w[3 * x + c]) << "pixel " << x << ", " << y << " channel " << c;
            }
        }
    }
}

TEST(GreyPages, GreyFilesStayGreyAndColourFilesGiveTheirPicture) {
    const Picture grey = GreySymbol();
    const Picture colour = ColourSymbol(false);
    const Picture alpha = ColourSymbol(true);
    Picture greyAlpha = grey;
    for (int y = 0; y < grey.height; ++y) {
        for (int x = 0; x < grey.width; ++x)
            greyAlpha.At(x, y)[3] = uint8_t(x * 13);
    }
    const Bytes y = grey.Channels({0});
    const Bytes ya = greyAlpha.Channels({0, 3});
    const Bytes rgb = colour.Rgb();
    const std::vector<std::pair<const char*, Bytes>> grey1 = {
        {"grey PNG", EncodePng(grey, PNG_FORMAT_GRAY, y.data())},
        {"grey and alpha PNG", EncodePng(greyAlpha, PNG_FORMAT_GA, ya.data())},
        {"grey JPEG", EncodeJpeg(grey, TJPF_GRAY, TJSAMP_GRAY, 95, y)},
        {"grey TIFF", EncodeTiff({{grey.width, grey.height, PHOTOMETRIC_MINISBLACK, 1, 8, 0,
                                   COMPRESSION_LZW, y}},
                                 true)},
        {"bilevel TIFF, white is zero",
         EncodeTiff({{grey.width, grey.height, PHOTOMETRIC_MINISWHITE, 1, 1, 0, COMPRESSION_NONE,
                      Bytes(((size_t(grey.width) + 7) / 8) * grey.height, 0x5A)}},
                    false)},
    };
    const std::vector<std::pair<const char*, Bytes>> colour3 = {
        {"RGB PNG", EncodePng(colour, PNG_FORMAT_RGB, rgb.data())},
        {"RGBA PNG", EncodePng(alpha, PNG_FORMAT_RGBA, alpha.rgba.data())},
        {"colour JPEG", EncodeJpeg(colour, TJPF_RGB, TJSAMP_420, 95, rgb)},
        // A grey picture in a colour file stays a colour page.
        {"grey in a colour JPEG", EncodeJpeg(grey, TJPF_RGB, TJSAMP_444, 95, grey.Rgb())},
        {"RGB TIFF", EncodeTiff({RgbPage(grey)}, false)},
        {"grey and alpha TIFF",
         EncodeTiff({{grey.width, grey.height, PHOTOMETRIC_MINISBLACK, 2, 8, EXTRASAMPLE_UNASSALPHA,
                      COMPRESSION_LZW, greyAlpha.Channels({0, 3})}},
                    false)},
    };
    for (const auto& [files, channels] : {std::pair{&grey1, 1}, std::pair{&colour3, 3}}) {
        for (const auto& [name, file] : *files) {
            const auto [wide, kept] = BothWays(file);
            ASSERT_TRUE(wide && kept) << name;
            EXPECT_EQ(kept->channels, channels) << name;
            SCOPED_TRACE(name);
            ExpectSamePixels(*wide, *kept);
        }
    }
    // A file that gives no page fails the same way.
    Bytes damaged = grey1[0].second;
    damaged.resize(damaged.size() / 2);
    const auto [wide, kept] = BothWays(damaged);
    EXPECT_FALSE(wide || kept);
}

TEST(GreyPages, EveryPageOfAFileKeptGreyOrNotByItself) {
    const Picture grey = GreySymbol();
    const Picture colour = ColourSymbol(false);
    const Bytes file = EncodeTiff({RgbPage(colour),
                                   {grey.width, grey.height, PHOTOMETRIC_MINISBLACK, 1, 8, 0,
                                    COMPRESSION_LZW, grey.Channels({0})},
                                   RgbPage(grey)},
                                  false);
    ImagePages wide = ImagePages::OfBytes(file, AllPages());
    ImagePages kept = ImagePages::OfBytes(file, AllPages());
    for (const int32_t channels : {3, 1, 3}) {
        zeph::imaging::DecodeResult w = wide.Next();
        zeph::imaging::DecodeResult k = kept.NextKeepingGrey();
        ASSERT_TRUE(w.image && k.image) << k.error;
        EXPECT_EQ(kept.Page(), wide.Page());
        EXPECT_EQ(k.image->channels, channels) << "page " << kept.Page();
        ExpectSamePixels(*w.image, *k.image);
    }
    EXPECT_TRUE(kept.NextKeepingGrey().End());
}

TEST(GreyPages, ColourRowsAfterGreyOnesWidenThePage) {
    // A decoder's first rows fix the page as grey; colour rows after them
    // make it a 24-bit page with the grey rows widened in place.
    constexpr int32_t kWidth = 7;
    constexpr int32_t kHeight = 5;
    zeph::imaging::PageSink sink;
    std::string error;
    ASSERT_TRUE(sink.Begin(kWidth, kHeight, error)) << error;
    Bytes greys(kWidth * 3);
    for (size_t i = 0; i < greys.size(); ++i)
        greys[i] = uint8_t(10 + 7 * i);
    Bytes rgb(kWidth * 3 * 2);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = uint8_t(200 - 3 * i);
    sink.Rows(zeph::imaging::detail::Layout::Grey, greys.data(), kWidth, 0, 3);
    sink.Rows(zeph::imaging::detail::Layout::Rgb, rgb.data(), kWidth * 3, 3, 2);
    const std::optional<DecodedImage> page = sink.Take();
    ASSERT_TRUE(page);
    ASSERT_EQ(page->channels, 3);
    for (int32_t y = 0; y < kHeight; ++y) {
        const uint8_t* row = page->RowFromTop(y);
        for (int32_t x = 0; x < kWidth; ++x) {
            for (int32_t c = 0; c < 3; ++c) {
                const uint8_t expected = y < 3
                                             ? greys[size_t(y * kWidth + x)]
                                             : rgb[size_t((y - 3) * kWidth * 3 + x * 3 + (2 - c))];
                ASSERT_EQ(row[3 * x + c], expected) << x << ", " << y << " channel " << c;
            }
        }
    }
    EXPECT_FALSE(sink.Take()) << "a page is taken once";
}

}  // namespace
