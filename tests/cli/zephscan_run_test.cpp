// ZephScan as people run it: many files from a shell's expansion, failures
// named on standard error with their exit status, standard input, the JSON
// and text reports, documents of several pages, phone photos, the help, and
// a reader of the report that goes away.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/zephscan_process.h"
#include "tests/support/document_files.h"
#include "tests/support/image_renderer.h"

namespace {

namespace fs = std::filesystem;
using zeph::test::FileBytes;
using zeph::test::Image;
using zeph::test::ImageOptions;
using zeph::test::RunZephScan;
using zeph::test::ScanInput;
using zeph::test::ScanRun;

Image Symbol(int symbology, const std::string& data, int canvasWidth = 600) {
    ImageOptions o;
    o.symbology = symbology;
    o.data = data;
    o.moduleSize = 3;
    o.canvasWidth = canvasWidth;
    o.canvasHeight = 260;
    return zeph::test::RenderBarcode(o);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class ZephScanRun : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zephscan-run-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void Write(const std::string& name, const FileBytes& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    fs::path dir_;
};

TEST_F(ZephScanRun, EveryFileOfAShellExpansionGetsItsBlock) {
    std::vector<std::string> files;
    for (int i = 0; i < 25; ++i) {
        const std::string name = "f" + std::to_string(100 + i) + ".jpg";
        Write(name, zeph::test::JpegOfImage(zeph::test::BlankImage(40 + i, 30)));
        files.push_back(Path(name));
    }
    const ScanRun all = RunZephScan(files);
    EXPECT_EQ(all.status, 0) << all.errors;
    EXPECT_EQ(all.errors, "");
    EXPECT_EQ(Count(all.output, "<ZephScanResult>"), 25u);
    // In command-line order, whatever the names.
    std::vector<std::string> reversed(files.rbegin(), files.rend());
    const ScanRun backwards = RunZephScan(reversed);
    EXPECT_LT(backwards.output.find(files[24]), backwards.output.find(files[0]));

    // One of them deleted: 24 blocks, the missing one named with its reason.
    fs::remove(files[7]);
    const ScanRun missing = RunZephScan(files);
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(Count(missing.output, "<ZephScanResult>"), 24u);
    EXPECT_EQ(missing.errors, "ZephScan: " + files[7] + ": No such file or directory\n");
}

TEST_F(ZephScanRun, FailuresSayWhyOnStandardError) {
    Write("text.png", FileBytes{'h', 'e', 'l', 'l', 'o', '\n'});
    Write("empty.png", {});
    fs::create_directory(dir_ / "folder");
    const ScanRun run =
        RunZephScan({Path("text.png"), Path("empty.png"), Path("folder"), Path("none-*.png")});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.errors.find(Path("text.png") + ": unknown image format"), std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find(Path("empty.png") + ": empty file"), std::string::npos);
    EXPECT_NE(
        run.errors.find(Path("folder") + ": is a folder; " + Path("folder") + "/* names its files"),
        std::string::npos);
    EXPECT_NE(run.errors.find(Path("none-*.png") + ": no file matches"), std::string::npos);
    EXPECT_EQ(Count(run.output, "ERROR: Failed to open"), 2u);
    // A relative name starts at the program's folder, and the word says so.
    const ScanRun relative = RunZephScan({"myimage.jpg"});
    EXPECT_EQ(relative.status, 3);
    EXPECT_NE(
        relative.errors.find("myimage.jpg: No such file or directory (a relative mask "
                             "starts at the program's folder: " +
                             fs::path(ZEPH_ZEPHSCAN).parent_path().string() + "/myimage.jpg)"),
        std::string::npos)
        << relative.errors;
}

TEST_F(ZephScanRun, ReportsWithEightBitTextsAndUtf8NamesAreWellFormed) {
    // The pound sign of a UK price add-on, an accented Code 128, a UTF-8 name.
    zeph::test::Image pound = Symbol(BARCODE_EANX, "400638133393+00500");
    Write("pound.jpg", zeph::test::JpegOfImage(pound, 95));
    Write("caf\xC3\xA9 \xE2\x82\xAC.jpg",
          zeph::test::JpegOfImage(Symbol(BARCODE_CODE128, "Caf\xC3\xA9"), 95));
    const ScanRun run = RunZephScan({Path("*.jpg")});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_TRUE(zeph::test::WellFormedXml(run.output));
    EXPECT_NE(run.output.find("\xC2\xA3"
                              "5.00 (British Pounds)"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("<FileName>" + Path("caf\xC3\xA9 \xE2\x82\xAC.jpg")),
              std::string::npos);
    EXPECT_EQ(Count(run.output, "<NbCodes>1</NbCodes>"), 2u) << run.output;
}

TEST_F(ZephScanRun, HelpAndVersionOnStandardOutput) {
    for (const char* word : {"--help", "-help", "-h", "-?"}) {
        const ScanRun help = RunZephScan({word});
        EXPECT_EQ(help.status, 0) << word;
        for (const char* part : {"-minconf", "-mincontrast", "-bctypes", "-extended", "-threads",
                                 "-format", "-pages", "-dpi", "-progress", "Exit status",
                                 "starts at the folder that holds ZephScan", "\"-\" reads"}) {
            EXPECT_NE(help.output.find(part), std::string::npos) << word << ": " << part;
        }
    }
    const ScanRun version = RunZephScan({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("ZephScan 1.0.0\n", 0), 0u) << version.output;
}

TEST_F(ZephScanRun, StandardInputFromAPipe) {
    const FileBytes jpeg = zeph::test::JpegOfImage(Symbol(BARCODE_EANX, "590123412345"), 95);
    ScanInput input;
    input.standardInput.assign(jpeg.begin(), jpeg.end());
    for (const char* name : {"-", "/dev/stdin"}) {
        const ScanRun run = RunZephScan({"-format", "text", name}, input);
        EXPECT_EQ(run.status, 0) << name << ": " << run.errors;
        EXPECT_EQ(run.output, std::string(name) + ": EAN-13: 5901234123457\n") << name;
    }
    // A stream is read once.
    const ScanRun twice = RunZephScan({"-", "-"}, input);
    EXPECT_EQ(twice.status, 3);
    EXPECT_NE(twice.errors.find("-: standard input was read already"), std::string::npos)
        << twice.errors;
    EXPECT_EQ(Count(twice.output, "<NbCodes>1</NbCodes>"), 1u);
}

TEST_F(ZephScanRun, JsonLinesParseAndTextLinesCount) {
    Write("a.jpg", zeph::test::JpegOfImage(Symbol(BARCODE_EANX, "400638133393+00500"), 95));
    Write("b.jpg", zeph::test::JpegOfImage(zeph::test::BlankImage(50, 40)));
    Write("c.jpg", FileBytes{'x'});
    const ScanRun json = RunZephScan({"-format", "json", Path("*.jpg")});
    EXPECT_EQ(json.status, 3);
    std::istringstream lines(json.output);
    std::vector<nlohmann::json> files;
    for (std::string line; std::getline(lines, line);)
        files.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0]["file"], Path("a.jpg"));
    EXPECT_EQ(files[0]["status"], "ok");
    ASSERT_EQ(files[0]["barcodes"].size(), 1u);
    const nlohmann::json& b = files[0]["barcodes"][0];
    EXPECT_EQ(b["rawData"], "4006381333931 + 00500");
    EXPECT_EQ(b["data"],
              "(40) 0638133393; \xC2\xA3"
              "5.00 (British Pounds)");
    EXPECT_EQ(b["page"], 1);
    EXPECT_GT(b["confidence"].get<double>(), 0.81);
    EXPECT_GT(b["stop"]["x"].get<int>(), b["start"]["x"].get<int>());
    EXPECT_TRUE(files[1]["barcodes"].empty());
    EXPECT_EQ(files[2]["status"], "error");
    EXPECT_EQ(files[2]["error"], "unknown image format");

    const ScanRun text = RunZephScan({"-FORMAT", "TEXT", Path("*.jpg")});
    EXPECT_EQ(text.output, Path("a.jpg") + ": EAN-13 + UPC Supplemental: 4006381333931 + 00500\n");
    EXPECT_EQ(text.status, 3);
}

// One symbology on each page; what matters is that every page is read, in
// order, each read naming its page, and that -PAGES first keeps to the first.
void ExpectThreePages(const std::string& path, const std::string& firstOnly) {
    const ScanRun all = RunZephScan({"-pages", "all", "-format", "text", path});
    EXPECT_EQ(all.status, 0) << all.errors;
    EXPECT_EQ(all.output, path + ":1: EAN-13: 5901234123457\n" + path + ":2: CODE-128: PAGE-TWO\n" +
                              path + ":3: CODE-39: PAGE3\n");
    const ScanRun xml = RunZephScan({"-pages", "all", "-bctypes", "7", path});
    EXPECT_EQ(Count(xml.output, "<BarcodeMatch>"), 3u);
    for (const char* page : {"<Page>1</Page>", "<Page>2</Page>", "<Page>3</Page>"})
        EXPECT_NE(xml.output.find(page), std::string::npos) << page;
    EXPECT_NE(xml.output.find("<NbCodes>3</NbCodes>"), std::string::npos);
    const ScanRun first = RunZephScan({"-format", "text", path});
    EXPECT_EQ(first.output, firstOnly);
    const ScanRun named = RunZephScan({"-pages", "first", path});
    EXPECT_NE(named.output.find("<Page>1</Page>"), std::string::npos);
    EXPECT_EQ(Count(named.output, "<BarcodeMatch>"), 1u);
}

std::vector<Image> ThreePages() {
    return {Symbol(BARCODE_EANX, "590123412345"), Symbol(BARCODE_CODE128, "PAGE-TWO"),
            Symbol(BARCODE_CODE39, "PAGE3")};
}

TEST_F(ZephScanRun, EveryPageOfATiff) {
    Write("three.tif", zeph::test::TiffOfPages(ThreePages()));
    ExpectThreePages(Path("three.tif"), Path("three.tif") + ": EAN-13: 5901234123457\n");
}

TEST_F(ZephScanRun, EveryPageOfAPdf) {
    const ScanRun version = RunZephScan({"--version"});
    if (version.output.find("poppler") == std::string::npos) GTEST_SKIP() << "built without PDF";
    Write("three.pdf", zeph::test::PdfOfPages(ThreePages()));
    ExpectThreePages(Path("three.pdf"), Path("three.pdf") + ": EAN-13: 5901234123457\n");
    // At a resolution other than the page's pictures the symbols still read.
    const ScanRun low =
        RunZephScan({"-dpi", "200", "-pages", "all", "-format", "text", Path("three.pdf")});
    EXPECT_EQ(Count(low.output, "\n"), 3u) << low.output;
}

TEST_F(ZephScanRun, PhonePhotosReadLikeTheirJpeg) {
    ImageOptions o;
    o.data = "400638133393";
    o.moduleSize = 4;
    o.angle = 8;
    o.canvasWidth = 900;
    o.canvasHeight = 600;
    o.noise = 12;
    o.blurSigma = 0.8;
    const Image photo = zeph::test::RenderBarcode(o);
    Write("photo.jpg", zeph::test::JpegOfImage(photo, 90));
    const FileBytes heic = zeph::test::HeifOfImage(photo, zeph::test::PhoneCoding::Hevc);
    const FileBytes avif = zeph::test::HeifOfImage(photo, zeph::test::PhoneCoding::Av1);
    ASSERT_FALSE(heic.empty()) << "libheif has no HEVC encoder";
    ASSERT_FALSE(avif.empty()) << "libheif has no AV1 encoder";
    Write("photo.heic", heic);
    Write("photo.avif", avif);
    const ScanRun run =
        RunZephScan({"-format", "text", Path("photo.jpg"), Path("photo.heic"), Path("photo.avif")});
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const char* name : {"photo.jpg", "photo.heic", "photo.avif"})
        EXPECT_NE(run.output.find(Path(name) + ": EAN-13: 4006381333931\n"), std::string::npos)
            << name << "\n"
            << run.output;
}

