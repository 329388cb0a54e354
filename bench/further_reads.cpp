// Read rates of the further symbologies: each drawn by libzint at 1.5 to 4
// pixels per module, turned, blurred and through JPEG, read by the extended
// search with its own bit; the Telepen photos of the corpus beside the
// repository; and what every new bit reads where there is no barcode (the
// generated clutter set and the corpus's falsepositives sets).
//
//     further_reads [CORPUS_DIR]
//
// CORPUS_DIR defaults to ../shared/corpus beside the repository; its sibling
// corpus-extra holds telepen-1. Reports; never fails.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reader.h"
#include "tests/support/clutter_renderer.h"
#include "tests/support/corpus.h"
#include "tests/support/image_renderer.h"

namespace {

using namespace zeph::test;
namespace fs = std::filesystem;

constexpr int32_t kEveryNewBit = kDefaultProtocolMask | kTelepen | kCode11 | kMsi | kPlessey |
                                 kIndustrial2of5 | kIata2of5 | kMatrix2of5 | kDatalogic2of5 |
                                 kPharmacode | kCode32 | kPzn | kItf14 | kTelepenNumeric;

struct Symbol {
    const char* name;
    int symbology;
    const char* input;
    int option2;
    int32_t mask;
    const char* data;  // the record's data text
};

constexpr Symbol kSymbols[] = {
    {"Telepen", BARCODE_TELEPEN, "Telepen 42", 0, kTelepen, "Telepen 42"},
    {"Telepen numeric", BARCODE_TELEPEN_NUM, "0123456789", 0, kTelepen, "0123456789"},
    // 5678 reads as the ASCII "Si" without the numeric label's bit.
    {"Telepen num. label", BARCODE_TELEPEN_NUM, "5678", 0, kTelepenNumeric, "5678"},
    {"Code 11", BARCODE_CODE11, "8021-337", 0, kCode11, "8021-33701"},
    {"MSI (mod 10)", BARCODE_MSI_PLESSEY, "80524", 1, kMsi, "805242"},
    {"MSI (mod 11/10)", BARCODE_MSI_PLESSEY, "1234", 4, kMsi, "123430"},
    {"UK Plessey", BARCODE_PLESSEY, "C0FFEE42", 0, kPlessey, "C0FFEE42"},
    {"Industrial 2 of 5", BARCODE_C25IND, "4006381", 0, kIndustrial2of5, "4006381"},
    {"IATA 2 of 5", BARCODE_C25IATA, "0125551234", 0, kIata2of5, "0125551234"},
    {"Matrix 2 of 5", BARCODE_C25STANDARD, "90210", 0, kMatrix2of5, "90210"},
    {"Datalogic 2 of 5", BARCODE_C25LOGIC, "31415926", 0, kDatalogic2of5, "31415926"},
    {"Pharmacode", BARCODE_PHARMA, "5678", 0, kPharmacode, "5678"},
    {"Code 32", BARCODE_CODE32, "12345678", 0, kCode39 | kCode32, "123456788"},
    {"PZN", BARCODE_PZN, "1234567", 0, kCode39 | kPzn, "12345678"},
    {"ITF-14", BARCODE_ITF14, "1234567890123", 0, kInterleaved2of5 | kItf14, "12345678901231"},
};

struct Search {
    ReaderConfigPtr config = XR_ParseConfig("");
    std::vector<MatchRecord> records = std::vector<MatchRecord>(kMaxMatches);
    GreyRaster raster;

