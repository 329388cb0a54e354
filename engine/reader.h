// The engine's public records and XR_ routines.
//
// Routines never throw: allocation failures come back as each routine's failure
// value (-1, or an empty pointer). Working buffers and pattern tables are
// thread_local, so one decode per thread runs without locks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

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

struct ReaderConfig {
    ScanSignalPtr scan;
    float sensitivity = 0.07f;
    int32_t protocolMask = 959;
    float minConfidence = 0.81f;
    float minRedundancy = 5.0f;
    std::unique_ptr<float[]> tileStore;
    std::span<float> tileEnergy;
    std::span<float> tileSmooth;
    std::span<float> tileScore;
    int32_t tileCount = 0;
};

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
};

inline constexpr int32_t kDefaultProtocolMask = 959;
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
// leading bars dropped, then reversed the same way. Returns the OR of the
// dispatcher results, or -1.
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
