// The command line of ZephScan: the argument string, its tokens, the options
// before the mask, and the mask split into a folder and a name pattern.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::cli {

inline constexpr size_t kMaxTokens = 20;

// The arguments behind the program name as one string; an argument holding a
// blank is quoted so that it stays one token.
std::string ArgumentString(int argc, char** argv);

// Splits at blanks outside double quotes; quotes are dropped. Empty when the
// string holds more than kMaxTokens tokens (a bad command line), as it is when
// it holds none.
std::vector<std::string> ParseCommandLine(std::string_view arguments);

// "-EXTENDED 0|1" switches the reader's extended search (on unless given);
// "-THREADS N" sets the number of worker threads; the others set the three
// settings the usage text names.
enum class OptionKind { kMinConfidence, kMinContrast, kBarcodeTypes, kExtended, kThreads };

// The most worker threads "-THREADS" takes.
inline constexpr int32_t kMostThreads = 256;

struct Option {
    OptionKind kind;
    double real = 0;      // for the two real options
    int32_t integer = 0;  // the barcode types, 0 or 1 for the extended search, or threads
};

// The options among tokens 1 .. count-2 (never the mask or the token before
// it), in order; every position is examined, values included. nullopt when a
// value is no number, beyond the single-precision range for the two reals,
// out of the 32-bit range for the barcode types, other
// than "0" and "1" for the extended search, or other than a whole number from
// 1 to kMostThreads (digits only) for the threads.
std::optional<std::vector<Option>> ScanOptions(const std::vector<std::string>& tokens);

struct FileMask {
    std::string folder;   // up to and including the last separator
    std::string pattern;  // the name part, with * and ?
};

// A mask relative to `programFolder` unless it starts with a separator; "/"
// and "\" both separate, and the folder is given with "/" only.
FileMask ResolveMask(std::string_view mask, std::string_view programFolder);

}  // namespace zeph::cli
