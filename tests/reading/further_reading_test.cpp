// The further symbologies drawn into whole pictures by libzint and read
// through the extended search: every one at 1.5 to 4 pixels per module,
// turned, blurred and through JPEG, always with its right text; nothing in
// pictures without barcodes with every one of them switched on; none of them
// without the extended search.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/further/further.h"
#include "engine/reader.h"
#include "tests/support/clutter_renderer.h"
#include "tests/support/corpus.h"
#include "tests/support/image_renderer.h"
#include "tests/support/picture_search.h"

namespace {

using namespace zeph::test;
namespace fs = std::filesystem;

// Every symbology of the thorough search but the stand-alone add-on, and
// every further one with the interpretations.
constexpr int32_t kEveryNewBit =
    kDefaultProtocolMask | zeph::further::kDecoderBits | zeph::further::kInterpretationBits;

struct Symbol {
    const char* name;
    int symbology;  // zint
    std::string input;
    int option2;
    int32_t mask;
    std::string raw;
    std::string data;
    std::string symbologyName;
    std::string type;
};

const std::vector<Symbol>& Symbols() {
    static const std::vector<Symbol> symbols = {
        {"Telepen", BARCODE_TELEPEN, "Telepen 42", 0, kTelepen, "Telepen 42", "Telepen 42",
         "TELEPEN", "ASCII"},
        {"TelepenNumeric", BARCODE_TELEPEN_NUM, "0123456789", 0, kTelepen, "0123456789",
         "0123456789", "TELEPEN", "Numeric"},
        {"Code11", BARCODE_CODE11, "8021-337", 0, kCode11, "8021-33701", "8021-33701", "CODE-11",
         "Two check characters"},
        {"Msi", BARCODE_MSI_PLESSEY, "80524", 1, kMsi, "805242", "805242", "MSI", "Mod 10"},
        {"Plessey", BARCODE_PLESSEY, "C0FFEE42", 0, kPlessey, "C0FFEE42", "C0FFEE42", "PLESSEY",
         "CRC"},
        {"Industrial", BARCODE_C25IND, "4006381", 0, kIndustrial2of5, "4006381", "4006381",
         "Industrial 2 of 5", "Generic"},
        {"Iata", BARCODE_C25IATA, "0125551234", 0, kIata2of5, "0125551234", "0125551234",
         "IATA 2 of 5", "Generic"},
        {"Matrix", BARCODE_C25STANDARD, "90210", 0, kMatrix2of5, "90210", "90210", "Matrix 2 of 5",
         "Generic"},
        {"Datalogic", BARCODE_C25LOGIC, "31415926", 0, kDatalogic2of5, "31415926", "31415926",
         "Datalogic 2 of 5", "Generic"},
        {"Pharmacode", BARCODE_PHARMA, "5678", 0, kPharmacode, "5678", "5678", "PHARMACODE",
         "One-track"},
        {"Code32", BARCODE_CODE32, "12345678", 0, kCode39 | kCode32, "3PRM8N", "123456788",
         "CODE-39", "Code 32"},
        {"Pzn", BARCODE_PZN, "1234567", 0, kCode39 | kPzn, "-12345678", "12345678", "CODE-39",
         "Pharmazentralnummer"},
        {"Itf14", BARCODE_ITF14, "1234567890123", 0, kInterleaved2of5 | kItf14, "12345678901231",
         "12345678901231", "Interleaved 2 of 5", "ITF-14"},
    };
    return symbols;
}

ImageOptions Render(const Symbol& s, double moduleSize) {
    ImageOptions o;
    o.symbology = s.symbology;
    o.data = s.input;
    o.option2 = s.option2;
    // zint frames ITF-14 with bearer bars that touch the symbol when it has
    // no quiet zone of its own: drawn from its modules, the quiet zone is ours.
    if (s.symbology == BARCODE_ITF14) o.modules = SymbolModules(o);
    o.moduleSize = moduleSize;
    o.heightModules = 30;
    return o;
}

std::string Describe(const PictureReads& reads) {
    std::string texts;
    for (const MatchRecord& r : reads.records)
        texts += " [" + std::string(XR_TextOf(r.symbology)) + " " +
                 std::string(XR_TextOf(r.rawData)) + "]";
    return texts;
}

TEST(FurtherReading, EverySymbologyAtTwoPixelsPerModule) {
    for (const Symbol& s : Symbols()) {
        SCOPED_TRACE(s.name);
        const PictureReads reads = SearchExtendedPicture(RenderBarcode(Render(s, 2.0)), s.mask);
        ASSERT_EQ(reads.count, 1) << Describe(reads);
        const MatchRecord& r = reads.records[0];
        EXPECT_EQ(XR_TextOf(r.rawData), s.raw);
        EXPECT_EQ(XR_TextOf(r.data), s.data);
        EXPECT_EQ(XR_TextOf(r.symbology), s.symbologyName);
        EXPECT_EQ(XR_TextOf(r.barcodeType), s.type);
        EXPECT_GT(r.confidence, 0.81f);
    }
}

TEST(FurtherReading, TurnedBlurredAndJpegRendersReadRightOrNotAtAll) {
    struct Condition {
        double moduleSize;
        double angle;
        double blur;
        int jpeg;
    };
    std::vector<Condition> conditions;
    for (const double size : {1.5, 2.0, 3.0, 4.0}) {
        for (const double angle : {0.0, 9.0, 62.0, 90.0, 180.0, 323.0})
            conditions.push_back({size, angle, 0.0, 0});
        conditions.push_back({size, 4.0, 0.8, 0});
        conditions.push_back({size, 0.0, 0.5, 60});
    }
    for (const Symbol& s : Symbols()) {
        SCOPED_TRACE(s.name);
        int reads = 0;
        int tried = 0;
        for (const Condition& c : conditions) {
            // A Pharmacode turned more than a quarter turn is read from its
            // other end (see HalfTurnedPharmacodeReadsFromTheLeft), and one
            // standing upright not at all.
            if (s.symbology == BARCODE_PHARMA && c.angle >= 70 && c.angle <= 290) continue;
            ImageOptions o = Render(s, c.moduleSize);
            o.angle = c.angle;
            o.blurSigma = c.blur;
            o.jpegQuality = c.jpeg;
            o.canvasWidth = 0;
            const PictureReads found = SearchExtendedPicture(RenderBarcode(o), s.mask);
            ++tried;
            SCOPED_TRACE(testing::Message() << c.moduleSize << " px, " << c.angle << " deg, blur "
                                            << c.blur << ", jpeg " << c.jpeg);
            ASSERT_LE(found.count, 1) << Describe(found);
            if (found.count == 0) continue;
            ++reads;
            EXPECT_EQ(XR_TextOf(found.records[0].data), s.data);
            EXPECT_EQ(XR_TextOf(found.records[0].barcodeType), s.type);
        }
        // Most conditions read; those at 1.5 px through JPEG may not.
        EXPECT_GE(reads * 10, tried * 9) << reads << " of " << tried;
    }
}

TEST(FurtherReading, HalfTurnedPharmacodeReadsFromTheLeft) {
    // Upside down, 5678's bars (narrow, wide, wide, narrow, narrow, narrow,
    // wide, narrow, wide, wide, wide, wide) are read the other way round:
    // 2^11 * 2 + 2^10 * 2 + ... + 2^0 * 1 with 2 for wide and 1 for narrow.
    ImageOptions o;
    o.symbology = BARCODE_PHARMA;
    o.data = "5678";
    o.moduleSize = 2;
    o.angle = 180;
    const PictureReads reads = SearchExtendedPicture(RenderBarcode(o), kPharmacode);
    ASSERT_EQ(reads.count, 1) << Describe(reads);
    EXPECT_EQ(XR_TextOf(reads.records[0].rawData), "8005");
}

TEST(FurtherReading, UprightPharmacodeIsNotRead) {
    // Its left end could be either: at 90 degrees the top or the bottom one.
    for (const double angle : {90.0, 75.0, 271.0}) {
        ImageOptions o;
        o.symbology = BARCODE_PHARMA;
        o.data = "5678";
        o.moduleSize = 2;
        o.angle = angle;
        const PictureReads reads = SearchExtendedPicture(RenderBarcode(o), kPharmacode);
        EXPECT_EQ(reads.count, 0) << angle << ":" << Describe(reads);
    }
}

TEST(FurtherReading, TwoSymbolsOfOnePicture) {
    Image canvas = BlankImage(700, 260);
    ImageOptions telepen;
    telepen.symbology = BARCODE_TELEPEN;
    telepen.data = "LIB 0042";
    telepen.moduleSize = 2;
    PasteBarcode(canvas, telepen, 190, 130);
    ImageOptions msi;
    msi.symbology = BARCODE_MSI_PLESSEY;
    msi.data = "31337";
    msi.option2 = 3;
    msi.moduleSize = 2;
    PasteBarcode(canvas, msi, 530, 130);
    const PictureReads reads = SearchExtendedPicture(canvas, kTelepen | kMsi);
    EXPECT_EQ(reads.RawTexts(), (std::vector<std::string>{"313378", "LIB 0042"}));
}

TEST(FurtherReading, NothingWithoutTheExtendedSearch) {
    for (const Symbol& s : Symbols()) {
        SCOPED_TRACE(s.name);
        const Image image = RenderBarcode(Render(s, 2.0));
        GreyRaster raster;
        ASSERT_EQ(
            XR_RasterFromBgrRows(image.Bytes(), image.width, image.height, image.stride, raster),
            1);
        ReaderConfigPtr config = XR_ParseConfig("");
        config->protocolMask = kEveryNewBit;
        std::vector<MatchRecord> records(kMaxMatches);
        const int count = XR_SearchThorough(raster.Values(), raster.height, raster.width, kMaxGrey,
                                            config.get(), records, kMaxMatches);
        // The Code 39 and ITF reads of the engine's own search, as they always were.
        for (int i = 0; i < count; ++i) {
            const std::string_view symbology = XR_TextOf(records[static_cast<size_t>(i)].symbology);
            EXPECT_TRUE(symbology == "CODE-39" || symbology == "Interleaved 2 of 5") << symbology;
            EXPECT_EQ(XR_TextOf(records[static_cast<size_t>(i)].barcodeType), "Generic");
            EXPECT_EQ(XR_TextOf(records[static_cast<size_t>(i)].data), s.raw);
        }
    }
}

TEST(FurtherReading, InterpretationsRewriteTheSearchsOwnRecordsOnlyWhenAskedFor) {
    const Symbol& code32 = Symbols()[10];
    ASSERT_STREQ(code32.name, "Code32");
    const Image image = RenderBarcode(Render(code32, 2.5));
    const PictureReads base = SearchPicture(image);
    ASSERT_EQ(base.count, 1);
    EXPECT_EQ(XR_TextOf(base.records[0].data), "3PRM8N");

    const PictureReads plain = SearchExtendedPicture(image, kDefaultProtocolMask);
    ASSERT_EQ(plain.count, 1);
    EXPECT_EQ(XR_TextOf(plain.records[0].data), "3PRM8N");
    EXPECT_EQ(XR_TextOf(plain.records[0].barcodeType), "Generic");

    const PictureReads told = SearchExtendedPicture(image, kExtendedDefaultMask);
    ASSERT_EQ(told.count, 1);
    const MatchRecord& a = base.records[0];
    const MatchRecord& b = told.records[0];
    EXPECT_EQ(XR_TextOf(b.data), "123456788");
    EXPECT_EQ(XR_TextOf(b.barcodeType), "Code 32");
    // The rest of the record is the search's own.
    EXPECT_EQ(XR_TextOf(b.rawData), XR_TextOf(a.rawData));
    EXPECT_EQ(b.confidence, a.confidence);
    EXPECT_EQ(b.startX, a.startX);
    EXPECT_EQ(b.stopY, a.stopY);
    // The standard flavour too.
    const PictureReads standard = SearchExtendedPicture(image, kExtendedDefaultMask, false);
    ASSERT_EQ(standard.count, 1);
    EXPECT_EQ(XR_TextOf(standard.records[0].barcodeType), "Code 32");
}

TEST(FurtherReading, NothingInPicturesWithoutBarcodesWithEveryNewSymbology) {
    int pictures = 0;
    for (int kind = 0; kind < kClutterKinds; ++kind) {
        for (uint32_t seed = 1; seed <= 50; ++seed) {
            const PictureReads reads =
                SearchExtendedPicture(ClutterImage(static_cast<Clutter>(kind), seed), kEveryNewBit);
            EXPECT_EQ(reads.count, 0)
                << ClutterName(static_cast<Clutter>(kind)) << " " << seed << ":" << Describe(reads);
            ++pictures;
        }
    }
    EXPECT_EQ(pictures, 300);
}

TEST(FurtherReading, NothingInTheCorpusSetWithoutBarcodes) {
    const auto folder = FindCorpus();
    if (!folder) GTEST_SKIP() << "no corpus beside the repository";
    GreyRaster raster;
    ReaderConfigPtr config = XR_ParseConfig("");
    config->protocolMask = kEveryNewBit;
    std::vector<MatchRecord> records(kMaxMatches);
    int images = 0;
    for (const CorpusImage& image : CorpusImages(*folder)) {
        if (!image.name.starts_with("falsepositives-")) continue;
        ASSERT_TRUE(LoadCorpusImage(image, raster)) << image.name;
        const int count = XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                            config.get(), records, kMaxMatches, true);
        EXPECT_EQ(count, 0) << image.name << ": "
                            << (count > 0 ? XR_TextOf(records[0].rawData) : "");
        ++images;
    }
    EXPECT_GT(images, 0);
}

