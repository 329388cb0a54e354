#include "bench/soak/soak_files.h"

#include "tests/support/document_files.h"

#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <webp/encode.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace zeph::bench {
namespace {

using Bytes = std::vector<uint8_t>;

void Le(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

size_t Channels(const Pixels& p) {
    return p.grey ? 1 : 3;
}

Bytes Jpeg(const Pixels& p) {
    tjhandle encoder = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    Bytes bytes;
    if (tjCompress2(encoder, p.data.data(), p.width, 0, p.height, p.grey ? TJPF_GRAY : TJPF_RGB,
                    &out, &size, p.grey ? TJSAMP_GRAY : TJSAMP_420, 85, 0) == 0) {
        bytes.assign(out, out + size);
    }
    tjFree(out);
    tjDestroy(encoder);
    return bytes;
}

Bytes Png(const Pixels& p) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(p.width);
    image.height = uint32_t(p.height);
    image.format = p.grey ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, p.data.data(), 0, nullptr)) return {};
    Bytes bytes(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, p.data.data(), 0, nullptr)) {
        return {};
    }
    bytes.resize(size);
    return bytes;
}

int AppendGif(GifFileType* gif, const GifByteType* data, int count) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + count);
    return count;
}

// Grey levels as palette indices; colour pictures by their green.
Bytes Gif(const Pixels& p) {
    if (p.width > 65535 || p.height > 65535) return {};
    Bytes bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, AppendGif, &error);
    if (!gif) return {};
    GifColorType greys[256];
    for (int i = 0; i < 256; ++i)
        greys[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
    ColorMapObject* map = GifMakeMapObject(256, greys);
    bool ok = EGifPutScreenDesc(gif, p.width, p.height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, p.width, p.height, false, nullptr) == GIF_OK;
    Bytes line(size_t(p.width));
    const size_t channels = Channels(p);
    for (int y = 0; ok && y < p.height; ++y) {
        const uint8_t* row = p.data.data() + size_t(y) * p.width * channels;
        for (int x = 0; x < p.width; ++x)
            line[x] = row[x * channels + (channels - 1) / 2];
        ok = EGifPutLine(gif, line.data(), p.width) == GIF_OK;
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return ok ? bytes : Bytes{};
}

// Through a temporary file: the library writes by seeking.
Bytes Tiff(const Pixels& p) {
    char path[] = "/tmp/zeph-soak-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    Bytes bytes;
    if (TIFF* tiff = TIFFOpen(path, "w")) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(p.width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(p.height));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(Channels(p)));
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, p.grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION,
                     p.grey ? COMPRESSION_LZW : COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(64));
        const size_t row = size_t(p.width) * Channels(p);
        bool ok = true;
        for (int y = 0; ok && y < p.height; ++y) {
            ok = TIFFWriteScanline(tiff, const_cast<uint8_t*>(p.data.data() + y * row),
                                   uint32_t(y)) >= 0;
        }
        TIFFClose(tiff);
        if (ok) {
            std::ifstream in(path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
    }
    unlink(path);
    return bytes;
}

Bytes Webp(const Pixels& p) {
    if (p.width > WEBP_MAX_DIMENSION || p.height > WEBP_MAX_DIMENSION) return {};
    Bytes rgb;
    const uint8_t* source = p.data.data();
    if (p.grey) {
        rgb.resize(p.data.size() * 3);
        for (size_t i = 0; i < p.data.size(); ++i)
            rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = p.data[i];
        source = rgb.data();
    }
    uint8_t* out = nullptr;
    const size_t size = WebPEncodeRGB(source, p.width, p.height, p.width * 3, 75, &out);
    Bytes bytes(out, out + size);
    WebPFree(out);
    return bytes;
}

// Rows bottom first, padded to 4 bytes; grey through a palette of greys.
Bytes Bmp(const Pixels& p) {
    const size_t channels = Channels(p);
    const uint32_t row = (uint32_t(p.width) * channels + 3) & ~3u;
    const uint32_t palette = p.grey ? 1024 : 0;
    const uint32_t offset = 54 + palette;
    Bytes bytes = {'B', 'M'};
    Le(bytes, offset + row * uint32_t(p.height), 4);
    Le(bytes, 0, 4);
    Le(bytes, offset, 4);
    Le(bytes, 40, 4);
    Le(bytes, uint32_t(p.width), 4);
    Le(bytes, uint32_t(p.height), 4);
    Le(bytes, 1, 2);
    Le(bytes, uint32_t(channels * 8), 2);
    for (uint32_t v : {0u, row * uint32_t(p.height), 2835u, 2835u, p.grey ? 256u : 0u, 0u})
        Le(bytes, v, 4);
    for (uint32_t i = 0; i < palette / 4; ++i)
        Le(bytes, i | i << 8 | i << 16, 4);
    bytes.reserve(offset + size_t(row) * p.height);
    for (int y = p.height - 1; y >= 0; --y) {
        const uint8_t* source = p.data.data() + size_t(y) * p.width * channels;
        const size_t start = bytes.size();
        for (int x = 0; x < p.width; ++x) {
            if (p.grey) {
                bytes.push_back(source[x]);
            } else {
                bytes.insert(bytes.end(), {source[3 * x + 2], source[3 * x + 1], source[3 * x]});
            }
        }
        bytes.resize(start + row, 0);
    }
    return bytes;
}

