#include "tests/support/document_files.h"

#include <libheif/heif.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

namespace zeph::test {
namespace {

std::vector<uint8_t> GreyRows(const Image& image) {
    std::vector<uint8_t> grey(size_t(image.width) * size_t(image.height));
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x)
            grey[size_t(y) * size_t(image.width) + size_t(x)] = uint8_t(image.Grey(x, y));
    }
    return grey;
}

std::vector<uint8_t> RgbRows(const Image& image) {
    std::vector<uint8_t> rgb(size_t(image.width) * size_t(image.height) * 3);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            uint8_t* q = &rgb[(size_t(y) * size_t(image.width) + size_t(x)) * 3];
            q[0] = p[2], q[1] = p[1], q[2] = p[0];
        }
    }
    return rgb;
}

}  // namespace

FileBytes TiffOfPages(const std::vector<Image>& pages) {
    // Through a file: the library writes by seeking.
    char path[] = "/tmp/zeph-test-tiff-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) throw std::runtime_error("no temporary file");
    close(fd);
    TIFF* tiff = TIFFOpen(path, "w");
    if (!tiff) throw std::runtime_error("libtiff cannot write");
    for (const Image& page : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(page.width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(page.height));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(page.height));
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        std::vector<uint8_t> grey = GreyRows(page);
        TIFFWriteEncodedStrip(tiff, 0, grey.data(), tmsize_t(grey.size()));
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    std::ifstream in(path, std::ios::binary);
    FileBytes bytes{std::istreambuf_iterator<char>(in), {}};
    unlink(path);
    return bytes;
}

FileBytes PdfOfPages(const std::vector<Image>& pages, int dotsPerInch) {
    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;  // of objects 1, 2, ...
    const auto object = [&](const std::string& body) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    // 1: catalogue, 2: page tree; then page, contents and image of each page.
    std::string kids;
    for (size_t i = 0; i < pages.size(); ++i)
        kids += std::to_string(3 + 3 * i) + " 0 R ";
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    for (size_t i = 0; i < pages.size(); ++i) {
        const Image& page = pages[i];
        char size[64];
        std::snprintf(size, sizeof size, "%.4f %.4f", page.width * 72.0 / dotsPerInch,
                      page.height * 72.0 / dotsPerInch);
        char scale[96];
        std::snprintf(scale, sizeof scale, "%.4f 0 0 %.4f 0 0", page.width * 72.0 / dotsPerInch,
                      page.height * 72.0 / dotsPerInch);
        // The image, a unit square, scaled over the whole page.
        const std::string draw = std::string("q ") + scale + " cm /Im0 Do Q";
        const std::string image = std::to_string(5 + 3 * i) + " 0 R";
        object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::string(size) +
               "] /Resources << /XObject << /Im0 " + image + " >> >> /Contents " +
               std::to_string(4 + 3 * i) + " 0 R >>");
        object("<< /Length " + std::to_string(draw.size()) + " >>\nstream\n" + draw +
               "\nendstream");
        const std::vector<uint8_t> grey = GreyRows(page);
        uLongf packed = compressBound(uLong(grey.size()));
        std::vector<uint8_t> deflated(packed);
        compress(deflated.data(), &packed, grey.data(), uLong(grey.size()));
        object("<< /Type /XObject /Subtype /Image /Width " + std::to_string(page.width) +
               " /Height " + std::to_string(page.height) +
               " /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter /FlateDecode /Length " +
               std::to_string(packed) + " >>\nstream\n" +
               std::string(reinterpret_cast<const char*>(deflated.data()), packed) + "\nendstream");
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (const size_t at : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", at);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return FileBytes(pdf.begin(), pdf.end());
}

FileBytes HeifOfImage(const Image& image, PhoneCoding coding, int quality) {
    const heif_compression_format format =
        coding == PhoneCoding::Hevc ? heif_compression_HEVC : heif_compression_AV1;
    if (!heif_have_encoder_for_format(format)) return {};
    struct Release {
        void operator()(heif_context* c) const { heif_context_free(c); }
        void operator()(heif_encoder* e) const { heif_encoder_release(e); }
        void operator()(heif_image* i) const { heif_image_release(i); }
    };
    std::unique_ptr<heif_context, Release> context(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    if (heif_context_get_encoder_for_format(context.get(), format, &rawEncoder).code) return {};
    std::unique_ptr<heif_encoder, Release> encoder(rawEncoder);
    heif_encoder_set_lossy_quality(encoder.get(), quality);
    // AV1's default effort takes many seconds a picture; the pictures are
    // for reading, not for the smallest file.
    if (coding == PhoneCoding::Av1) heif_encoder_set_parameter(encoder.get(), "speed", "8");
    heif_image* rawImage = nullptr;
    if (heif_image_create(image.width, image.height, heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, &rawImage)
            .code) {
        return {};
    }
    std::unique_ptr<heif_image, Release> picture(rawImage);
    heif_image_add_plane(picture.get(), heif_channel_interleaved, image.width, image.height, 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(picture.get(), heif_channel_interleaved, &stride);
    const std::vector<uint8_t> rgb = RgbRows(image);
    for (int32_t y = 0; y < image.height; ++y) {
        std::memcpy(plane + size_t(y) * size_t(stride), rgb.data() + size_t(y) * image.width * 3,
                    size_t(image.width) * 3);
    }
    if (heif_context_encode_image(context.get(), picture.get(), encoder.get(), nullptr, nullptr)
            .code) {
        return {};
    }
    FileBytes bytes;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = [](heif_context*, const void* data, size_t size, void* user) {
        auto* out = static_cast<FileBytes*>(user);
        const auto* p = static_cast<const uint8_t*>(data);
        out->insert(out->end(), p, p + size);
        return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
    };
    if (heif_context_write(context.get(), &writer, &bytes).code) return {};
    return bytes;
}

FileBytes JpegOfImage(const Image& image, int quality) {
    tjhandle encoder = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const std::vector<uint8_t> rgb = RgbRows(image);
    FileBytes bytes;
    if (tjCompress2(encoder, rgb.data(), image.width, 0, image.height, TJPF_RGB, &out, &size,
                    TJSAMP_420, quality, 0) == 0) {
        bytes.assign(out, out + size);
    }
    tjFree(out);
    tjDestroy(encoder);
    return bytes;
}

}  // namespace zeph::test
