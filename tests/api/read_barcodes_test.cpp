// The library's API: every kind of input and pixel layout gives ZephScan's
// reads, every option acts, and every bad input is a ReadError of its kind.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zeph/barcode.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/document_files.h"
#include "tests/support/image_renderer.h"

namespace {

namespace fs = std::filesystem;
using zeph::Barcode;
using zeph::PixelFormat;
using zeph::ReaderOptions;
using zeph::ReadError;
using zeph::Symbology;
using Bytes = std::vector<uint8_t>;

zeph::test::Image Rendered(int symbology, const std::string& data) {
    zeph::test::ImageOptions o;
    o.symbology = symbology;
    o.data = data;
    o.moduleSize = 3;
    o.canvasWidth = 600;
    o.canvasHeight = 300;
    return zeph::test::RenderBarcode(o);
}

const zeph::test::Image& Ean() {
    static const zeph::test::Image image = Rendered(BARCODE_EANX, "400638133393+00500");
    return image;
}

// A binary PPM of the picture: the rows top first, red-green-blue.
Bytes Ppm(const zeph::test::Image& image) {
    const std::string header =
        "P6 " + std::to_string(image.width) + " " + std::to_string(image.height) + " 255\n";
    Bytes file(header.begin(), header.end());
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            file.insert(file.end(), {p[2], p[1], p[0]});
        }
    }
    return file;
}

// The picture's pixels in `format`, rows top first with `padding` bytes after each.
Bytes Pixels(const zeph::test::Image& image, PixelFormat format, int padding, uint8_t alpha = 255) {
    Bytes out;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            switch (format) {
                case PixelFormat::Grey:
                    out.push_back(p[1]);
                    break;
                case PixelFormat::Bgr:
                    out.insert(out.end(), {p[0], p[1], p[2]});
                    break;
                case PixelFormat::Rgb:
                    out.insert(out.end(), {p[2], p[1], p[0]});
                    break;
                case PixelFormat::Bgra:
                    out.insert(out.end(), {p[0], p[1], p[2], alpha});
                    break;
                case PixelFormat::Rgba:
                    out.insert(out.end(), {p[2], p[1], p[0], alpha});
                    break;
            }
        }
        out.insert(out.end(), size_t(padding), 0xEE);
    }
    return out;
}

size_t PixelBytes(PixelFormat format) {
    return format == PixelFormat::Grey ? 1 : format <= PixelFormat::Rgb ? 3 : 4;
}

ReadError::Kind KindOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const ReadError& error) {
        EXPECT_NE(std::string(error.what()), "");
        return error.kind();
    }
    ADD_FAILURE() << "no error";
    return ReadError::Kind::InvalidArgument;
}