Bytes Pnm(const Pixels& p) {
    const std::string header = std::string(p.grey ? "P5" : "P6") + " " + std::to_string(p.width) +
                               " " + std::to_string(p.height) + " 255\n";
    Bytes bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), p.data.begin(), p.data.end());
    return bytes;
}

// Uncompressed, top row first.
Bytes Tga(const Pixels& p) {
    if (p.width > 65535 || p.height > 65535) return {};
    Bytes bytes = {0, 0, uint8_t(p.grey ? 3 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Le(bytes, uint32_t(p.width), 2);
    Le(bytes, uint32_t(p.height), 2);
    bytes.push_back(uint8_t(p.grey ? 8 : 24));
    bytes.push_back(0x20);
    if (p.grey) {
        bytes.insert(bytes.end(), p.data.begin(), p.data.end());
        return bytes;
    }
    bytes.reserve(bytes.size() + p.data.size());
    for (size_t i = 0; i < p.data.size(); i += 3)
        bytes.insert(bytes.end(), {p.data[i + 2], p.data[i + 1], p.data[i]});
    return bytes;
}

// The pixels as the test renderer's picture, for the writers of documents
// and phone photos.
zeph::test::Image ImageOf(const Pixels& p) {
    zeph::test::Image image = zeph::test::BlankImage(p.width, p.height, 0);
    const size_t channels = Channels(p);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* s = p.data.data() + (size_t(y) * p.width + x) * channels;
            uint8_t* t = image.At(x, y);
            t[0] = s[channels - 1], t[1] = s[channels / 2], t[2] = s[0];
        }
    }
    return image;
}

Bytes ThreePages(const Pixels& p, bool pdf) {
    const zeph::test::Image image = ImageOf(p);
    const std::vector<zeph::test::Image> pages = {image, zeph::test::BlankImage(p.width, p.height),
                                                  image};
    return pdf ? zeph::test::PdfOfPages(pages) : zeph::test::TiffOfPages(pages);
}

}  // namespace

const char* Extension(Format format) {
    static constexpr const char* kNames[kFormats] = {"jpg", "png", "gif",  "tif",  "webp", "bmp",
                                                     "pnm", "tga", "heic", "avif", "tiff", "pdf"};
    return kNames[int(format)];
}

std::vector<uint8_t> Encode(Format format, const Pixels& pixels) {
    switch (format) {
        case Format::Jpeg:
            return Jpeg(pixels);
        case Format::Png:
            return Png(pixels);
        case Format::Gif:
            return Gif(pixels);
        case Format::Tiff:
            return Tiff(pixels);
        case Format::Webp:
            return Webp(pixels);
        case Format::Bmp:
            return Bmp(pixels);
        case Format::Pnm:
            return Pnm(pixels);
        case Format::Tga:
            return Tga(pixels);
        case Format::Heic:
            return zeph::test::HeifOfImage(ImageOf(pixels), zeph::test::PhoneCoding::Hevc, 80);
        case Format::Avif:
            return zeph::test::HeifOfImage(ImageOf(pixels), zeph::test::PhoneCoding::Av1, 80);
        case Format::TiffPages:
            return ThreePages(pixels, false);
        case Format::Pdf:
            return ThreePages(pixels, true);
    }
    return {};
}

void Damage(std::vector<uint8_t>& file, std::mt19937& random) {
    const auto below = [&](size_t n) { return n ? size_t(random() % n) : 0; };
    switch (random() % 5) {
        case 0:  // cut short
            file.resize(below(file.size()));
            break;
        case 1:  // header bytes overwritten
            for (int i = 0; i < 8 && !file.empty(); ++i)
                file[below(std::min<size_t>(file.size(), 64))] = uint8_t(random());
            break;
        case 2:  // body bytes overwritten
            for (int i = 0; i < 64 && !file.empty(); ++i)
                file[below(file.size())] = uint8_t(random());
            break;
        case 3:  // noise under the same name
            file.resize(1 + below(4096));
            for (uint8_t& b : file)
                b = uint8_t(random());
            break;
        default:
            file.clear();
    }
}

}  // namespace zeph::bench
