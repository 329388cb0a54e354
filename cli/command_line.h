// The command line of ZephScan: its tokens, the options, the file masks, and
// a mask split into a folder and a name pattern.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::cli {

// The arguments behind the program name, one token each, as the shell split
// them (a blank or a double quote inside an argument is part of it). Empty
// arguments and arguments of blanks alone are no tokens.
std::vector<std::string> ArgumentTokens(int argc, char** argv);

// What the command line asks for before anything is read.
enum class Request { kRead, kHelp, kVersion };
// "--help", "-help", "-h" or "-?" anywhere (any letter case) asks for the
// help, "--version" for the version; the first of them counts.
Request Requested(const std::vector<std::string>& tokens);

// The three settings the usage text names; "-EXTENDED 0|1" switches the
// reader's extended search (on unless given); ZephScan's own: "-THREADS N"
// worker threads, "-FORMAT xml|json|text" the report, "-PAGES first|all",
// "-DPI N" for document pages, "-PROGRESS 0|1" a progress line.
enum class OptionKind {
    kMinConfidence,
    kMinContrast,
    kBarcodeTypes,
    kExtended,
    kThreads,
    kFormat,
    kPages,
    kDotsPerInch,
    kProgress,
};

enum class ReportFormat { kXml, kJson, kText };

// The most worker threads "-THREADS" takes, and the resolutions "-DPI" takes.
inline constexpr int32_t kMostThreads = 256;
inline constexpr int32_t kMostDotsPerInch = 2400;

struct Option {
    OptionKind kind;
    double real = 0;      // for the two real options
    int32_t integer = 0;  // the barcode types, 0 or 1, threads, dots per inch,
                          // 1 for every page, or the ReportFormat
    size_t position = 0;  // of the option's name among the tokens
};

struct CommandLine {
    std::vector<Option> options;  // in order: the last of repeated options wins
    // Every token that is neither an option nor an option's value, in order.
    std::vector<std::string> masks;
};

// Why a command line is bad, naming the token.
struct BadCommandLine {
    std::string token;
    std::string why;
};

// The options among tokens 1 .. count-2 (never the last token or the one
// before it); every position is examined, values included. nullopt, with the
// reason in `bad` when given, when there is no token, or when a value is no
// number, beyond the single-precision range for the two reals, out of the
// 32-bit range for the barcode types, other than "0" and "1" for the
// switches, other than a whole number (digits only) in range for the threads
// and the resolution, or not one of the words for the format and the pages.
std::optional<CommandLine> ScanCommandLine(const std::vector<std::string>& tokens,
                                           BadCommandLine* bad = nullptr);
// The options alone.
std::optional<std::vector<Option>> ScanOptions(const std::vector<std::string>& tokens);

// The option's name as the usage text spells it ("-minconf").
std::string_view OptionName(OptionKind kind);

struct FileMask {
    std::string folder;   // up to and including the last separator
    std::string pattern;  // the name part, with * and ?
};

// A mask relative to `programFolder` unless it starts with a separator; "/"
// and "\" both separate, and the folder is given with "/" only.
FileMask ResolveMask(std::string_view mask, std::string_view programFolder);

}  // namespace zeph::cli