class TempFolder {
  public:
    TempFolder() : path_(fs::temp_directory_path() / ("zeph-api-" + std::to_string(getpid()))) {
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    fs::path Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(path_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path_ / name;
    }

  private:
    fs::path path_;
};

// The figures ZephScan reports for this picture (its golden test), here as
// UTF-8: the pound sign is two bytes.
TEST(ReadBarcodes, EncodedPictureGivesZephScansRead) {
    const std::vector<Barcode> read = zeph::ReadBarcodesFromEncoded(Ppm(Ean()));
    ASSERT_EQ(read.size(), 1u);
    const Barcode& b = read[0];
    EXPECT_EQ(b.rawBytes, "4006381333931 + 00500");
    EXPECT_EQ(b.rawText, b.rawBytes);
    EXPECT_EQ(b.symbology, "EAN-13 + UPC Supplemental");
    EXPECT_EQ(b.type, "EAN-13 + 5-digit Supplement");
    EXPECT_EQ(b.descriptor, "Product Identifier - Germany + Retail Price");
    EXPECT_EQ(b.text,
              "(40) 0638133393; \xC2\xA3"
              "5.00 (British Pounds)");
    EXPECT_NEAR(b.confidence, 0.945, 0.0005);
    EXPECT_EQ(b.start, (zeph::Point{54, 157}));
    EXPECT_EQ(b.stop, (zeph::Point{545, 157}));

    const TempFolder folder;
    EXPECT_EQ(zeph::ReadBarcodesFromFile(folder.Write("ean.ppm", Ppm(Ean()))), read);
}

TEST(ReadBarcodes, EveryPixelLayoutAndStrideGivesTheSameReads) {
    const std::vector<Barcode> expected = zeph::ReadBarcodesFromEncoded(Ppm(Ean()));
    ASSERT_EQ(expected.size(), 1u);
    const int w = Ean().width, h = Ean().height;
    for (PixelFormat format : {PixelFormat::Grey, PixelFormat::Bgr, PixelFormat::Rgb,
                               PixelFormat::Bgra, PixelFormat::Rgba}) {
        SCOPED_TRACE(int(format));
        const Bytes packed = Pixels(Ean(), format, 0);
        EXPECT_EQ(zeph::ReadBarcodes({packed.data(), w, h, format}), expected);
        // Padded rows, and the same rows walked bottom first.
        const Bytes padded = Pixels(Ean(), format, 13);
        const std::ptrdiff_t stride = std::ptrdiff_t(w * PixelBytes(format) + 13);
        EXPECT_EQ(zeph::ReadBarcodes({padded.data(), w, h, stride, format}), expected);
        Bytes flipped(padded.size());
        for (int y = 0; y < h; ++y) {
            std::copy_n(padded.begin() + y * stride, stride,
                        flipped.begin() + (h - 1 - y) * stride);
        }
        EXPECT_EQ(zeph::ReadBarcodes({flipped.data() + (h - 1) * stride, w, h, -stride, format}),
                  expected);
    }
    // Transparent everywhere: black on black, nothing to read.
    const Bytes clear = Pixels(Ean(), PixelFormat::Rgba, 0, 0);
    EXPECT_TRUE(zeph::ReadBarcodes({clear.data(), w, h, PixelFormat::Rgba}).empty());
}

TEST(ReadBarcodes, OptionsAct) {
    const Bytes ppm = Ppm(Ean());
    const std::vector<Barcode> expected = zeph::ReadBarcodesFromEncoded(ppm);
    ASSERT_EQ(expected.size(), 1u);
    ReaderOptions options;
    options.symbologies = Symbology::Code128 | Symbology::Code39;
    EXPECT_TRUE(zeph::ReadBarcodesFromEncoded(ppm, options).empty());
    options.symbologies = Symbology::Ean13;
    EXPECT_EQ(zeph::ReadBarcodesFromEncoded(ppm, options), expected);
    options.threads = 4;
    EXPECT_EQ(zeph::ReadBarcodesFromEncoded(ppm, options), expected);

    // Without the extended passes the thorough search is ZephScan's
    // "-EXTENDED 0": the same read here, which a confidence floor above its
    // 0.945 then drops. The standard search reads the same text elsewhere.
    options.extended = false;
    EXPECT_EQ(zeph::ReadBarcodesFromEncoded(ppm, options), expected);
    options.minConfidence = 0.95f;
    EXPECT_TRUE(zeph::ReadBarcodesFromEncoded(ppm, options).empty());
    options.minConfidence = 0.81f;
    options.thorough = false;
    const std::vector<Barcode> standard = zeph::ReadBarcodesFromEncoded(ppm, options);
    ASSERT_EQ(standard.size(), 1u);
    EXPECT_EQ(standard[0].text, expected[0].text);
    EXPECT_NE(standard[0].start, expected[0].start);

    // A faint symbol (grey 150 on 170) is located by the thorough search only
    // with a low enough contrast threshold.
    zeph::test::ImageOptions faint;
    faint.data = "590123412345";
    faint.ink = 150;
    faint.paper = 170;
    faint.canvasWidth = 500;
    faint.canvasHeight = 260;
    const Bytes faintPpm = Ppm(zeph::test::RenderBarcode(faint));
    ReaderOptions contrast;
    contrast.extended = false;
    EXPECT_TRUE(zeph::ReadBarcodesFromEncoded(faintPpm, contrast).empty());
    contrast.contrastSensitivity = 0.01f;
    EXPECT_EQ(zeph::ReadBarcodesFromEncoded(faintPpm, contrast).size(), 1u);
}

// GS1 DataBar is read by default, through the extended search only.
TEST(ReadBarcodes, DataBarIsReadByDefaultWithTheExtendedSearch) {
    EXPECT_TRUE(zeph::Symbologies::Default().Has(Symbology::DataBar));
    EXPECT_TRUE(zeph::Symbologies::Default().Has(Symbology::DataBarLimited));
    EXPECT_TRUE(zeph::Symbologies::Default().Has(Symbology::DataBarExpanded));
    EXPECT_FALSE(zeph::Symbologies::Default().Has(Symbology::AddOn));
    EXPECT_EQ(zeph::Symbologies::All().Mask(), (1u << 26) - 1);

    zeph::test::ImageOptions o;
    o.symbology = BARCODE_DBAR_LTD;
    o.data = "1501234567890";
    o.moduleSize = 2;
    const Bytes ppm = Ppm(zeph::test::RenderBarcode(o));
    const std::vector<Barcode> read = zeph::ReadBarcodesFromEncoded(ppm);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].symbology, "GS1 DataBar");
    EXPECT_EQ(read[0].type, "GS1 DataBar Limited");
    EXPECT_EQ(read[0].text, "Packaging type: Pallet; Serial number: 5012345678907");
    // The FNC1 byte 0xFF before the element string, as UTF-8.
    EXPECT_EQ(read[0].rawText,
              "\xC3\xBF"
              "0115012345678907");

    ReaderOptions options;
    options.extended = false;
    EXPECT_TRUE(zeph::ReadBarcodesFromEncoded(ppm, options).empty());
    options.extended = true;
    options.symbologies = Symbology::DataBar | Symbology::DataBarExpanded;
    EXPECT_TRUE(zeph::ReadBarcodesFromEncoded(ppm, options).empty());
    options.symbologies = Symbology::DataBarLimited;
    EXPECT_EQ(zeph::ReadBarcodesFromEncoded(ppm, options), read);
}