    int Run(const GreyRaster& picture, int32_t mask) {
        config->protocolMask = mask;
        return XR_SearchExtended(picture.Values(), picture.height, picture.width, kMaxGrey,
                                 config.get(), records, kMaxMatches, true);
    }
    int Run(const Image& image, int32_t mask) {
        if (XR_RasterFromBgrRows(image.Bytes(), image.width, image.height, image.stride, raster) !=
            1) {
            return -1;
        }
        return Run(raster, mask);
    }
};

struct Tally {
    int tried = 0;
    int right = 0;
    int wrong = 0;
};

void Count(Search& search, int count, const std::string& want, Tally& tally) {
    ++tally.tried;
    if (count <= 0) return;
    bool right = false;
    for (int i = 0; i < count; ++i)
        right = right || XR_TextOf(search.records[static_cast<size_t>(i)].data) == want;
    if (right && count == 1)
        ++tally.right;
    else
        ++tally.wrong;
}

void Renders(Search& search) {
    std::printf("%-18s %-9s %-26s %-26s\n", "symbology", "2 px", "1.5-4 px, turned, blurred",
                "same through JPEG 60");
    for (const Symbol& s : kSymbols) {
        Tally upright, varied, jpeg;
        for (const double size : {1.5, 2.0, 2.5, 3.0, 4.0}) {
            for (const double angle : {0.0, 5.0, 17.0, 45.0, 62.0, 90.0, 180.0, 271.0, 333.0}) {
                // A Pharmacode turned half round is read from its other end,
                // and one standing upright not at all.
                if (s.symbology == BARCODE_PHARMA && angle >= 70 && angle <= 290) continue;
                for (const double blur : {0.0, 0.7}) {
                    for (const int quality : {0, 60}) {
                        ImageOptions o;
                        o.symbology = s.symbology;
                        o.data = s.input;
                        o.option2 = s.option2;
                        if (s.symbology == BARCODE_ITF14) o.modules = SymbolModules(o);
                        o.moduleSize = size;
                        o.heightModules = 30;
                        o.angle = angle;
                        o.blurSigma = blur;
                        o.jpegQuality = quality;
                        const int count = search.Run(RenderBarcode(o), s.mask);
                        Tally& t = quality > 0 ? jpeg : varied;
                        Count(search, count, s.data, t);
                        if (size == 2.0 && angle == 0.0 && blur == 0.0 && quality == 0)
                            Count(search, count, s.data, upright);
                    }
                }
            }
        }
        const auto cell = [](const Tally& t) {
            return std::to_string(t.right) + "/" + std::to_string(t.tried) +
                   (t.wrong ? " (" + std::to_string(t.wrong) + " wrong)" : "");
        };
        std::printf("%-18s %-9s %-26s %-26s\n", s.name, cell(upright).c_str(), cell(varied).c_str(),
                    cell(jpeg).c_str());
    }
}

// zint's numeric Telepen has no DLE: the digits are read as such where their
// ASCII reading is no text. Random eight-digit numbers and random words of
// letters and digits, at 2 pixels per module.
void TelepenModes(Search& search) {
    std::mt19937 rng(7);
    Tally digits, words, labels;
    int asAscii = 0;
    for (int i = 0; i < 100; ++i) {
        const bool numeric = i % 2 == 0;
        std::string text;
        constexpr std::string_view kWord = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int c = 0; c < 8; ++c) {
            text += numeric ? char('0' + rng() % 10) : kWord[rng() % kWord.size()];
        }
        ImageOptions o;
        o.symbology = numeric ? BARCODE_TELEPEN_NUM : BARCODE_TELEPEN;
        o.data = text;
        o.moduleSize = 2;
        const int count = search.Run(RenderBarcode(o), kTelepen);
        Count(search, count, text, numeric ? digits : words);
        if (numeric && count == 1 && XR_TextOf(search.records[0].barcodeType) == "ASCII") ++asAscii;
        // The same symbols as numeric labels.
        if (numeric) Count(search, search.Run(RenderBarcode(o), kTelepenNumeric), text, labels);
    }
    std::printf(
        "\nTelepen without a DLE: numeric renders %d/%d as their digits (%d read as ASCII, "
        "the digits in the descriptor); ASCII words %d/%d; numeric renders as numeric labels "
        "(33554432) %d/%d, %d wrong\n",
        digits.right, digits.tried, asAscii, words.right, words.tried, labels.right, labels.tried,
        labels.wrong);
}

std::string Expected(const fs::path& png) {
    std::ifstream file(fs::path(png).replace_extension(".txt"));
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void TelepenPhotos(Search& search, const fs::path& set) {
    if (!fs::is_directory(set)) {
        std::printf("\n%s: not found\n", set.c_str());
        return;
    }
    std::vector<fs::path> files;
    for (const auto& f : fs::directory_iterator(set)) {
        if (f.path().extension() == ".png") files.push_back(f.path());
    }
    std::sort(files.begin(), files.end());
    Tally tally;
    std::printf("\n%s, default mask of the extended search (%d):\n", set.c_str(),
                kExtendedDefaultMask);
    for (const fs::path& file : files) {
        if (!LoadCorpusImage({file.filename().string(), file.string()}, search.raster)) continue;
        const int count = search.Run(search.raster, kExtendedDefaultMask);
        Count(search, count, Expected(file), tally);
        std::printf("  %-24s %s\n", file.filename().c_str(),
                    count > 0 ? std::string(XR_TextOf(search.records[0].data)).c_str() : "-");
    }
    std::printf("  read %d of %d, %d wrong\n", tally.right, tally.tried, tally.wrong);
}

void NoBarcodes(Search& search, const fs::path& corpus) {
    int pictures = 0;
    int reads = 0;
    for (int kind = 0; kind < kClutterKinds; ++kind) {
        for (uint32_t seed = 1; seed <= 50; ++seed) {
            const int count =
                search.Run(ClutterImage(static_cast<Clutter>(kind), seed), kEveryNewBit);
            ++pictures;
            reads += count > 0 ? count : 0;
        }
    }
    std::printf("\nEvery new bit (%d): clutter set %d pictures, %d reads", kEveryNewBit, pictures,
                reads);
    int photos = 0;
    reads = 0;
    for (const CorpusImage& image : CorpusImages(corpus.string())) {
        if (!image.name.starts_with("falsepositives-")) continue;
        if (!LoadCorpusImage(image, search.raster)) continue;
        const int count = search.Run(search.raster, kEveryNewBit);
        ++photos;
        reads += count > 0 ? count : 0;
    }
    std::printf("; falsepositives sets %d photos, %d reads\n", photos, reads);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "-h" || first == "--help" || argc > 2) {
        std::fprintf(argc > 2 ? stderr : stdout, "usage: further_reads [CORPUS_DIR]\n");
        return argc > 2 ? 2 : 0;
    }
    const std::optional<std::string> found =
        argc > 1 ? std::optional<std::string>(argv[1]) : FindCorpus();
    std::error_code error;
    if (found && !fs::is_directory(*found, error)) {
        std::fprintf(stderr, "further_reads: %s: no such folder\n", found->c_str());
        return 2;
    }
    Search search;
    if (!search.config) return 1;
    Renders(search);
    TelepenModes(search);
    if (!found) {
        std::printf("\nno corpus beside the repository\n");
        return 0;
    }
    const fs::path corpus(*found);
    TelepenPhotos(search, corpus.parent_path() / "corpus-extra" / "telepen-1");
    NoBarcodes(search, corpus);
    return 0;
}
