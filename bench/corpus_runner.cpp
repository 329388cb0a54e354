// Reads every image of the real-photo corpus with the engine's search and with
// the extended search, and scores the reads against the expected texts: reads,
// partial reads, false positives (reads where no barcode is), wrong texts and
// time per image. The peers run on the same images in the same run: zbarimg
// from PATH, ZXingReader from the peers folder beside the corpus
// (../shared/peers) or else from PATH. It reports and never fails: the exit
// code is non-zero only when the corpus cannot be found.
//
// With --zephscan the console program itself runs on every image too, as a
// child process like the peers, and its report is scored beside theirs; it is
// found beside this program's build folder unless a path is given.
//
// The corpus of further symbologies (../shared/corpus-extra beside the corpus:
// GS1 DataBar, Telepen) is read the same way after it and reported on tables
// of its own; --extra=DIR names another, --no-extra leaves it out.
//
//   corpus_runner [CORPUS_DIR] [--standard] [--no-peers] [--zephscan[=PATH]]
//                 [--config=SETTINGS] [--extra=DIR | --no-extra] [--verbose]
//
// --standard runs the standard search (and its extended flavour) instead of
// the thorough one.

#include <png.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reader.h"
#include "imaging/grey_rows.h"
#include "imaging/image_loading.h"
#include "imaging/png_reading.h"

namespace {

namespace fs = std::filesystem;
namespace imaging = zeph::imaging;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// ---------------------------------------------------------------------------
// Command line and corpus discovery

struct Options {
    fs::path corpus;
    bool standard = false;
    bool peers = true;
    bool verbose = false;
    std::optional<fs::path> zephScan;  // set: run the console program as well
    std::string settings;              // the engine's configuration string
    std::optional<fs::path> extra;     // the corpus of further symbologies, if any
    bool noExtra = false;
    // Each picture also decoded by libpng alone, its raster compared.
    bool checkDecode = false;
    // The heap set up as ZephScan sets it, keeping what pictures free.
    bool keepFreed = false;
};

// The corpus lives beside the repository (../shared/corpus from its root); the
// root is the first ancestor holding engine/reader.h.
std::optional<fs::path> FindDefaultCorpus() {
    std::vector<fs::path> starts;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) starts.push_back(exe.parent_path());
    const fs::path cwd = fs::current_path(ec);
    if (!ec) starts.push_back(cwd);
    for (fs::path dir : starts) {
        while (!dir.empty()) {
            if (fs::exists(dir / "engine" / "reader.h", ec)) {
                const fs::path corpus = dir.parent_path() / "shared" / "corpus";
                if (fs::is_directory(corpus, ec)) return corpus;
            }
            if (dir == dir.root_path()) break;
            dir = dir.parent_path();
        }
    }
    return std::nullopt;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--standard") {
            options.standard = true;
        } else if (arg == "--no-peers") {
            options.peers = false;
        } else if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg.starts_with("--config=")) {
            options.settings = arg.substr(std::string_view("--config=").size());
        } else if (arg.starts_with("--extra=")) {
            options.extra = fs::path(arg.substr(std::string_view("--extra=").size()));
        } else if (arg == "--no-extra") {
            options.noExtra = true;
        } else if (arg == "--check-decode") {
            options.checkDecode = true;
        } else if (arg == "--keep-freed") {
            options.keepFreed = true;
        } else if (arg == "--zephscan") {
            options.zephScan = fs::path();
        } else if (arg.starts_with("--zephscan=")) {
            options.zephScan = fs::path(arg.substr(std::string_view("--zephscan=").size()));
        } else if (arg == "--help" || arg == "-h") {
            std::printf(
                "usage: %s [CORPUS_DIR] [--standard] [--no-peers] [--zephscan[=PATH]] "
                "[--config=SETTINGS] [--extra=DIR | --no-extra] [--check-decode] [--keep-freed] "
                "[--verbose]\n",
                argv[0]);
            std::exit(0);
        } else {
            options.corpus = arg;
        }
    }
    if (options.corpus.empty()) {
        const auto found = FindDefaultCorpus();
        if (!found) {
            std::fprintf(stderr, "corpus_runner: no corpus found; pass its folder\n");
            return std::nullopt;
        }
        options.corpus = *found;
    }
    if (!fs::is_directory(options.corpus)) {
        std::fprintf(stderr, "corpus_runner: %s is not a folder\n", options.corpus.c_str());
        return std::nullopt;
    }
    if (options.noExtra) {
        options.extra.reset();
    } else if (!options.extra) {
        std::error_code ec;
        const fs::path beside = fs::absolute(options.corpus, ec).parent_path() / "corpus-extra";
        if (!ec && fs::is_directory(beside, ec)) options.extra = beside;
    } else if (!fs::is_directory(*options.extra)) {
        std::fprintf(stderr, "corpus_runner: %s is not a folder\n", options.extra->c_str());
        return std::nullopt;
    }
    if (options.zephScan && options.zephScan->empty()) {
        // bench/corpus_runner and cli/ZephScan share the build folder.
        std::error_code ec;
        const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
        if (!ec) options.zephScan = exe.parent_path().parent_path() / "cli" / "ZephScan";
    }
    if (options.zephScan && access(options.zephScan->c_str(), X_OK) != 0) {
        std::fprintf(stderr, "corpus_runner: no ZephScan program at %s\n",
                     options.zephScan->c_str());
        return std::nullopt;
    }
    return options;
}