TEST(ReadBarcodes, FurtherSymbologiesAreReadByDefaultOrWhenAskedFor) {
    using zeph::Symbologies;
    // ZephScan's default: 959, GS1 DataBar, Telepen and the three interpretations.
    EXPECT_EQ(Symbologies::Default().Mask(),
              959u + 1024 + 2048 + 4096 + 8192 + 4194304 + 8388608 + 16777216);
    EXPECT_TRUE(Symbologies::Default().Has(Symbology::Telepen));
    EXPECT_FALSE(Symbologies::Default().Has(Symbology::Code11));
    EXPECT_FALSE(Symbologies::Default().Has(Symbology::Pharmacode));
    EXPECT_TRUE(Symbologies::All().Has(Symbology::Datalogic2of5));

    const Bytes telepen = Ppm(Rendered(BARCODE_TELEPEN, "LIB 0042"));
    const std::vector<Barcode> read = zeph::ReadBarcodesFromEncoded(telepen);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].text, "LIB 0042");
    EXPECT_EQ(read[0].symbology, "TELEPEN");
    ReaderOptions thoroughAlone;
    thoroughAlone.extended = false;
    thoroughAlone.symbologies = Symbologies::All();
    EXPECT_TRUE(zeph::ReadBarcodesFromEncoded(telepen, thoroughAlone).empty());

    const Bytes code11 = Ppm(Rendered(BARCODE_CODE11, "8021-337"));
    EXPECT_TRUE(zeph::ReadBarcodesFromEncoded(code11).empty());
    ReaderOptions asked;
    asked.symbologies = Symbology::Code11;
    const std::vector<Barcode> code11Read = zeph::ReadBarcodesFromEncoded(code11, asked);
    ASSERT_EQ(code11Read.size(), 1u);
    EXPECT_EQ(code11Read[0].text, "8021-33701");

    // Code 32 is a Code 39 symbol: read as such unless the interpretation is asked for.
    const Bytes code32 = Ppm(Rendered(BARCODE_CODE32, "12345678"));
    const std::vector<Barcode> interpreted = zeph::ReadBarcodesFromEncoded(code32);
    ASSERT_EQ(interpreted.size(), 1u);
    EXPECT_EQ(interpreted[0].text, "123456788");
    EXPECT_EQ(interpreted[0].type, "Code 32");
    asked.symbologies = Symbology::Code39;
    const std::vector<Barcode> plain = zeph::ReadBarcodesFromEncoded(code32, asked);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].text, "3PRM8N");
    EXPECT_EQ(plain[0].type, "Generic");
}

