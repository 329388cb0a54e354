// The engine's public records and XR_ routines.
//
// Routines never throw: allocation failures come back as each routine's failure
// value (-1, or an empty pointer). Working buffers and pattern tables are
// thread_local, so one decode per thread runs without locks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace zeph {
class WorkCrew;
}

// ---------------------------------------------------------------------------
// Fixed-width single-byte texts (Windows-1252)

// Writes `text` into `field`, cut at the field's width, always NUL-terminated.
void XR_SetText(std::span<char> field, std::string_view text);
// Appends `text` after the field's current text, cut at the field's width.
void XR_AppendText(std::span<char> field, std::string_view text);
// The field's text up to its terminator (or its whole width if it has none).
std::string_view XR_TextOf(std::span<const char> field);

// ---------------------------------------------------------------------------
// Scan signal

struct ScanSignal {
    int32_t sampleCount = 0;
    std::unique_ptr<float[]> samples;      // sampleCount values, bars negative
    std::unique_ptr<int32_t[]> barStarts;  // first negative sample of each bar
    std::unique_ptr<int32_t[]> barEnds;    // first non-negative sample after each bar
    int32_t barCount = 0;
    int32_t shiftRange = 1;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    int32_t startX = 0, startY = 0;
    int32_t stopX = 0, stopY = 0;
    int32_t centreX = 0, centreY = 0;
    int32_t pathCount = 21;
    int32_t pathSpacing = 1;
    float sharpening = 0.5f;
    float redundancy = 0.0f;

    std::span<float> Samples() { return {samples.get(), static_cast<size_t>(sampleCount)}; }
    std::span<const float> Samples() const {
        return {samples.get(), static_cast<size_t>(sampleCount)};
    }
};

using ScanSignalPtr = std::unique_ptr<ScanSignal>;

// Largest sample count a signal may be created with; larger requests fail like
// an allocation would instead of committing gigabytes.
inline constexpr int32_t kMaxSampleCount = 1 << 20;

ScanSignalPtr XR_NewScanSignal(int32_t sampleCount, int32_t pathCount, int32_t pathSpacing,
                               float sharpening, int32_t shiftRange);
void XR_FreeScanSignal(ScanSignalPtr signal);
int32_t XR_FindBars(ScanSignal& signal);
void XR_DropFirstBar(ScanSignal& signal);
int XR_ReverseSignal(ScanSignal* signal);

// Whether bar k has a recorded end: the last bar of a signal that ends inside
// a bar has none (its barEnds slot holds sampleCount as a guard value only).
bool XR_HasBarEnd(const ScanSignal& signal, int32_t k);

// The stretch of samples [first, last) of the signal; empty when the bounds are
// out of order or outside the signal, which every scorer treats as "no match".
std::span<const float> XR_Stretch(const ScanSignal& signal, int32_t first, int32_t last);

// ---------------------------------------------------------------------------
// Reader configuration

// Every symbology but the stand-alone add-on (64).
inline constexpr int32_t kDefaultProtocolMask = 959;

struct ReaderConfig {
    ScanSignalPtr scan;
    float sensitivity = 0.07f;
    int32_t protocolMask = kDefaultProtocolMask;
    float minConfidence = 0.81f;
    float minRedundancy = 5.0f;
    std::unique_ptr<float[]> tileStore;
    std::span<float> tileEnergy;
    std::span<float> tileSmooth;
    std::span<float> tileScore;
    int32_t tileCount = 0;
    // Threads the searches may spread their work over (not owned); none: the
    // calling thread alone. The results are the same either way.
    zeph::WorkCrew* crew = nullptr;
};

// Pictures smaller than this are searched without a crew, however many threads
// were asked for: their search is too short to pay for the hand-offs and the
// lines a crew reads ahead (one picture of the corpus, 0.1 to 1.3 megapixels,
// took 1.16 to 1.26 times as long with two threads as with one, and a 4- or
// 12-megapixel photo 0.97 to 1.14 times).
inline constexpr int64_t kLeastSharedSearchPixels = 6'000'000;

using ReaderConfigPtr = std::unique_ptr<ReaderConfig>;

// Parses a configuration string of flags and values; empty pointer when a flag
// lacks its value or the scan signal cannot be created.
ReaderConfigPtr XR_ParseConfig(std::string_view text);
void XR_FreeConfig(ReaderConfigPtr config);

