#include "cli/command_line.h"

#include <array>
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

// Digits only, from `least` to `most`.
std::optional<int32_t> ParseCount(std::string_view value, int32_t least, int32_t most) {
    int32_t n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n, 10);
    if (value.empty() || value.front() < '0' || value.front() > '9' || ec != std::errc() ||
        end != value.data() + value.size() || n < least || n > most) {
        return std::nullopt;
    }
    return n;
}

struct Named {
    std::string_view upper;
    std::string_view spelled;
    OptionKind kind;
};

constexpr std::array<Named, 9> kOptions = {{
    {"-MINCONF", "-minconf", OptionKind::kMinConfidence},
    {"-MINCONTRAST", "-mincontrast", OptionKind::kMinContrast},
    {"-BCTYPES", "-bctypes", OptionKind::kBarcodeTypes},
    {"-EXTENDED", "-extended", OptionKind::kExtended},
    {"-THREADS", "-threads", OptionKind::kThreads},
    {"-FORMAT", "-format", OptionKind::kFormat},
    {"-PAGES", "-pages", OptionKind::kPages},
    {"-DPI", "-dpi", OptionKind::kDotsPerInch},
    {"-PROGRESS", "-progress", OptionKind::kProgress},
}};

// The option's value, or the reason it is refused.
std::optional<Option> ParseValue(OptionKind kind, const std::string& value, std::string& why) {
    Option o{kind};
    switch (kind) {
        case OptionKind::kMinConfidence:
        case OptionKind::kMinContrast: {
            const std::optional<double> v = ParseNumber(value);
            // The control takes single-precision reals.
            if (!v || std::fabs(*v) > std::numeric_limits<float>::max()) {
                why = "needs a number within single precision";
                return std::nullopt;
            }
            o.real = *v;
            return o;
        }
        case OptionKind::kBarcodeTypes: {
            const std::optional<double> v = ParseNumber(value);
            const double rounded = v ? std::nearbyint(*v) : 0;  // halves to even
            if (!v || rounded < std::numeric_limits<int32_t>::min() ||
                rounded > std::numeric_limits<int32_t>::max()) {
                why = "needs a whole number within 32 bits";
                return std::nullopt;
            }
            o.integer = static_cast<int32_t>(rounded);
            return o;
        }
        case OptionKind::kExtended:
        case OptionKind::kProgress:
            if (value != "0" && value != "1") {
                why = "needs 0 or 1";
                return std::nullopt;
            }
            o.integer = value == "1" ? 1 : 0;
            return o;
        case OptionKind::kThreads:
        case OptionKind::kDotsPerInch: {
            const int32_t most = kind == OptionKind::kThreads ? kMostThreads : kMostDotsPerInch;
            const std::optional<int32_t> n = ParseCount(value, 1, most);
            if (!n) {
                why = "needs a whole number from 1 to " + std::to_string(most);
                return std::nullopt;
            }
            o.integer = *n;
            return o;
        }
        case OptionKind::kFormat: {
            const std::string word = Upper(value);
            if (word != "XML" && word != "JSON" && word != "TEXT") {
                why = "needs xml, json or text";
                return std::nullopt;
            }
            o.integer = static_cast<int32_t>(word == "XML"    ? ReportFormat::kXml
                                             : word == "JSON" ? ReportFormat::kJson
                                                              : ReportFormat::kText);
            return o;
        }
        case OptionKind::kPages: {
            const std::string word = Upper(value);
            if (word != "FIRST" && word != "ALL") {
                why = "needs first or all";
                return std::nullopt;
            }
            o.integer = word == "ALL" ? 1 : 0;
            return o;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> ArgumentTokens(int argc, char** argv) {
    std::vector<std::string> tokens;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.find_first_not_of(' ') != std::string_view::npos) tokens.emplace_back(arg);
    }
    return tokens;
}

Request Requested(const std::vector<std::string>& tokens) {
    for (const std::string& t : tokens) {
        const std::string word = Upper(t);
        if (word == "--HELP" || word == "-HELP" || word == "-H" || word == "-?") {
            return Request::kHelp;
        }
        if (word == "--VERSION") return Request::kVersion;
    }
    return Request::kRead;
}

std::string_view OptionName(OptionKind kind) {
    for (const Named& n : kOptions) {
        if (n.kind == kind) return n.spelled;
    }
    return {};
}

std::optional<CommandLine> ScanCommandLine(const std::vector<std::string>& tokens,
                                           BadCommandLine* bad) {
    const auto refuse = [&](std::string token, std::string why) -> std::optional<CommandLine> {
        if (bad) *bad = {std::move(token), std::move(why)};
        return std::nullopt;
    };
    if (tokens.empty()) return refuse("", "no file mask");
    CommandLine line;
    std::vector<bool> taken(tokens.size(), false);
    // Positions 0 .. count-3: the last two tokens are never option names, and
    // a value is looked at as a name in its turn (three separate tests of the
    // same token: a match never skips the next position).
    for (size_t i = 0; i + 2 < tokens.size(); ++i) {
        const std::string name = Upper(tokens[i]);
        for (const Named& n : kOptions) {
            if (name != n.upper) continue;
            std::string why;
            std::optional<Option> o = ParseValue(n.kind, tokens[i + 1], why);
            if (!o) return refuse(tokens[i] + " " + tokens[i + 1], n.spelled.data() + (" " + why));
            o->position = i;
            line.options.push_back(*o);
            taken[i] = taken[i + 1] = true;
        }
    }
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!taken[i]) line.masks.push_back(tokens[i]);
    }
    return line;
}

std::optional<std::vector<Option>> ScanOptions(const std::vector<std::string>& tokens) {
    std::optional<CommandLine> line = ScanCommandLine(tokens);
    if (!line) return std::nullopt;
    return std::move(line->options);
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