TEST(ReadBarcodes, BadInputsAreErrorsOfTheirKind) {
    using Kind = ReadError::Kind;
    const TempFolder folder;
    const Bytes ppm = Ppm(Ean());
    EXPECT_EQ(KindOf([&] { zeph::ReadBarcodesFromFile("/nonexistent/picture.png"); }),
              Kind::UnreadableFile);
    const std::string text = "not a picture";
    EXPECT_EQ(KindOf([&] { zeph::ReadBarcodesFromEncoded(Bytes(text.begin(), text.end())); }),
              Kind::UnknownFormat);
    EXPECT_EQ(KindOf([&] { zeph::ReadBarcodesFromEncoded({}); }), Kind::UnknownFormat);
    EXPECT_EQ(KindOf([&] { zeph::ReadBarcodesFromEncoded(Bytes(ppm.begin(), ppm.end() - 1)); }),
              Kind::DamagedImage);
    const std::string huge = "P5 60000 60000 255\n\x01";
    EXPECT_EQ(KindOf([&] { zeph::ReadBarcodesFromEncoded(Bytes(huge.begin(), huge.end())); }),
              Kind::TooLarge);

    const auto withOptions = [&](auto change) {
        ReaderOptions options;
        change(options);
        return KindOf([&] { zeph::ReadBarcodesFromEncoded(ppm, options); });
    };
    using O = ReaderOptions;
    EXPECT_EQ(withOptions([](O& o) { o.symbologies = zeph::Symbologies(); }),
              Kind::InvalidArgument);
    // A bit no symbology has.
    EXPECT_EQ(withOptions([](O& o) { o.symbologies = zeph::Symbologies::FromMask(1u << 30); }),
              Kind::InvalidArgument);
    EXPECT_EQ(withOptions([](O& o) { o.symbologies = zeph::Symbologies::FromMask(1u << 26); }),
              Kind::InvalidArgument);
    EXPECT_EQ(withOptions([](O& o) { o.minConfidence = 1.5f; }), Kind::InvalidArgument);
    EXPECT_EQ(withOptions([](O& o) { o.minConfidence = std::nanf(""); }), Kind::InvalidArgument);
    EXPECT_EQ(withOptions([](O& o) { o.contrastSensitivity = -0.1f; }), Kind::InvalidArgument);
    EXPECT_EQ(withOptions([](O& o) { o.threads = 0; }), Kind::InvalidArgument);
    EXPECT_EQ(withOptions([](O& o) { o.threads = 65; }), Kind::InvalidArgument);

    const uint8_t pixel[4] = {};
    const auto view = [&](zeph::ImageView v) { return KindOf([&] { zeph::ReadBarcodes(v); }); };
    EXPECT_EQ(view({nullptr, 1, 1, PixelFormat::Grey}), Kind::InvalidArgument);
    EXPECT_EQ(view({pixel, 0, 1, PixelFormat::Grey}), Kind::InvalidArgument);
    EXPECT_EQ(view({pixel, 2, 1, 3, PixelFormat::Bgr}), Kind::InvalidArgument);  // short stride
    EXPECT_EQ(view({pixel, 1, 1, 4, PixelFormat(17)}), Kind::InvalidArgument);
    // Refused on its size before a pixel is read.
    EXPECT_EQ(view({pixel, 60000, 60000, 60000, PixelFormat::Grey}), Kind::TooLarge);
}