// ---------------------------------------------------------------------------
// Corpus sets

// The expected-text conventions differ by symbology, so each set is judged by
// the symbology its folder name starts with.
enum class SetKind {
    kEanUpc,
    kCode128,
    kCode39,
    kCode93,
    kItf,
    kCodabar,
    kDataBar,
    kTelepen,
    kFalsePositives,
    kOther
};

SetKind KindOf(std::string_view name) {
    auto starts = [name](std::string_view prefix) { return name.starts_with(prefix); };
    if (starts("falsepositives")) return SetKind::kFalsePositives;
    if (starts("rss") || starts("databar")) return SetKind::kDataBar;
    if (starts("telepen")) return SetKind::kTelepen;
    if (starts("ean") || starts("upc")) return SetKind::kEanUpc;
    if (starts("code128")) return SetKind::kCode128;
    if (starts("code39")) return SetKind::kCode39;
    if (starts("code93")) return SetKind::kCode93;
    if (starts("itf")) return SetKind::kItf;
    if (starts("codabar")) return SetKind::kCodabar;
    return SetKind::kOther;
}

struct CorpusImage {
    fs::path png;
    std::string expected;  // empty: no barcode expected
};

struct CorpusSet {
    std::string name;
    SetKind kind = SetKind::kOther;
    std::vector<CorpusImage> images;
};

// Texts are compared byte for byte; only the line end a text file may carry is
// dropped (leading and trailing spaces can belong to the symbol).
std::string ReadExpected(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::vector<CorpusSet> LoadCorpus(const fs::path& root) {
    std::vector<CorpusSet> sets;
    for (const auto& entry : fs::directory_iterator(root)) {
        if (!entry.is_directory()) continue;
        CorpusSet set;
        set.name = entry.path().filename().string();
        set.kind = KindOf(set.name);
        for (const auto& file : fs::directory_iterator(entry.path())) {
            if (file.path().extension() != ".png") continue;
            fs::path txt = file.path();
            txt.replace_extension(".txt");
            set.images.push_back({file.path(), fs::exists(txt) ? ReadExpected(txt) : ""});
        }
        std::sort(set.images.begin(), set.images.end(),
                  [](const CorpusImage& a, const CorpusImage& b) { return a.png < b.png; });
        if (!set.images.empty()) sets.push_back(std::move(set));
    }
    std::sort(sets.begin(), sets.end(),
              [](const CorpusSet& a, const CorpusSet& b) { return a.name < b.name; });
    return sets;
}

// ---------------------------------------------------------------------------
// PNG decoding

struct BgrImage {
    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;
    std::vector<uint8_t> rows;  // bottom row first
};

// Frees libpng's state on every path out of DecodePng.
struct PngImageGuard {
    png_image* image;
    ~PngImageGuard() { png_image_free(image); }
};

std::optional<BgrImage> DecodePng(const fs::path& path, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    PngImageGuard guard{&image};
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = image.message;
        return std::nullopt;
    }
    image.format = PNG_FORMAT_BGR;
    BgrImage out;
    out.width = static_cast<int32_t>(image.width);
    out.height = static_cast<int32_t>(image.height);
    // Rows padded to 4 bytes, as device-independent bitmaps are, so the stride
    // argument is exercised.
    out.stride = (static_cast<size_t>(image.width) * 3 + 3) & ~size_t{3};
    out.rows.resize(out.stride * image.height);
    // Transparent pixels are laid on white paper.
    const png_color white{255, 255, 255};
    // A negative stride asks libpng for the bottom row first.
    if (!png_image_finish_read(&image, &white, out.rows.data(),
                               -static_cast<png_int_32>(out.stride), nullptr)) {
        error = image.message;
        return std::nullopt;
    }
    return out;
}

