// Any arguments through ZephScan's command line: joining, splitting into
// tokens, the option scan and the mask. Nothing faults, and what comes out
// keeps the promises the reader relies on.
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

    const std::string joined = ArgumentString(static_cast<int>(arguments.size()), argv.data());
    const std::vector<std::string> tokens = ParseCommandLine(joined);
    if (tokens.size() > kMaxTokens) std::abort();
    for (const std::string& t : tokens) {
        if (t.empty()) std::abort();
    }
    if (tokens.empty()) return 0;

    if (const auto options = ScanOptions(tokens)) {
        for (const Option& o : *options) {
            if (o.kind == OptionKind::kThreads && (o.integer < 1 || o.integer > kMostThreads))
                std::abort();
            if (o.kind == OptionKind::kExtended && o.integer != 0 && o.integer != 1) std::abort();
            // A real the control's single precision cannot hold (or a NaN,
            // which slips past every comparison) is a bad command line.
            if ((o.kind == OptionKind::kMinConfidence || o.kind == OptionKind::kMinContrast) &&
                !(std::fabs(o.real) <= std::numeric_limits<float>::max())) {
                std::abort();
            }
        }
    }
    for (const char* program : {"/usr/bin", "", "/"}) {
        const FileMask mask = ResolveMask(tokens.back(), program);
        if (mask.folder.find('\\') != std::string::npos) std::abort();
        if (mask.pattern.find('/') != std::string::npos) std::abort();
        if (!mask.folder.empty() && mask.folder.back() != '/') std::abort();
    }
    return 0;
}