// A stride whose rows cannot all be addressed is refused before a row is
// touched, whichever way it overflows.
TEST(ReadBarcodes, StridesBeyondTheAddressRangeAreRefused) {
    using Kind = ReadError::Kind;
    constexpr std::ptrdiff_t kMost = std::numeric_limits<std::ptrdiff_t>::max();
    constexpr std::ptrdiff_t kLeast = std::numeric_limits<std::ptrdiff_t>::min();
    const uint8_t pixels[8] = {};
    const auto view = [&](int height, std::ptrdiff_t stride) {
        return KindOf([&] { zeph::ReadBarcodes({pixels, 1, height, stride, PixelFormat::Grey}); });
    };
    EXPECT_EQ(view(1, kLeast), Kind::InvalidArgument);  // its magnitude is no ptrdiff_t
    EXPECT_EQ(view(2, kLeast), Kind::InvalidArgument);
    EXPECT_EQ(view(2, kMost), Kind::InvalidArgument);          // the last row's end overflows
    EXPECT_EQ(view(3, kMost / 2 + 1), Kind::InvalidArgument);  // stride times rows overflows
    EXPECT_EQ(view(2, -(kMost / 2)), Kind::InvalidArgument);   // rows below address zero
    // The same rows with an ordinary stride read.
    EXPECT_TRUE(zeph::ReadBarcodes({pixels, 1, 8, 1, PixelFormat::Grey}).empty());
    EXPECT_TRUE(zeph::ReadBarcodes({pixels + 7, 1, 8, -1, PixelFormat::Grey}).empty());
}

// A NUL ends the name the system sees: the file before it must not be read
// in place of the one named.
TEST(ReadBarcodes, PathHoldingANulIsRefused) {
    const TempFolder folder;
    const fs::path picture = folder.Write("picture.ppm", Ppm(Ean()));
    ASSERT_EQ(zeph::ReadBarcodesFromFile(picture).size(), 1u);
    const std::string named = picture.string() + std::string(1, '\0') + "other.ppm";
    EXPECT_EQ(KindOf([&] { zeph::ReadBarcodesFromFile(named); }), ReadError::Kind::InvalidArgument);
}

// Every symbology of All() alone is a valid mask; the first bit beyond it and
// an empty mask are refused, as the header says.
TEST(ReadBarcodes, SymbologyMasksOutsideAllAreRefused) {
    const Bytes ppm = Ppm(Ean());
    const uint32_t all = zeph::Symbologies::All().Mask();
    ReaderOptions options;
    options.extended = false;
    for (uint32_t bit = 1; bit != 0 && bit <= all; bit <<= 1) {
        if (!(all & bit)) continue;
        options.symbologies = zeph::Symbologies::FromMask(bit);
        EXPECT_NO_THROW(zeph::ReadBarcodesFromEncoded(ppm, options)) << bit;
    }
    uint32_t beyond = 1;
    while (beyond <= all)
        beyond <<= 1;
    options.symbologies = zeph::Symbologies::FromMask(all | beyond);
    EXPECT_EQ(KindOf([&] { zeph::ReadBarcodesFromEncoded(ppm, options); }),
              ReadError::Kind::InvalidArgument);
}