// The picture as the library reads a file: the image loading's decoder
// writing grey values straight into the raster.
bool DecodeToRaster(const fs::path& path, GreyRaster& raster, std::string& error) {
    imaging::GreySink sink([&](int32_t width, int32_t height) -> int32_t* {
        return XR_RasterResize(width, height, raster) == 1 ? raster.values.get() : nullptr;
    });
    imaging::ImagePages pages = imaging::ImagePages::OfFile(path.string());
    const imaging::PageResult page = pages.NextInto(sink);
    if (!page.page) error = page.error.empty() ? "no picture" : page.error;
    return page.page;
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// How the rasters of --check-decode compared.
struct DecodeCheck {
    int checked = 0;
    int differ = 0;         // from libpng's reading, as the image loading read PNG before
    int differFromOwn = 0;  // from this runner's former reading (transparency on white)
};

bool SameRaster(const GreyRaster& a, const GreyRaster& b) {
    return a.width == b.width && a.height == b.height &&
           std::equal(a.values.get(), a.values.get() + a.size, b.values.get());
}

void CheckDecode(const fs::path& path, const GreyRaster& raster, DecodeCheck& check) {
    const auto bytes = ReadBytes(path);
    std::string error;
    GreyRaster reference;
    const auto libpng = imaging::detail::ReadPngWithLibpng(bytes, error);
    const bool same = libpng &&
                      XR_RasterFromBgrRows({libpng->pixels.get(), libpng->Size()}, libpng->width,
                                           libpng->height, libpng->stride, reference) == 1 &&
                      SameRaster(raster, reference);
    const auto own = DecodePng(path, error);
    const bool sameAsOwn =
        own &&
        XR_RasterFromBgrRows(own->rows, own->width, own->height, own->stride, reference) == 1 &&
        SameRaster(raster, reference);
    ++check.checked;
    check.differ += same ? 0 : 1;
    check.differFromOwn += sameAsOwn ? 0 : 1;
    if (!same || !sameAsOwn) {
        std::printf("  decode check: %s differs from %s\n", path.c_str(),
                    !same ? "libpng's reading" : "the runner's former reading");
    }
}

// A white image for timing the peers' process start-up.
bool WriteBlankPng(const fs::path& path) {
    constexpr int kSide = 8;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kSide;
    image.height = kSide;
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> pixels(kSide * kSide, 255);
    const int ok = png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr);
    png_image_free(&image);
    return ok != 0;
}

// ---------------------------------------------------------------------------
// Normalisation and judging

struct Reading {
    std::string format;  // symbology name as the reader reports it
    std::string text;
};

bool IsEanUpcFormat(std::string_view format) {
    return format.starts_with("EAN") || format.starts_with("UPC") || format.starts_with("JAN") ||
           format.starts_with("ISBN");
}

bool IsAddOnOnly(std::string_view format) {
    return format == "EAN-2" || format == "EAN-5" || format == "UPC Supplemental";
}

// UPC-E symbol digits n d1..d6 c to the 12-digit UPC-A number.
std::string ExpandUpcE(std::string_view e) {
    const std::string_view n = e.substr(0, 1), d = e.substr(1, 6), c = e.substr(7, 1);
    std::string a(n);
    switch (d[5]) {
        case '0':
        case '1':
        case '2':
            a.append(d.substr(0, 2)).append(1, d[5]).append("0000").append(d.substr(2, 3));
            break;
        case '3':
            a.append(d.substr(0, 3)).append("00000").append(d.substr(3, 2));
            break;
        case '4':
            a.append(d.substr(0, 4)).append("00000").append(d.substr(4, 1));
            break;
        default:
            a.append(d.substr(0, 5)).append("0000").append(1, d[5]);
            break;
    }
    return a.append(c);
}

// EAN/UPC readings in the corpus form: 13-digit main (UPC-A and UPC-E
// expanded, with a leading 0) and the add-on digits run on without separator.
std::string CanonicalEanUpc(std::string_view format, std::string_view text) {
    std::vector<std::string> groups;  // runs of digits; other characters separate them
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (!digits.empty()) {
            groups.push_back(std::move(digits));
            digits.clear();
        }
    }
    if (!digits.empty()) groups.push_back(std::move(digits));
    if (groups.empty()) return std::string(text);
    std::string& main = groups.front();
    if (format.starts_with("UPC-E") && main.size() == 8) main = "0" + ExpandUpcE(main);
    if (format.starts_with("UPC-A") && main.size() == 12) main = "0" + main;
    std::string out;
    for (const auto& g : groups)
        out += g;
    return out;
}

// Control characters (and their angle-bracket escapes, such as ZXing's <GS>)
// and function-character bytes (0x80 and above) separate GS1 fields; the corpus
// texts leave them out.
std::string DropControls(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char u = static_cast<unsigned char>(text[i]);
        if (u < 0x20 || u >= 0x80) continue;
        if (text[i] == '<') {
            const size_t close = text.find('>', i);
            if (close != std::string_view::npos && close - i >= 3 && close - i <= 4) {
                const std::string_view tag = text.substr(i + 1, close - i - 1);
                if (std::all_of(tag.begin(), tag.end(),
                                [](char c) { return c >= 'A' && c <= 'Z'; })) {
                    i = close;
                    continue;
                }
            }
        }
        out += text[i];
    }
    return out;
}

