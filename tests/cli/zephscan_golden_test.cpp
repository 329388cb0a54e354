// ZephScan run as a process over pictures written to a temporary folder; its
// whole output is compared byte for byte, the timestamp masked. Every report
// is also checked to be well-formed XML.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/zephscan_process.h"
#include "tests/support/image_renderer.h"
#include "tests/support/missed_pictures.h"

namespace {

namespace fs = std::filesystem;
using zeph::test::Image;
using zeph::test::ImageOptions;

using zeph::test::RunZephScan;
using zeph::test::ScanRun;

// The timestamp changes with every run.
std::string MaskTimestamp(std::string text) {
    const size_t open = text.find("<Timestamp>");
    const size_t close = text.find("</Timestamp>");
    if (open != std::string::npos && close != std::string::npos && close > open) {
        text.replace(open + 11, close - open - 11, "*");
    }
    return text;
}

// A BMP file of the picture: its pixel rows are already laid out as BMP keeps them.
void WriteBmp(const Image& image, const fs::path& path) {
    const uint32_t pixels = static_cast<uint32_t>(image.pixels.size());
    std::array<uint8_t, 54> header{};
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, 54 + pixels);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(image.width));
    put32(22, static_cast<uint32_t>(image.height));
    header[26] = 1;
    header[28] = 24;
    put32(34, pixels);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    out.write(reinterpret_cast<const char*>(image.pixels.data()), pixels);
}

Image Symbol(int symbology, const std::string& data) {
    ImageOptions o;
    o.symbology = symbology;
    o.data = data;
    o.moduleSize = 3;
    o.canvasWidth = 600;
    o.canvasHeight = 300;
    return zeph::test::RenderBarcode(o);
}

class Golden : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zephscan-golden-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

const std::string kHead =
    "<ZephScanOutput>\r\n<Timestamp>*</Timestamp>\r\n<Version>1.0.0</Version>\r\n";
const std::string kEnd = "</ZephScanOutput>\r\n";

std::string FailedOpen(const std::string& path) {
    return "<ZephScanResult>\r\n\t<FileName>" + path +
           "</FileName>\r\n\t<Status>ERROR: Failed to open " + path +
           "</Status>\r\n</ZephScanResult>\r\n";
}

std::string NoCodes(const std::string& path) {
    return "<ZephScanResult>\r\n\t<FileName>" + path +
           "</FileName>\r\n\t<Status>OK</Status>\r\n\t<NbCodes>0</NbCodes>\r\n</"
           "ZephScanResult>\r\n";
}

}  // namespace

