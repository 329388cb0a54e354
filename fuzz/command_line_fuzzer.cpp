// Any arguments through ZephScan's command line: tokens, the option scan, the
// masks and their folders. Nothing faults, and what comes out keeps the
// promises the reader relies on.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "cli/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zeph::cli;
    // Arguments are the input's NUL-separated pieces, as a shell hands them over.
    std::vector<std::string> arguments(1, "ZephScan");
    std::string piece;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(piece);
            piece.clear();
        } else {
            piece += static_cast<char>(data[i]);
        }
    }
    arguments.push_back(piece);
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const std::vector<std::string> tokens =
        ArgumentTokens(static_cast<int>(arguments.size()), argv.data());
    if (tokens.size() >= arguments.size()) std::abort();
    for (const std::string& t : tokens) {
        if (t.find_first_not_of(' ') == std::string::npos) std::abort();
    }
    Requested(tokens);

    BadCommandLine bad;
    const auto line = ScanCommandLine(tokens, &bad);
    if (!line) {
        if (bad.why.empty()) std::abort();
        return 0;
    }
    // Every token is an option's, a value's or a mask: none is lost.
    if (line->masks.size() + 2 * line->options.size() != tokens.size()) std::abort();
    if (line->masks.empty()) std::abort();  // the last token is never an option
    for (const Option& o : line->options) {
        if (o.position + 2 >= tokens.size()) std::abort();
        if (o.kind == OptionKind::kThreads && (o.integer < 1 || o.integer > kMostThreads))
            std::abort();
        if (o.kind == OptionKind::kDotsPerInch && (o.integer < 1 || o.integer > kMostDotsPerInch))
            std::abort();
        if ((o.kind == OptionKind::kExtended || o.kind == OptionKind::kProgress ||
             o.kind == OptionKind::kPages) &&
            o.integer != 0 && o.integer != 1) {
            std::abort();
        }
        // A real the control's single precision cannot hold (or a NaN,
        // which slips past every comparison) is a bad command line.
        if ((o.kind == OptionKind::kMinConfidence || o.kind == OptionKind::kMinContrast) &&
            !(std::fabs(o.real) <= std::numeric_limits<float>::max())) {
            std::abort();
        }
    }
    for (const std::string& m : line->masks) {
        for (const char* program : {"/usr/bin", "", "/"}) {
            const FileMask mask = ResolveMask(m, program);
            if (mask.folder.find('\\') != std::string::npos) std::abort();
            if (mask.pattern.find('/') != std::string::npos) std::abort();
            if (!mask.folder.empty() && mask.folder.back() != '/') std::abort();
        }
    }
    return 0;
}