// The help text for the configuration string (13 lines, LF separated).
extern const std::string_view XR_ConfigHelp;

// ---------------------------------------------------------------------------
// Match records and the symbology mask

inline constexpr size_t kRawDataWidth = 100;
inline constexpr size_t kDataWidth = 500;
inline constexpr size_t kNameWidth = 100;

struct MatchRecord {
    std::array<char, kRawDataWidth> rawData{};
    std::array<char, kDataWidth> data{};
    std::array<char, kNameWidth> symbology{};
    std::array<char, kNameWidth> barcodeType{};
    std::array<char, kNameWidth> descriptor{};
    float confidence = 0.0f;
    float redundancy = 0.0f;
    int32_t startX = 0, startY = 0;
    int32_t stopX = 0, stopY = 0;
    int32_t centreX = 0, centreY = 0;
};

enum SymbologyBit : int32_t {
    kEan13 = 1,
    kCode128 = 2,
    kCode39 = 4,
    kCode93 = 8,
    kEan8 = 16,
    kUpcE = 32,
    kSupplement = 64,
    kInterleaved2of5 = 128,
    kCodabar = 256,
    kPatchCode = 512,
    // Read by the extended search alone (XR_SearchExtended); the standard and
    // thorough searches leave these bits alone. GS1 DataBar (engine/databar/):
    kDataBar = 1024,  // Omnidirectional, Truncated, Stacked, Stacked Omnidirectional
    kDataBarLimited = 2048,
    kDataBarExpanded = 4096,  // and Expanded Stacked
    // The further symbologies (engine/further/):
    kTelepen = 8192,  // ASCII and numeric
    kCode11 = 16384,
    kMsi = 32768,      // MSI Plessey
    kPlessey = 65536,  // UK Plessey
    kIndustrial2of5 = 131072,
    kIata2of5 = 262144,
    kMatrix2of5 = 524288,
    kDatalogic2of5 = 1048576,
    kPharmacode = 2097152,  // one-track
    // Interpretations of another symbology's read, applied when both bits are
    // set: Code 32 and the Pharmazentralnummer of Code 39, ITF-14 of
    // Interleaved 2 of 5.
    kCode32 = 4194304,
    kPzn = 8388608,
    kItf14 = 16777216,
    // Telepen read as a numeric label: digit pairs from the start (a symbol
    // printed in numeric mode carries nothing that says so).
    kTelepenNumeric = 33554432,
};

// The GS1 DataBar family.
inline constexpr int32_t kDataBarFamily = kDataBar | kDataBarLimited | kDataBarExpanded;
// What a reader that runs the extended search reads when its caller chose
// nothing: the engine's default, GS1 DataBar, and the further symbologies and
// interpretations that checks protect well.
inline constexpr int32_t kExtendedDefaultMask =
    kDefaultProtocolMask | kDataBarFamily | kTelepen | kCode32 | kPzn | kItf14;

inline constexpr int kMaxMatches = 100;

// One decoder: reads the signal, writes the record only when more confident than
// it; returns 1 (written), 0 (not) or -1 (its pattern tables could not be built).
using DecodeFn = int (*)(const ScanSignal& scan, MatchRecord& record);
using ReleaseFn = void (*)();

struct DecoderEntry {
    int32_t bit;
    DecodeFn decode;
    ReleaseFn release;
};

// Hands one signal to every enabled decoder in mask order. While `patchLatch` is
// set the Patch code decoder is skipped.
int XR_DecodeSignal(const ScanSignal& scan, const ReaderConfig& config, MatchRecord& record,
                    bool patchLatch = false);
// The same over an explicit decoder list (the dispatcher's own table is the
// usual one).
int XR_DecodeSignalWith(std::span<const DecoderEntry> decoders, const ScanSignal& scan,
                        int32_t protocolMask, MatchRecord& record, bool patchLatch);
// The decode attempts for one extracted candidate: forward with 0, 1 and 2
// leading bars dropped, then reversed, dropping bars while at least as many
// remain as the forward pass's last attempt had (reversal may gain or lose a
// bar at the cut ends, so 2 to 4 attempts). Returns the OR of the dispatcher
// results, or -1.
int XR_DecodeAttempts(ScanSignal& scan, const ReaderConfig& config, MatchRecord& record,
                      bool patchLatch = false);