namespace {

const std::string kUsage =
    "USAGE:\tZephScan.exe [options] <image_file_mask>\r\n\r\n"
    "<image_file_mask>: input image(s)\r\n\r\n"
    "[options]: configuration string consisting of <flag> <value> pairs: \r\n"
    "  -minconf: minimum confidence value for a decoded barcode\r\n"
    "  -mincontrast: minimum contrast value used to locate barcodes\r\n"
    "  -bctypes: binary protocol mask derived from the following\r\n"
    "\tvalue\tprotocol\r\n"
    "\t1\tEAN-13 and UPC-A + 2/5 digits extensions\r\n"
    "\t2\tcode-128 - includes code types UCC/EAN-128\r\n"
    "\t4\tcode-39\r\n"
    "\t8\tcode-93\r\n"
    "\t16\tEAN-8\r\n"
    "\t32\tUPC-E\r\n"
    "\t64\tUPC extensions (2 or 5 digits supplements)\r\n"
    "\t128\tInterleaved 2 of 5\r\n"
    "\t256\tCODABAR (aka Ames Code/USD-4/NW-7/2 of 7)\r\n"
    "\t512\tPatch Codes(1, 2, 3, 4, 6 and T)\r\n"
    "  These values are combined to provide a binary mask describing any subset\r\n"
    "  of enabled protocols. For example, in order to enable EAN13, EAN8 and UPC-E\r\n"
    "  and disable all other protocols, we would set the binary mask property to: \r\n"
    "  (1 + 16 + 32) = 49\r\n"
    "(Default configuration: -minconf 0.81 -mincontrast 0.07 -bctypes 959)\r\n\r\n"
    "EXAMPLES:\r\n"
    "ZephScan.exe myimage.jpg\r\n"
    "  Will look for all supported types of barcodes that may\r\n  live in the provided "
    "JPEG\r\n\r\n"
    "ZephScan.exe -bctypes 6 picsFolder/*.gif\r\n"
    "  Will look for code-128 and code-39 barcodes within all\r\n  GIF files stored under "
    "picsFolder/\r\n\r\n"
    "ZephScan.exe -bctypes 1 picsFolder/*.tif > results.xml\r\n"
    "  Will look for EAN-13 barcodes within all TIFF files and\r\n  store the results in an XML "
    "file\r\n";

const std::string kBadCommandLine = "ERROR: Bad command line.\r\n\r\n" + kUsage;

std::string Match(const std::string& raw, const std::string& symbology, const std::string& type,
                  const std::string& descriptor, const std::string& data,
                  const std::string& numbers) {
    return "\t<BarcodeMatch>\r\n\t\t<RawData>" + raw + "</RawData>\r\n\t\t<Symbology>" + symbology +
           "</Symbology>\r\n\t\t<BarcodeType>" + type + "</BarcodeType>\r\n\t\t<DataDescriptor>" +
           descriptor + "</DataDescriptor>\r\n\t\t<Data>" + data + "</Data>\r\n" + numbers +
           "\t</BarcodeMatch>\r\n";
}

TEST_F(Golden, SeveralFilesReadableOrNot) {
    WriteBmp(Symbol(BARCODE_EANX, "400638133393+00500"), dir_ / "a.bmp");
    WriteBmp(zeph::test::BlankImage(120, 80), dir_ / "b.bmp");
    std::ofstream(dir_ / "c.jpg") << "not a picture at all\n";
    // A PNG cut off inside its header.
    std::ofstream(dir_ / "d.png", std::ios::binary).write("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0", 18);
    std::ofstream(dir_ / ".hidden.bmp") << "skipped";
    fs::create_directory(dir_ / "folder.bmp");

    const ScanRun run = RunZephScan({Path("*")});
    // Two files could not be read: the run says so, naming them and why.
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.errors, "ZephScan: " + Path("c.jpg") + ": unknown image format\nZephScan: " +
                              Path("d.png") + ": PNG: read beyond end of data\n");
    const std::string a = Path("a.bmp");
    const std::string expected =
        kHead + "<ZephScanResult>\r\n\t<FileName>" + a +
        "</FileName>\r\n\t<Status>OK</Status>\r\n\t<NbCodes>1</NbCodes>\r\n" +
        Match("4006381333931 + 00500", "EAN-13 + UPC Supplemental", "EAN-13 + 5-digit Supplement",
              "Product Identifier - Germany + Retail Price",
              // The report is UTF-8: the pound sign is two bytes.
              "(40) 0638133393; \xC2\xA3"
              "5.00 (British Pounds)",
              // The reader's figures for this picture; a change here is a change
              // of the engine's results, to be looked at.
              "\t\t<Confidence>0.945</Confidence>\r\n\t\t<Startx>54</Startx>\r\n"
              "\t\t<Starty>157</Starty>\r\n\t\t<Stopx>545</Stopx>\r\n\t\t<Stopy>157</Stopy>\r\n") +
        "</ZephScanResult>\r\n" + NoCodes(Path("b.bmp")) + FailedOpen(Path("c.jpg")) +
        FailedOpen(Path("d.png")) + kEnd;
    EXPECT_EQ(MaskTimestamp(run.output), expected);
}

TEST_F(Golden, RawTextsShowControlBytesAsHashesAndEveryTextIsEscaped) {
    // A tab and an escape character (set A), then markup that must not become
    // elements of the report.
    ImageOptions o;
    o.symbology = BARCODE_CODE128;
    o.data = "a\tb\x1b</Data>&c";
    o.moduleSize = 2;
    WriteBmp(zeph::test::RenderBarcode(o), dir_ / "m.bmp");
    const ScanRun run = RunZephScan({"-bctypes", "2", Path("m.bmp")});
    EXPECT_EQ(run.status, 0);
    const std::string expected =
        kHead + "<ZephScanResult>\r\n\t<FileName>" + Path("m.bmp") +
        "</FileName>\r\n\t<Status>OK</Status>\r\n\t<NbCodes>1</NbCodes>\r\n" +
        // The escape character, which XML cannot hold, as its control picture.
        Match("a#b#&lt;/Data&gt;&amp;c", "CODE-128", "Generic", "",
              "a\tb\xE2\x90\x9B&lt;/Data&gt;&amp;c",
              "\t\t<Confidence>0.938</Confidence>\r\n\t\t<Startx>14</Startx>\r\n"
              "\t\t<Starty>67</Starty>\r\n\t\t<Stopx>424</Stopx>\r\n\t\t<Stopy>67</Stopy>\r\n") +
        "</ZephScanResult>\r\n" + kEnd;
    EXPECT_EQ(MaskTimestamp(run.output), expected);
}

