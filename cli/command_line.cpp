#include "cli/command_line.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>

namespace zeph::cli {
namespace {

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return u;
}

// A whole token as a decimal number (point as separator, blanks around it
// allowed); nullopt for anything else.
std::optional<double> ParseNumber(std::string_view token) {
    while (!token.empty() && token.front() == ' ')
        token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ')
        token.remove_suffix(1);
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value,
                                           std::chars_format::general);
    if (ec != std::errc() || end != token.data() + token.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string ArgumentString(int argc, char** argv) {
    std::string joined;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i > 1) joined += ' ';
        const bool blank = arg.find(' ') != std::string_view::npos &&
                           arg.find_first_not_of(' ') != std::string_view::npos;
        if (blank) joined += '"';
        joined += arg;
        if (blank) joined += '"';
    }
    return joined;
}

std::vector<std::string> ParseCommandLine(std::string_view arguments) {
    std::vector<std::string> tokens;
    bool inQuotes = false;
    bool inToken = false;
    for (const char c : arguments) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c != ' ' || inQuotes) {
            if (!inToken) {
                if (tokens.size() == kMaxTokens) return {};
                tokens.emplace_back();
                inToken = true;
            }
            tokens.back() += c;
        } else {
            inToken = false;
        }
    }
    return tokens;
}

std::optional<std::vector<Option>> ScanOptions(const std::vector<std::string>& tokens) {
    std::vector<Option> options;
    // Positions 0 .. count-3 here: the mask and the token before it are never
    // option names, and a value is looked at as a name in its turn.
    for (size_t i = 0; i + 2 < tokens.size(); ++i) {
        const std::string name = Upper(tokens[i]);
        const std::string& value = tokens[i + 1];
        if (name == "-MINCONF" || name == "-MINCONTRAST") {
            const std::optional<double> v = ParseNumber(value);
            // The control takes single-precision reals.
            if (!v || std::fabs(*v) > std::numeric_limits<float>::max()) return std::nullopt;
            options.push_back(
                {name == "-MINCONF" ? OptionKind::kMinConfidence : OptionKind::kMinContrast, *v,
                 0});
        }
        if (name == "-BCTYPES") {
            const std::optional<double> v = ParseNumber(value);
            if (!v) return std::nullopt;
            const double rounded = std::nearbyint(*v);  // halves to even
            if (rounded < std::numeric_limits<int32_t>::min() ||
                rounded > std::numeric_limits<int32_t>::max()) {
                return std::nullopt;
            }
            options.push_back({OptionKind::kBarcodeTypes, 0, static_cast<int32_t>(rounded)});
        }
        if (name == "-EXTENDED") {
            if (value != "0" && value != "1") return std::nullopt;
            options.push_back({OptionKind::kExtended, 0, value == "1" ? 1 : 0});
        }
        if (name == "-THREADS") {
            int32_t threads = 0;
            const auto [end, ec] =
                std::from_chars(value.data(), value.data() + value.size(), threads, 10);
            if (value.empty() || value.front() < '0' || value.front() > '9' || ec != std::errc() ||
                end != value.data() + value.size() || threads < 1 || threads > kMostThreads) {
                return std::nullopt;
            }
            options.push_back({OptionKind::kThreads, 0, threads});
        }
    }
    return options;
}

FileMask ResolveMask(std::string_view mask, std::string_view programFolder) {
    std::string full(mask);
    const bool absolute = !mask.empty() && (mask.front() == '/' || mask.front() == '\\');
    if (!absolute) {
        std::string folder(programFolder);
        if (folder.empty() || folder.back() != '/') folder += '/';
        full = folder + full;
    }
    for (char& c : full) {
        if (c == '\\') c = '/';
    }
    const size_t last = full.rfind('/');
    FileMask result;
    result.folder = full.substr(0, last + 1);
    result.pattern = full.substr(last + 1);
    return result;
}

}  // namespace zeph::cli