// GS1 element strings in the corpus form (the corpus-extra README): no
// parentheses, no separator first or last, the group separator (29) after a
// field of variable length that another follows and nowhere else. FNC1 as
// this engine gives it (0xFF), ZXing's <GS>, the console program's "#" and
// the byte 29 itself all stand for it.
std::string Gs1Canonical(std::string_view text) {
    constexpr char kGs = 29;
    std::string t;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char u = static_cast<unsigned char>(text[i]);
        if (text.substr(i).starts_with("<GS>")) {
            t += kGs;
            i += 3;
        } else if (u == 0xFF || text[i] == '#' || u == 29) {
            t += kGs;
        } else {
            t += text[i];
        }
    }
    // Identifiers of predefined length (by their first two digits) need no
    // separator after them.
    const auto predefined = [](std::string_view ai) -> size_t {
        static const std::pair<std::string_view, size_t> kLengths[] = {
            {"00", 20}, {"01", 16}, {"02", 16}, {"03", 16}, {"04", 18}, {"11", 8},
            {"12", 8},  {"13", 8},  {"14", 8},  {"15", 8},  {"16", 8},  {"17", 8},
            {"18", 8},  {"19", 8},  {"20", 4},  {"31", 10}, {"32", 10}, {"33", 10},
            {"34", 10}, {"35", 10}, {"36", 10}, {"41", 16}};
        for (const auto& [prefix, length] : kLengths) {
            if (ai == prefix) return length;
        }
        return 0;
    };
    std::string out;
    size_t p = 0;
    while (p < t.size()) {
        if (t[p] == kGs) {
            ++p;
            continue;
        }
        const size_t length = predefined(std::string_view(t).substr(p, 2));
        if (length > 0) {
            out += t.substr(p, length);
            p += length;
            continue;
        }
        const size_t gs = t.find(kGs, p);
        if (gs == std::string::npos) {
            out += t.substr(p);
            break;
        }
        out += t.substr(p, gs - p);
        out += kGs;
        p = gs + 1;
    }
    while (!out.empty() && out.back() == kGs)
        out.pop_back();
    return out;
}

std::string Canonical(const Reading& r) {
    if (IsEanUpcFormat(r.format)) return CanonicalEanUpc(r.format, r.text);
    return r.text;
}

bool IsCodabarGuard(char c) {
    return std::string_view("ABCDTNE*abcdtne").find(c) != std::string_view::npos;
}

// Whether a canonical reading is the expected text, lenient only where the
// corpus conventions leave a part out or put one in.
bool IsExpected(SetKind kind, std::string_view got, std::string_view expected) {
    if (expected.empty()) return false;
    if (got == expected) return true;
    switch (kind) {
        case SetKind::kCode39:
        case SetKind::kItf:
            // The corpus leaves out an optional check character we may report.
            return got.size() == expected.size() + 1 && got.starts_with(expected);
        case SetKind::kCode93:
            // Code 93 carries two check characters.
            return (got.size() == expected.size() + 1 || got.size() == expected.size() + 2) &&
                   got.starts_with(expected);
        case SetKind::kCodabar: {
            // The corpus keeps the start and stop letters; a reader may drop them
            // or report them in lower case.
            if (expected.size() < 2 || !IsCodabarGuard(expected.front()) ||
                !IsCodabarGuard(expected.back()))
                return false;
            if (got == expected.substr(1, expected.size() - 2)) return true;
            if (got.size() != expected.size()) return false;
            std::string upper(got);
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return upper == expected;
        }
        case SetKind::kCode128: {
            if (DropControls(got) == DropControls(expected)) return true;
            // The console program's report shows control and function bytes as "#".
            std::string shown = DropControls(got);
            std::erase(shown, '#');
            return shown == DropControls(expected);
        }
        case SetKind::kDataBar:
            return Gs1Canonical(got) == Gs1Canonical(expected);
        case SetKind::kEanUpc: {
            // Sets without add-ons leave out an add-on printed beside the main
            // symbol; reading it too is not a misread.
            if (got.size() <= expected.size()) return false;
            const size_t extra = got.size() - expected.size();
            return (extra == 2 || extra == 5) && got.starts_with(expected);
        }
        default:
            return false;
    }
}

// The main symbol without its add-on, or the add-on alone: a partial read of
// the right barcode, neither a read nor a misread.
bool IsPartial(SetKind kind, std::string_view got, std::string_view expected) {
    if (kind != SetKind::kEanUpc || got.empty() || got.size() >= expected.size()) return false;
    const size_t rest = expected.size() - got.size();
    if ((rest == 2 || rest == 5) && expected.starts_with(got)) return true;
    return (got.size() == 2 || got.size() == 5) && expected.ends_with(got);
}

// Peers report an add-on as a symbol of its own; it is joined to the main
// symbol found in the same image, as this engine reports the pair.
std::vector<Reading> JoinAddOns(std::vector<Reading> readings) {
    std::vector<Reading> mains, addOns, out;
    for (auto& r : readings) {
        if (IsAddOnOnly(r.format))
            addOns.push_back(std::move(r));
        else if (IsEanUpcFormat(r.format))
            mains.push_back(std::move(r));
        else
            out.push_back(std::move(r));
    }
    if (mains.empty()) {
        out.insert(out.end(), addOns.begin(), addOns.end());
    } else {
        for (const auto& m : mains) {
            out.push_back(m);
            for (const auto& a : addOns)
                out.push_back({m.format, m.text + " " + a.text});
        }
    }
    return out;
}

struct Verdict {
    bool read = false;
    int partial = 0;
    int falsePositives = 0;          // reads of an image that holds no barcode
    int wrong = 0;                   // reads of a labelled image that are not its barcode
    std::vector<std::string> texts;  // canonical, distinct

    bool Invented() const { return falsePositives + wrong > 0; }
};