TEST_F(Golden, FileNamesAreEscaped) {
    WriteBmp(zeph::test::BlankImage(60, 40), dir_ / "a&b<c>.bmp");
    const ScanRun run = RunZephScan({Path("a*")});
    EXPECT_EQ(MaskTimestamp(run.output), kHead + NoCodes(Path("a&amp;b&lt;c&gt;.bmp")) + kEnd);
    const ScanRun missing = RunZephScan({Path("x&y.jpg")});
    EXPECT_EQ(MaskTimestamp(missing.output), kHead + kEnd);
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(missing.errors, "ZephScan: " + Path("x&y.jpg") + ": No such file or directory\n");
}

TEST_F(Golden, BadCommandLines) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"   "},
          std::vector<std::string>{"-minconf", "abc", "1", "x.jpg"},
          std::vector<std::string>{"-bctypes", "1e20", "1", "x.jpg"},
          std::vector<std::string>{"-extended", "yes", "1", "x.jpg"},
          std::vector<std::string>{"-threads", "0", "1", "x.jpg"},
          std::vector<std::string>{"-THREADS", "1.5", "1", "x.jpg"}}) {
        const ScanRun run = RunZephScan(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.output, kBadCommandLine);
        // Standard error names the token.
        const std::string named = args.size() > 1 ? args[0] + " " + args[1] : "no file mask";
        EXPECT_NE(run.errors.find("ZephScan: bad command line: " + named), std::string::npos)
            << run.errors;
    }
    // No limit of 20 tokens: every token not an option is a mask.
    std::vector<std::string> many(40, Path("nothing-*.bmp"));
    many.insert(many.begin(), {"-bctypes", "6"});
    const ScanRun accepted = RunZephScan(many);
    EXPECT_EQ(accepted.status, 3) << "masks that name nothing";
    EXPECT_EQ(MaskTimestamp(accepted.output), kHead + kEnd);
}

TEST_F(Golden, MasksAndOptions) {
    fs::create_directory(dir_ / "my pics");
    WriteBmp(zeph::test::BlankImage(60, 40), dir_ / "my pics" / "a b.bmp");
    // One argument with a blank is one token.
    const ScanRun quoted = RunZephScan({Path("my pics/a b.bmp")});
    EXPECT_EQ(MaskTimestamp(quoted.output), kHead + NoCodes(Path("my pics/a b.bmp")) + kEnd);
    // An option right before the mask is not read as one.
    // It is a mask of its own, which names no file: said on standard error.
    const ScanRun before = RunZephScan({"-minconf", Path("my pics/*.bmp")});
    EXPECT_EQ(before.status, 3);
    EXPECT_EQ(MaskTimestamp(before.output), kHead + NoCodes(Path("my pics/a b.bmp")) + kEnd);
    EXPECT_NE(before.errors.find("ZephScan: -minconf: No such file or directory (a relative mask"),
              std::string::npos)
        << before.errors;
    // A mask that matches nothing: head and end only, and a word.
    const ScanRun none = RunZephScan({"-bctypes", "1", Path("*.gif")});
    EXPECT_EQ(MaskTimestamp(none.output), kHead + kEnd);
    EXPECT_EQ(none.status, 3);
    EXPECT_EQ(none.errors, "ZephScan: " + Path("*.gif") + ": no file matches\n");
}

TEST_F(Golden, TheExtendedSearchIsOnUnlessSwitchedOff) {
    WriteBmp(zeph::test::RenderBarcode(zeph::test::FaintLabel()), dir_ / "faint.bmp");
    const std::string file = Path("faint.bmp");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{file}, std::vector<std::string>{"-EXTENDED", "1", file}}) {
        const ScanRun on = RunZephScan(args);
        EXPECT_EQ(on.status, 0);
        EXPECT_NE(on.output.find("<NbCodes>1</NbCodes>"), std::string::npos) << on.output;
        EXPECT_NE(on.output.find("<RawData>4006381333931</RawData>"), std::string::npos);
    }
    const ScanRun off = RunZephScan({"-extended", "0", file});
    EXPECT_EQ(off.status, 0);
    EXPECT_EQ(MaskTimestamp(off.output), kHead + NoCodes(file) + kEnd);
}