int XR_DecodeAttemptsWith(std::span<const DecoderEntry> decoders, ScanSignal& scan,
                          int32_t protocolMask, MatchRecord& record, bool patchLatch);

// Keeps records[0..n-2] free of the new match records[n-1]; returns the new count.
int XR_MergeMatch(std::span<MatchRecord> records, int n);

// Releases every decoder's pattern tables (of the calling thread); the next
// decoder call builds them again.
void XR_FreePatternTables();

// ---------------------------------------------------------------------------
// Pattern tables and matcher

struct PatternEntry {
    std::span<const float> samples;  // one zero-mean sample per module
    int length = 0;
};

struct PatternTable {
    std::unique_ptr<PatternEntry[]> entries;
    int count = 0;
    std::unique_ptr<float[]> store;

    const PatternEntry& operator[](int i) const { return entries[i]; }
};

using PatternTablePtr = std::unique_ptr<PatternTable>;

struct BestMatch {
    int index = -1;
    float score = 0.0f;
};

// Longest stretch the matcher scores, and the largest shift range it honours
// (wider or negative ranges are clamped to 0..kMaxShiftRange).
inline constexpr int kMaxStretch = 500;
inline constexpr int kMaxShiftRange = 9;

// Parses a pattern string into a table; empty pointer when memory runs out.
PatternTablePtr XR_ParsePatterns(std::string_view text);
void XR_FreePatterns(PatternTablePtr table);
// Writes out.size() zero-mean samples of the 0/1 pattern, resampled by index.
void XR_PatternToTemplate(std::string_view pattern, std::span<float> out);
float XR_Correlation(std::span<const float> a, std::span<const float> b);
float XR_ShiftedCorrelation(std::span<const float> signal, std::span<const float> pattern,
                            int shiftRange);
float XR_ScorePattern(std::span<const float> stretch, std::string_view pattern);
int XR_MatchTable(std::span<const float> stretch, const PatternTable& table, BestMatch& best,
                  int shiftRange);

// ---------------------------------------------------------------------------
// Grey raster

// Grey values B + 6*G + 3*R of 24-bit pixels: 0 (black) to kMaxGrey (white),
// row by row, top row first.
inline constexpr int32_t kMaxGrey = 2550;

struct GreyRaster {
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<int32_t[]> values;
    size_t size = 0;  // width * height; the buffer is reused while this stays

    std::span<const int32_t> Values() const { return {values.get(), size}; }
};

// Converts 24-bit blue-green-red rows, bottom row first, each `stride` bytes
// long, into the raster. Returns 1; 0 when the sizes do not fit the rows
// (the raster is then unchanged); -1 when memory runs out.
int XR_RasterFromBgrRows(std::span<const uint8_t> rows, int32_t width, int32_t height,
                         size_t stride, GreyRaster& raster);
// The same in two steps, for rows read a band at a time. Sizes the raster for
// width x height values (its buffer reused while the size stays): 1; 0 for
// negative sizes; -1 when memory runs out, the raster then unchanged.
int XR_RasterResize(int32_t width, int32_t height, GreyRaster& raster);
// Converts `count` rows, bottom row first, `stride` bytes each, that are the
// picture's rows `bottom` .. bottom + count - 1 counted from its bottom row.
// 1; 0 when the band does not lie in the raster or does not fit the rows.
int XR_RasterBandFromBgrRows(std::span<const uint8_t> rows, size_t stride, int32_t bottom,
                             int32_t count, GreyRaster& raster);
// The same for rows of 8-bit colour indices, each index's grey value given by
// `greys` (for a colour table, its blue + 6 green + 3 red).
int XR_RasterBandFromIndexedRows(std::span<const uint8_t> rows, size_t stride, int32_t bottom,
                                 int32_t count, std::span<const int32_t, 256> greys,
                                 GreyRaster& raster);

// ---------------------------------------------------------------------------
// Searches: a raster of height x width grey values (height comes first).

// Reads the single most promising candidate into records[0]: -1, 0 or 1.
int XR_Search(std::span<const int32_t> raster, int32_t height, int32_t width, int32_t maxGrey,
              ReaderConfig* config, std::span<MatchRecord> records);