TEST_F(ZephScanRun, TruncatedAndHostileDocumentsAreFailedOpensWithAReason) {
    const Image page = Symbol(BARCODE_EANX, "590123412345");
    std::vector<std::pair<std::string, FileBytes>> files;
    const FileBytes heic = zeph::test::HeifOfImage(page, zeph::test::PhoneCoding::Hevc);
    const FileBytes avif = zeph::test::HeifOfImage(page, zeph::test::PhoneCoding::Av1);
    const FileBytes pdf = zeph::test::PdfOfPages({page});
    for (const auto& [name, whole] : {std::pair{"heic", heic}, {"avif", avif}, {"pdf", pdf}}) {
        ASSERT_FALSE(whole.empty()) << name;
        files.push_back({std::string("half.") + name,
                         FileBytes(whole.begin(), whole.begin() + whole.size() / 2)});
        files.push_back(
            {std::string("head.") + name, FileBytes(whole.begin(), whole.begin() + 40)});
        FileBytes noisy = whole;
        for (size_t i = whole.size() / 3; i < whole.size(); i += 7)
            noisy[i] = uint8_t(noisy[i] * 31 + 17);
        files.push_back({std::string("noisy.") + name, noisy});
    }
    // A PDF whose page claims a square mile, and one whose objects point nowhere.
    std::string huge(pdf.begin(), pdf.end());
    const size_t box = huge.find("/MediaBox [");
    ASSERT_NE(box, std::string::npos);
    huge.replace(box, huge.find(']', box) - box, "/MediaBox [0 0 4500000 4500000");
    files.push_back({"huge.pdf", FileBytes(huge.begin(), huge.end())});
    const std::string broken =
        "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 9 0 R >> endobj\n"
        "trailer << /Root 1 0 R /Size 2 >>\n%%EOF\n";
    files.push_back({"broken.pdf", FileBytes(broken.begin(), broken.end())});
    std::vector<std::string> paths;
    for (const auto& [name, bytes] : files) {
        Write(name, bytes);
        paths.push_back(Path(name));
    }
    const ScanRun version = RunZephScan({"--version"});
    const bool pdfRead = version.output.find("poppler") != std::string::npos;
    const ScanRun run = RunZephScan(paths);
    EXPECT_EQ(run.status, 3);
    for (const std::string& path : paths) {
        if (!pdfRead && path.ends_with(".pdf")) continue;
        const size_t block = run.output.find("<FileName>" + path + "</FileName>");
        ASSERT_NE(block, std::string::npos) << path;
        const std::string failed = "ERROR: Failed to open " + path;
        // Noise in the coded pixels may still give a picture; the rest must not.
        if (path.find("noisy") != std::string::npos &&
            run.output.find(failed, block) == std::string::npos) {
            continue;
        }
        EXPECT_NE(run.output.find(failed, block), std::string::npos) << path;
        EXPECT_NE(run.errors.find(path + ": "), std::string::npos) << path << "\n" << run.errors;
    }
    if (pdfRead) {
        EXPECT_NE(run.errors.find(Path("huge.pdf") + ": image too large"), std::string::npos)
            << run.errors;
    }
}