// GS1 DataBar is read by default with the extended search, by its own mask
// bits, and not at all with the extended search off.
TEST_F(Golden, DataBarIsReadByDefaultAndByItsBits) {
    ImageOptions o;
    o.symbology = BARCODE_DBAR_EXP;
    o.data = "[01]98898765432106[3202]012345[15]991231";
    o.moduleSize = 2;
    o.canvasWidth = 500;
    o.canvasHeight = 120;
    WriteBmp(zeph::test::RenderBarcode(o), dir_ / "expanded.bmp");
    const std::string file = Path("expanded.bmp");
    const std::string read =
        "<ZephScanResult>\r\n\t<FileName>" + file +
        "</FileName>\r\n\t<Status>OK</Status>\r\n\t<NbCodes>1</NbCodes>\r\n" +
        Match("#0198898765432106320201234515991231", "GS1 DataBar", "GS1 DataBar Expanded",
              "Serial Shipping Container Code (SSCC-14); Product Net Weight; Sell By Date",
              "Packaging type: Variable container; Serial number: 8898765432106; 123.450000 "
              "lbs; 12/31/1999",
              "\t\t<Confidence>0.996</Confidence>\r\n\t\t<Startx>51</Startx>\r\n"
              "\t\t<Starty>67</Starty>\r\n\t\t<Stopx>450</Stopx>\r\n"
              "\t\t<Stopy>67</Stopy>\r\n") +
        "</ZephScanResult>\r\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{file}, std::vector<std::string>{"-bctypes", "4096", file},
          std::vector<std::string>{"-bctypes", "8127", file}}) {
        const ScanRun on = RunZephScan(args);
        EXPECT_EQ(on.status, 0);
        EXPECT_EQ(MaskTimestamp(on.output), kHead + read + kEnd) << args.size();
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-bctypes", "1", file},
          std::vector<std::string>{"-bctypes", "3072", file},
          std::vector<std::string>{"-extended", "0", file},
          std::vector<std::string>{"-bctypes", "8127", "-extended", "0", file}}) {
        const ScanRun off = RunZephScan(args);
        EXPECT_EQ(off.status, 0);
        EXPECT_EQ(MaskTimestamp(off.output), kHead + NoCodes(file) + kEnd) << args[1];
    }
}