Verdict Judge(SetKind kind, const std::vector<Reading>& readings, std::string_view expected) {
    Verdict v;
    for (const auto& r : readings) {
        std::string text = Canonical(r);
        if (std::find(v.texts.begin(), v.texts.end(), text) != v.texts.end()) continue;
        v.texts.push_back(text);
        if (kind == SetKind::kFalsePositives || expected.empty()) {
            ++v.falsePositives;
        } else if (IsExpected(kind, text, expected)) {
            v.read = true;
        } else if (IsPartial(kind, text, expected)) {
            ++v.partial;
        } else {
            ++v.wrong;
        }
    }
    return v;
}

// ---------------------------------------------------------------------------
// Peer readers, run as child processes

struct PipeCloser {
    void operator()(FILE* f) const { pclose(f); }
};
using Pipe = std::unique_ptr<FILE, PipeCloser>;

std::string RunCommand(const std::string& command) {
    Pipe pipe(popen(command.c_str(), "r"));
    if (!pipe) return {};
    std::string out;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        out.append(buffer, n);
    return out;
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

bool OnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::stringstream dirs(path);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) continue;
        const fs::path candidate = fs::path(dir) / name;
        if (access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

struct Peer {
    std::string label;
    std::function<std::string(const fs::path&)> command;  // the shell command for one image
    std::vector<Reading> (*parse)(const std::string& output, const fs::path& image);
    double startupMs = 0;
};

// Quiet mode keeps the "TYPE:" prefix, which says whether 8 digits are UPC-E;
// add-ons are switched on so the extension set is a fair comparison.
std::string ZbarCommand(const fs::path& image) {
    return "zbarimg -q --nodbus -Sean2.enable -Sean5.enable " + ShellQuote(image.string()) +
           " 2>/dev/null";
}

std::vector<Reading> ParseZbar(const std::string& output, const fs::path&) {
    std::vector<Reading> readings;
    for (const auto& line : Lines(output)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        readings.push_back({line.substr(0, colon), line.substr(colon + 1)});
    }
    return JoinAddOns(std::move(readings));
}

// ZXingReader 3.1.1 beside the corpus (../peers from the corpus folder),
// else whatever PATH holds; empty when neither has one.
std::string FindZxing(const fs::path& corpus) {
    std::error_code ec;
    const fs::path beside = fs::absolute(corpus, ec).parent_path() / "peers" / "ZXingReader";
    if (!ec && access(beside.c_str(), X_OK) == 0) return beside.string();
    return OnPath("ZXingReader") ? "ZXingReader" : "";
}

// One line per result: the file name, the format and the quoted text. It
// is given every linear format it reads, as this engine reads them by
// default.
std::function<std::string(const fs::path&)> ZxingCommand(const std::string& program) {
    return [program](const fs::path& image) {
        return ShellQuote(program) +
               " -formats Codabar,Code39,Code93,Code128,EAN-8,EAN-13,ITF,UPC-A,UPC-E,DataBar,"
               "DataBarExpanded,DataBarLimited,Telepen -1 " +
               ShellQuote(image.string()) + " 2>/dev/null";
    };
}

std::vector<Reading> ParseZxing(const std::string& output, const fs::path& image) {
    std::vector<Reading> readings;
    const std::string prefix = image.string() + " ";
    for (const auto& line : Lines(output)) {
        if (!line.starts_with(prefix)) continue;
        const std::string rest = line.substr(prefix.size());
        const size_t open = rest.find('"');
        const size_t close = rest.rfind('"');
        if (open == std::string::npos || close <= open) continue;  // "None" or an error
        std::string format = rest.substr(0, rest.find(' '));
        readings.push_back({std::move(format), rest.substr(open + 1, close - open - 1)});
    }
    return JoinAddOns(std::move(readings));
}

// The console program's report: one <BarcodeMatch> per read, its texts escaped.
std::string ElementText(std::string_view block, std::string_view name) {
    const std::string open = "<" + std::string(name) + ">";
    const std::string close = "</" + std::string(name) + ">";
    const size_t a = block.find(open);
    if (a == std::string_view::npos) return {};
    const size_t b = block.find(close, a);
    if (b == std::string_view::npos) return {};
    const std::string_view escaped = block.substr(a + open.size(), b - a - open.size());
    std::string text;
    for (size_t i = 0; i < escaped.size(); ++i) {
        bool replaced = false;
        for (const auto& [entity, c] : {std::pair{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}}) {
            if (escaped.substr(i).starts_with(entity)) {
                text += c;
                i += std::string_view(entity).size() - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced) text += escaped[i];
    }
    return text;
}

std::vector<Reading> ParseZephScan(const std::string& output, const fs::path&) {
    std::vector<Reading> readings;
    const std::string_view report = output;
    size_t at = 0;
    while ((at = report.find("<BarcodeMatch>", at)) != std::string_view::npos) {
        const size_t end = report.find("</BarcodeMatch>", at);
        if (end == std::string_view::npos) break;
        const std::string_view block = report.substr(at, end - at);
        readings.push_back({ElementText(block, "Symbology"), ElementText(block, "RawData")});
        at = end;
    }
    return readings;
}

// Median wall time of a run on a blank image: the start-up cost paid once per
// image, subtracted so the times compare decoding with decoding.
double MeasureStartup(const Peer& peer, const fs::path& blank) {
    std::vector<double> times;
    for (int i = 0; i < 11; ++i) {
        const auto start = Clock::now();
        RunCommand(peer.command(blank));
        times.push_back(MsSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// ---------------------------------------------------------------------------
// Tallies and the report

struct Tally {
    int images = 0;
    int expected = 0;
    int reads = 0;
    int partial = 0;
    int falsePositives = 0;
    int wrong = 0;
    int failures = 0;  // undecodable PNGs or search errors
    double ms = 0;
    double megapixels = 0;

    void Add(const Verdict& v, bool expectsRead) {
        ++images;
        expected += expectsRead ? 1 : 0;
        reads += v.read ? 1 : 0;
        partial += v.partial;
        falsePositives += v.falsePositives;
        wrong += v.wrong;
    }
    void operator+=(const Tally& o) {
        images += o.images;
        expected += o.expected;
        reads += o.reads;
        partial += o.partial;
        falsePositives += o.falsePositives;
        wrong += o.wrong;
        failures += o.failures;
        ms += o.ms;
        megapixels += o.megapixels;
    }
    double MsPerImage() const { return images ? ms / images : 0; }
    double MsPerMegapixel() const { return megapixels > 0 ? ms / megapixels : 0; }
};

// The engine's two readers: its own search, and the extended search after it.
enum Reader { kSearch, kExtended, kReaders };

struct SetResult {
    std::string name;
    std::array<Tally, kReaders> engine;
    std::vector<Tally> peers;
};

std::string ReadsCell(const Tally& t) {
    char cell[32];
    std::snprintf(cell, sizeof cell, "%d/%d", t.reads, t.expected);
    return cell;
}

std::string RatioCell(double peerMs, double ourMs) {
    if (ourMs <= 0) return "-";
    char cell[32];
    std::snprintf(cell, sizeof cell, "%.2fx", peerMs / ourMs);
    return cell;
}

void PrintOurTable(const std::vector<SetResult>& results, const std::array<Tally, kReaders>& total,
                   bool standard) {
    std::printf(
        "\nEngine: %s, then extended (XR_SearchExtended); FP = reads where no barcode "
        "is, wrong = reads of another text\n",
        standard ? "XR_Search (standard)" : "XR_SearchThorough");
    std::printf("%-20s %6s | %10s %7s %4s %5s %8s | %10s %7s %4s %5s %8s\n", "", "", "search", "",
                "", "", "", "extended", "", "", "", "");
    std::printf("%-20s %6s | %10s %7s %4s %5s %8s | %10s %7s %4s %5s %8s\n", "set", "images",
                "reads/exp", "partial", "FP", "wrong", "ms/img", "reads/exp", "partial", "FP",
                "wrong", "ms/img");
    auto row = [](const std::string& name, const std::array<Tally, kReaders>& t) {
        std::printf("%-20s %6d", name.c_str(), t[kSearch].images);
        for (const Tally& x : t)
            std::printf(" | %10s %7d %4d %5d %8.3f", ReadsCell(x).c_str(), x.partial,
                        x.falsePositives, x.wrong, x.MsPerImage());
        if (t[kSearch].failures) std::printf("  (%d failed)", t[kSearch].failures);
        std::printf("\n");
    };
    for (const auto& r : results)
        row(r.name, r.engine);
    std::printf("%s\n", std::string(106, '-').c_str());
    row("total", total);
}

void PrintPeerTable(const std::vector<SetResult>& results, const std::array<Tally, kReaders>& ours,
                    const std::vector<Tally>& peerTotals, const std::vector<Peer>& peers) {
    std::printf(
        "\nComparison with the extended search (peer times: wall time per image less the\n"
        "process start-up; x = peer time / engine time, above 1 means the engine is faster)\n");
    std::printf("%-20s %10s %4s %5s %8s", "", "extended", "", "", "");
    for (const auto& p : peers)
        std::printf(" | %-37s", p.label.c_str());
    std::printf("\n%-20s %10s %4s %5s %8s", "set", "reads", "FP", "wrong", "ms/img");
    for (size_t i = 0; i < peers.size(); ++i)
        std::printf(" | %10s %4s %5s %8s %6s", "reads", "FP", "wrong", "ms/img", "x");
    std::printf("\n");
    auto row = [&](const std::string& name, const Tally& t, const std::vector<Tally>& theirs) {
        std::printf("%-20s %10s %4d %5d %8.3f", name.c_str(), ReadsCell(t).c_str(),
                    t.falsePositives, t.wrong, t.MsPerImage());
        for (const auto& p : theirs)
            std::printf(" | %10s %4d %5d %8.3f %6s", ReadsCell(p).c_str(), p.falsePositives,
                        p.wrong, p.MsPerImage(), RatioCell(p.MsPerImage(), t.MsPerImage()).c_str());
        std::printf("\n");
    };
    for (const auto& r : results)
        row(r.name, r.engine[kExtended], r.peers);
    std::printf("%s\n", std::string(52 + 40 * peers.size(), '-').c_str());
    row("total", ours[kExtended], peerTotals);
}

// ---------------------------------------------------------------------------

struct Largest {
    std::string name;
    int32_t width = 0;
    int32_t height = 0;
    size_t rasterBytes = 0;
};

std::string Join(const std::vector<std::string>& texts) {
    std::string out;
    for (const auto& t : texts)
        out += (out.empty() ? "\"" : ", \"") + t + "\"";
    return out.empty() ? "-" : out;
}

// Everything one corpus gives: per set and in all, for the engine and each peer.
struct CorpusResult {
    std::vector<SetResult> sets;
    std::array<Tally, kReaders> ours;
    std::vector<Tally> peers;
    double decodeMs = 0;
    double megapixels = 0;
    int decoded = 0;
    DecodeCheck check;
};

// Reads every image of the sets with the engine (raster, records and the
// largest image kept across corpora) and with the peers.
CorpusResult ReadCorpus(const std::vector<CorpusSet>& sets, const Options& options,
                        ReaderConfig& config, const std::vector<Peer>& peers, GreyRaster& raster,
                        std::vector<MatchRecord>& records, Largest& largest) {
    CorpusResult corpus;
    corpus.peers.resize(peers.size());
    for (const auto& set : sets) {
        SetResult result{set.name, {}, std::vector<Tally>(peers.size())};
        for (const auto& image : set.images) {
            const bool expectsRead =
                set.kind != SetKind::kFalsePositives && !image.expected.empty();
            const std::string label = set.name + "/" + image.png.filename().string();

            std::string error;
            const auto decodeStart = Clock::now();
            const bool decoded = DecodeToRaster(image.png, raster, error);
            const double thisDecodeMs = MsSince(decodeStart);
            if (decoded && options.checkDecode) CheckDecode(image.png, raster, corpus.check);

            if (!decoded) {
                std::fprintf(stderr, "%s: %s\n", label.c_str(), error.c_str());
                for (Tally& t : result.engine) {
                    ++t.images;
                    t.expected += expectsRead ? 1 : 0;
                    ++t.failures;
                }
            } else {
                corpus.decodeMs += thisDecodeMs;
                ++corpus.decoded;
                const double mp = double(raster.width) * raster.height / 1e6;
                corpus.megapixels += mp;
                const size_t rasterBytes = raster.size * sizeof(int32_t);
                if (rasterBytes >= largest.rasterBytes) {
                    largest = {label, raster.width, raster.height, rasterBytes};
                }

                if (options.verbose)
                    std::printf("  %-42s expected \"%s\"\n", label.c_str(), image.expected.c_str());
                for (const Reader reader : {kSearch, kExtended}) {
                    const auto searchStart = Clock::now();
                    int count = 0;
                    if (reader == kExtended) {
                        count = XR_SearchExtended(raster.Values(), raster.height, raster.width,
                                                  kMaxGrey, &config, records, kMaxMatches,
                                                  !options.standard);
                    } else if (options.standard) {
                        count = XR_Search(raster.Values(), raster.height, raster.width, kMaxGrey,
                                          &config, records);
                    } else {
                        count = XR_SearchThorough(raster.Values(), raster.height, raster.width,
                                                  kMaxGrey, &config, records, kMaxMatches);
                    }
                    Tally& t = result.engine[reader];
                    t.ms += MsSince(searchStart);
                    t.megapixels += mp;

                    std::vector<Reading> readings;
                    for (int i = 0; i < count; ++i) {
                        readings.push_back({std::string(XR_TextOf(records[i].symbology)),
                                            std::string(XR_TextOf(records[i].rawData))});
                    }
                    const Verdict v = Judge(set.kind, readings, image.expected);
                    t.Add(v, expectsRead);
                    if (count < 0) ++t.failures;
                    if (options.verbose) {
                        const char* mark = v.read ? "ok  " : expectsRead ? "MISS" : "    ";
                        std::printf("       %-12s %s got %s%s\n",
                                    reader == kSearch ? "search" : "extended", mark,
                                    Join(v.texts).c_str(), v.Invented() ? "  [invented]" : "");
                    }
                }
            }

            // Peers decode the file themselves; their time covers their own PNG
            // decoding, less the start-up measured on a blank image.
            for (size_t p = 0; p < peers.size(); ++p) {
                const auto start = Clock::now();
                const std::string output = RunCommand(peers[p].command(image.png));
                const double ms = std::max(0.0, MsSince(start) - peers[p].startupMs);
                const Verdict v =
                    Judge(set.kind, peers[p].parse(output, image.png), image.expected);
                if (options.verbose) {
                    const char* mark = v.read ? "ok  " : expectsRead ? "MISS" : "    ";
                    std::printf("       %-12s %s got %s%s\n", peers[p].label.c_str(), mark,
                                Join(v.texts).c_str(), v.Invented() ? "  [invented]" : "");
                }
                Tally& t = result.peers[p];
                t.Add(v, expectsRead);
                t.ms += ms;
                if (decoded) t.megapixels += double(raster.width) * raster.height / 1e6;
            }
        }
        for (const Reader reader : {kSearch, kExtended})
            corpus.ours[reader] += result.engine[reader];
        for (size_t p = 0; p < peers.size(); ++p)
            corpus.peers[p] += result.peers[p];
        corpus.sets.push_back(std::move(result));
    }
    return corpus;
}

void PrintCorpus(const CorpusResult& corpus, const Options& options,
                 const std::vector<Peer>& peers) {
    PrintOurTable(corpus.sets, corpus.ours, options.standard);
    std::printf(
        "decode+convert (file to grey raster through the image loading, not in the times above): "
        "%.1f ms total, %.3f ms/img, %.3f ms/MP over %d images, %.2f MP\n",
        corpus.decodeMs, corpus.decoded ? corpus.decodeMs / corpus.decoded : 0.0,
        corpus.megapixels > 0 ? corpus.decodeMs / corpus.megapixels : 0.0, corpus.decoded,
        corpus.megapixels);
    if (corpus.check.checked > 0) {
        std::printf(
            "decode check: %d of %d rasters differ from libpng's reading, %d from the runner's "
            "former reading (transparency on white)\n",
            corpus.check.differ, corpus.check.checked, corpus.check.differFromOwn);
    }
    if (!peers.empty()) PrintPeerTable(corpus.sets, corpus.ours, corpus.peers, peers);
}

int Run(const Options& options) {
    const std::vector<CorpusSet> sets = LoadCorpus(options.corpus);
    std::printf("corpus: %s (%zu sets)\n", options.corpus.c_str(), sets.size());
    std::vector<CorpusSet> extraSets;
    if (options.extra) {
        extraSets = LoadCorpus(*options.extra);
        std::printf("corpus of further symbologies: %s (%zu sets)\n", options.extra->c_str(),
                    extraSets.size());
    }

    ReaderConfigPtr config = XR_ParseConfig(options.settings);
    if (!config) {
        std::fprintf(stderr, "corpus_runner: the configuration could not be made\n");
        return 0;
    }
    // The extended search reads what ZephScan reads by default, unless the
    // configuration names the symbologies.
    std::string lowered = options.settings;
    for (char& c : lowered)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lowered.find("-bctypes") == std::string::npos) config->protocolMask = kExtendedDefaultMask;
    std::vector<Peer> peers;
    if (options.zephScan) {
        // The console program takes the same configuration as its options.
        std::string program = ShellQuote(options.zephScan->string());
        std::istringstream tokens(options.settings);
        for (std::string token; tokens >> token;)
            program += " " + ShellQuote(token);
        peers.push_back({"ZephScan",
                         [program](const fs::path& image) {
                             return program + " " + ShellQuote(image.string()) + " 2>/dev/null";
                         },
                         ParseZephScan});
    }
    if (options.peers) {
        if (OnPath("zbarimg")) peers.push_back({"zbarimg", ZbarCommand, ParseZbar});
        const std::string zxing = FindZxing(options.corpus);
        if (!zxing.empty()) peers.push_back({"ZXingReader", ZxingCommand(zxing), ParseZxing});
    }
    if (options.peers && peers.size() == (options.zephScan ? 1u : 0u))
        std::printf("peers: no zbarimg on PATH, no ZXingReader beside the corpus or on PATH\n");
    if (!peers.empty()) {
        const fs::path blank = fs::temp_directory_path() /
                               ("corpus_runner_blank_" + std::to_string(getpid()) + ".png");
        if (WriteBlankPng(blank)) {
            for (auto& p : peers)
                p.startupMs = MeasureStartup(p, blank);
        }
        std::error_code ec;
        fs::remove(blank, ec);
        for (const auto& p : peers)
            std::printf("%s: %s (process start-up %.1f ms, subtracted per image)\n",
                        p.label == "ZephScan" ? "program" : "peer", p.label.c_str(), p.startupMs);
    }

    GreyRaster raster;  // reused, as an application would between pictures
    std::vector<MatchRecord> records(kMaxMatches);
    Largest largest;
    const CorpusResult corpus = ReadCorpus(sets, options, *config, peers, raster, records, largest);
    PrintCorpus(corpus, options, peers);
    if (!extraSets.empty()) {
        std::printf("\n=== Further symbologies: %s ===\n", options.extra->c_str());
        const CorpusResult extra =
            ReadCorpus(extraSets, options, *config, peers, raster, records, largest);
        PrintCorpus(extra, options, peers);
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);  // children (the peers) are not counted
    std::printf("\nmemory: peak RSS of this process %.1f MiB (%ld KiB)\n",
                double(usage.ru_maxrss) / 1024.0, usage.ru_maxrss);
    if (!largest.name.empty()) {
        std::printf("largest image: %s, %d x %d; GreyRaster %zu bytes (%.1f MiB)\n",
                    largest.name.c_str(), largest.width, largest.height, largest.rasterBytes,
                    double(largest.rasterBytes) / (1024.0 * 1024.0));
    }

    XR_FreeConfig(std::move(config));
    XR_FreePatternTables();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) return 1;
    if (options->keepFreed) zeph::imaging::KeepFreedImageMemory();
    return Run(*options);
}