// Calls share nothing: two threads reading different pictures at once each
// get what one thread alone gets.
TEST(ReadBarcodes, TwoThreadsReadAtOnce) {
    const Bytes ean = Ppm(Ean());
    const Bytes code128 = Ppm(Rendered(BARCODE_CODE128, "ZEPH-128"));
    const std::vector<Barcode> eanAlone = zeph::ReadBarcodesFromEncoded(ean);
    const std::vector<Barcode> codeAlone = zeph::ReadBarcodesFromEncoded(code128);
    ASSERT_EQ(codeAlone.size(), 1u);
    EXPECT_EQ(codeAlone[0].text, "ZEPH-128");
    std::vector<Barcode> eanThere, codeThere;
    std::thread first([&] {
        for (int i = 0; i < 3; ++i)
            eanThere = zeph::ReadBarcodesFromEncoded(ean);
    });
    std::thread second([&] {
        for (int i = 0; i < 3; ++i)
            codeThere = zeph::ReadBarcodesFromEncoded(code128);
    });
    first.join();
    second.join();
    EXPECT_EQ(eanThere, eanAlone);
    EXPECT_EQ(codeThere, codeAlone);
    EXPECT_STREQ(zeph::Version(), "1.0.0");
}

// Every page of a multi-page file when asked, each barcode naming its page;
// the first page alone otherwise, as before.
TEST(ReadBarcodes, EveryPageWhenAskedEachReadNamingItsPage) {
    const Bytes tiff = zeph::test::TiffOfPages({Rendered(BARCODE_EANX, "590123412345"),
                                                zeph::test::BlankImage(200, 100),
                                                Rendered(BARCODE_CODE128, "PAGE-3")});
    const std::vector<Barcode> first = zeph::ReadBarcodesFromEncoded(tiff);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].page, 1);
    ReaderOptions all;
    all.allPages = true;
    const std::vector<Barcode> pages = zeph::ReadBarcodesFromEncoded(tiff, all);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].rawText, "5901234123457");
    EXPECT_EQ(pages[0].page, 1);
    EXPECT_EQ(pages[1].rawText, "PAGE-3");
    EXPECT_EQ(pages[1].page, 3);
    // A page that cannot be read after the first: the error names it and
    // keeps what the pages before it gave.
    Bytes cut(tiff.begin(), tiff.begin() + tiff.size() * 9 / 10);
    try {
        zeph::ReadBarcodesFromEncoded(cut, all);
        ADD_FAILURE() << "a cut file read whole";
    } catch (const ReadError& e) {
        EXPECT_NE(std::string(e.what()).find("page "), std::string::npos) << e.what();
        ASSERT_FALSE(e.barcodesRead().empty());
        EXPECT_EQ(e.barcodesRead()[0].rawText, "5901234123457");
    }
}

TEST(ReadBarcodes, PhonePhotosReadLikeTheirJpeg) {
    const zeph::test::Image photo = Rendered(BARCODE_EANX, "400638133393");
    const std::vector<Barcode> jpeg = zeph::ReadBarcodesFromEncoded(zeph::test::JpegOfImage(photo));
    ASSERT_EQ(jpeg.size(), 1u);
    for (const auto coding : {zeph::test::PhoneCoding::Hevc, zeph::test::PhoneCoding::Av1}) {
        const Bytes file = zeph::test::HeifOfImage(photo, coding);
        ASSERT_FALSE(file.empty());
        const std::vector<Barcode> read = zeph::ReadBarcodesFromEncoded(file);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].rawText, jpeg[0].rawText);
        EXPECT_NEAR(read[0].start.x, jpeg[0].start.x, 3);
        EXPECT_NEAR(read[0].stop.x, jpeg[0].stop.x, 3);
    }
}

}  // namespace

namespace zeph {
// Readable failures.
void PrintTo(const Barcode& b, std::ostream* out) {
    *out << b.symbology << " '" << b.text << "' " << b.confidence << " (" << b.start.x << ","
         << b.start.y << ")-(" << b.stop.x << "," << b.stop.y << ")";
}
}  // namespace zeph