TEST_F(Golden, TheExtendedSearchReadsTelepenAndTheInterpretationsByDefault) {
    WriteBmp(Symbol(BARCODE_TELEPEN, "LIB 0042"), dir_ / "a-telepen.bmp");
    WriteBmp(Symbol(BARCODE_CODE32, "12345678"), dir_ / "b-code32.bmp");
    WriteBmp(Symbol(BARCODE_CODE11, "8021-337"), dir_ / "c-code11.bmp");
    const std::string files = Path("*.bmp");
    const ScanRun defaults = RunZephScan({files});
    EXPECT_EQ(defaults.status, 0);
    const std::string& out = defaults.output;
    EXPECT_NE(out.find("<RawData>LIB 0042</RawData>\r\n\t\t<Symbology>TELEPEN</Symbology>\r\n"
                       "\t\t<BarcodeType>ASCII</BarcodeType>"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("<RawData>3PRM8N</RawData>\r\n\t\t<Symbology>CODE-39</Symbology>\r\n"
                       "\t\t<BarcodeType>Code 32</BarcodeType>"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("<Data>123456788</Data>"), std::string::npos);
    // Code 11, whose checks are weak, is read only when asked for.
    EXPECT_NE(out.find(NoCodes(Path("c-code11.bmp"))), std::string::npos) << out;
    const ScanRun code11 = RunZephScan({"-bctypes", "16384", files});
    EXPECT_NE(code11.output.find("<RawData>8021-33701</RawData>"), std::string::npos)
        << code11.output;

    // With the thorough search alone, the reads it has always given.
    const ScanRun off = RunZephScan({"-EXTENDED", "0", "-BCTYPES", "33547263", files});
    EXPECT_NE(off.output.find(NoCodes(Path("a-telepen.bmp"))), std::string::npos);
    EXPECT_NE(off.output.find("<BarcodeType>Generic</BarcodeType>"), std::string::npos);
    EXPECT_EQ(off.output.find("Code 32"), std::string::npos);
    // A mask given is the mask read: 959 reads no Telepen and keeps Code 39 as it is.
    const ScanRun given = RunZephScan({"-bctypes", "959", files});
    EXPECT_NE(given.output.find(NoCodes(Path("a-telepen.bmp"))), std::string::npos);
    EXPECT_EQ(given.output.find("Code 32"), std::string::npos);
    const ScanRun telepen = RunZephScan({"-bctypes", "8192", files});
    EXPECT_NE(telepen.output.find("<Symbology>TELEPEN</Symbology>"), std::string::npos);
    EXPECT_EQ(telepen.output.find("CODE-39"), std::string::npos);
}

TEST_F(Golden, TheExtendedSearchReadsEveryKindOfPictureTheSearchMisses) {
    const auto pictures = zeph::test::MissedPictures();
    for (const auto& p : pictures)
        WriteBmp(p.image, dir_ / (p.kind + ".bmp"));
    const ScanRun on = RunZephScan({Path("*.bmp")});
    const ScanRun off = RunZephScan({"-EXTENDED", "0", Path("*.bmp")});
    EXPECT_EQ(on.status, 0);
    for (const auto& p : pictures) {
        const std::string file = "<FileName>" + Path(p.kind + ".bmp") + "</FileName>";
        const size_t block = on.output.find(file);
        ASSERT_NE(block, std::string::npos) << p.kind;
        const size_t end = on.output.find("</ZephScanResult>", block);
        const std::string read = on.output.substr(block, end - block);
        EXPECT_NE(read.find("<NbCodes>1</NbCodes>"), std::string::npos) << p.kind;
        EXPECT_NE(read.find("<RawData>" + p.raw + "</RawData>"), std::string::npos) << p.kind;
        EXPECT_NE(off.output.find(file + "\r\n\t<Status>OK</Status>\r\n\t<NbCodes>0</NbCodes>"),
                  std::string::npos)
            << p.kind;
    }
}

TEST_F(Golden, EveryNumberOfThreadsGivesTheSameReport) {
    // Readable, empty and broken files, and more files than threads or fewer.
    const auto pictures = zeph::test::MissedPictures();
    for (const auto& p : pictures)
        WriteBmp(p.image, dir_ / (p.kind + ".bmp"));
    WriteBmp(Symbol(BARCODE_EANX, "400638133393+00500"), dir_ / "a.bmp");
    WriteBmp(zeph::test::BlankImage(120, 80), dir_ / "b.bmp");
    std::ofstream(dir_ / "c.bmp") << "not a picture at all\n";
    const ScanRun one = RunZephScan({"-threads", "1", Path("*.bmp")});
    EXPECT_EQ(one.status, 3) << "c.bmp is no picture";
    EXPECT_EQ(std::count_if(pictures.begin(), pictures.end(),
                            [&](const auto& p) {
                                return one.output.find("<RawData>" + p.raw + "</RawData>") !=
                                       std::string::npos;
                            }),
              static_cast<std::ptrdiff_t>(pictures.size()));
    for (const char* threads : {"2", "3", "40"}) {
        const ScanRun run = RunZephScan({"-THREADS", threads, Path("*.bmp")});
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(MaskTimestamp(run.output), MaskTimestamp(one.output)) << threads << " threads";
        EXPECT_EQ(run.errors, one.errors) << threads << " threads";
    }
    // One file and several threads: the file's search uses them.
    const ScanRun single = RunZephScan({"-threads", "3", Path("a.bmp")});
    const ScanRun alone = RunZephScan({"-threads", "1", Path("a.bmp")});
    EXPECT_NE(alone.output.find("<NbCodes>1</NbCodes>"), std::string::npos) << alone.output;
    EXPECT_EQ(MaskTimestamp(single.output), MaskTimestamp(alone.output));
}

TEST_F(Golden, RelativeMasksStartBesideTheProgram) {
    const fs::path programFolder = fs::path(ZEPH_ZEPHSCAN).parent_path();
    const fs::path folder = programFolder / dir_.filename();
    fs::create_directory(folder);
    WriteBmp(zeph::test::BlankImage(60, 40), folder / "r.bmp");
    const ScanRun run = RunZephScan({dir_.filename().string() + "\\*.bmp"});
    fs::remove_all(folder);
    EXPECT_EQ(MaskTimestamp(run.output), kHead + NoCodes((folder / "r.bmp").string()) + kEnd);
}

}  // namespace