TEST(FurtherReading, TelepenPhotosOfTheCorpus) {
    const auto folder = FindCorpus();
    if (!folder) GTEST_SKIP() << "no corpus beside the repository";
    const fs::path set = fs::path(*folder).parent_path() / "corpus-extra" / "telepen-1";
    if (!fs::is_directory(set)) GTEST_SKIP() << "no " << set;
    GreyRaster raster;
    ReaderConfigPtr config = XR_ParseConfig("");
    config->protocolMask = kExtendedDefaultMask;
    std::vector<MatchRecord> records(kMaxMatches);
    int images = 0;
    for (const auto& file : fs::directory_iterator(set)) {
        if (file.path().extension() != ".png") continue;
        std::ifstream expectedFile(fs::path(file.path()).replace_extension(".txt"));
        std::stringstream expected;
        expected << expectedFile.rdbuf();
        ASSERT_TRUE(
            LoadCorpusImage({file.path().filename().string(), file.path().string()}, raster));
        const int count = XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                            config.get(), records, kMaxMatches, true);
        ASSERT_EQ(count, 1) << file.path();
        EXPECT_EQ(XR_TextOf(records[0].symbology), "TELEPEN") << file.path();
        EXPECT_EQ(XR_TextOf(records[0].data), expected.str()) << file.path();
        ++images;
    }
    EXPECT_EQ(images, 4);
}

}  // namespace