TEST_F(ZephScanRun, AReaderThatGoesAwayEndsTheRun) {
    // More report than a pipe holds: the run must end when the reader of its
    // report closes, long before the last file, and say so in its status.
    std::vector<std::string> files;
    for (int i = 0; i < 1000; ++i) {
        const std::string name = "p" + std::to_string(1000 + i) + ".txt";
        Write(name, FileBytes{'n', 'o'});
        files.push_back(Path(name));
    }
    ScanInput input;
    input.readOutput = [](int fd) {
        char head[100];
        size_t got = 0;
        while (got < sizeof head) {
            const ssize_t n = read(fd, head + got, sizeof head - got);
            if (n <= 0) break;
            got += size_t(n);
        }
        close(fd);
    };
    std::vector<std::string> args = {"-threads", "1"};
    args.insert(args.end(), files.begin(), files.end());
    const ScanRun run = RunZephScan(args, input);
    EXPECT_EQ(run.status, 4);
    // Each file that was read said why it failed; the last ones never were.
    EXPECT_EQ(run.errors.find(files.back()), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("cannot write"), std::string::npos) << "a reader gone needs no word";
}

TEST_F(ZephScanRun, ProgressLinesOnStandardError) {
    for (int i = 0; i < 3; ++i)
        Write("q" + std::to_string(i) + ".jpg",
              zeph::test::JpegOfImage(zeph::test::BlankImage(30, 20)));
    const ScanRun run = RunZephScan({"-progress", "1", "-format", "text", Path("*.jpg")});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.errors.find("ZephScan: 3 of 3 files, "), std::string::npos) << run.errors;
    EXPECT_EQ(RunZephScan({"-format", "text", Path("*.jpg")}).errors, "") << "off by default";
}

}  // namespace