// Reads every candidate, keeping up to maxRecords distinct matches in
// records[0..count-1]: -1 or the count.
int XR_SearchThorough(std::span<const int32_t> raster, int32_t height, int32_t width,
                      int32_t maxGrey, ReaderConfig* config, std::span<MatchRecord> records,
                      int maxRecords);

// The search above (thorough or standard), then passes of its own that read
// what it missed: lower contrast, symbols at the picture's edge or among other
// bars, further lines per candidate, thin pictures. Its records come first,
// exactly as the search gave them; the passes only add barcodes that the list
// does not hold yet (by the sameness rule of XR_MergeMatch), up to maxRecords
// in all, and in the standard flavour only when the search found nothing, and
// then one. Returns -1 or the count.
int XR_SearchExtended(std::span<const int32_t> raster, int32_t height, int32_t width,
                      int32_t maxGrey, ReaderConfig* config, std::span<MatchRecord> records,
                      int maxRecords, bool thorough);

// ---------------------------------------------------------------------------
// Tile energy and candidate tiles

// The 11-tap band-pass kernel run across rows and down columns.
inline constexpr std::array<float, 11> XR_BandPassKernel = {
    0.0036f, 0.0f, -0.03f, -0.109f, -0.2061f, 0.753f, -0.2061f, -0.109f, -0.03f, 0.0f, 0.0036f};

// Fills energy (rows x cols tiles of tileSize pixels) with the mean absolute
// band-pass response; returns the largest energy, or -1 when memory runs out or
// the raster or energy span is smaller than the sizes say.
// With a crew, its threads share the tile rows; the energies are the same.
float XR_TileEnergy(std::span<const int32_t> raster, int32_t height, int32_t width,
                    std::span<float> energy, int tileSize, zeph::WorkCrew* crew = nullptr);
// Smooths the energies and scores the local maxima above threshold; returns
// how many tiles were selected.
int XR_TileScores(std::span<const float> energy, std::span<float> smooth, std::span<float> score,
                  int rows, int cols, float threshold);

struct TilePoint {
    double x = 0;  // in tile units
    double y = 0;
};
// The energy centroid of the 3x3 tiles around column x, row y.
TilePoint XR_RefineTilePosition(std::span<const float> energy, int rows, int cols, double x,
                                double y);

// ---------------------------------------------------------------------------
// Orientation

// Coherence (0..1) of the stripes in the N x N window around (x, y), with the
// angle across them in theta; -1 when memory runs out. N is a power of two.
double XR_Orientation(std::span<const int32_t> raster, int32_t height, int32_t width, int32_t x,
                      int32_t y, int n, double& theta);
// Multiplies the window by the separable Hamming weights; 0 when the weight
// table cannot be built (a message is printed), else 1.
int XR_Hamming2D(std::span<double> window, int n);
// Replaces the window by its power spectrum, rows u = 0..N/2; 0 when memory
// runs out, else 1.
int XR_PowerSpectrum2D(std::span<double> window, int n);

struct SpectralMoments {
    double lambdaMax = 0;
    double lambdaMin = 0;
    double theta = 0;
};
// The principal axes of the spectrum's second moments; false for an empty
// spectrum.
bool XR_SpectralMoments(std::span<const double> spectrum, int n, SpectralMoments& moments);

// ---------------------------------------------------------------------------
// Scan lines

struct ScanLine {
    int32_t x0 = 0, y0 = 0;  // start
    int32_t x1 = 0, y1 = 0;  // stop
};

// The line through (x, y) at angle q across the whole raster; false when it
// touches the border at fewer than two points.
bool XR_PlaceScanLine(int32_t x, int32_t y, double q, int32_t width, int32_t height,
                      ScanLine& line);
// Shortens the line to the barcode around (x, y): 1, 0 (unusable line) or -1
// (memory).
int XR_TrimScanLine(std::span<const int32_t> raster, int32_t height, int32_t width, ScanLine& line,
                    int32_t x, int32_t y);

// ---------------------------------------------------------------------------
// Super-resolution

// Samples, aligns and fuses the parallel paths along the signal's line into its
// samples and bars; 1, or 0 on failure.
int XR_SuperResolve(std::span<const int32_t> raster, int32_t height, int32_t width,
                    ScanSignal& scan);
// Subtracts factor/(2 factor + 1) times the neighbours, then the mean; 0 when
// the signal is empty or memory runs out.
int XR_Sharpen(std::span<float> samples, float factor);
