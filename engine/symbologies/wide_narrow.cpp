#include "engine/symbologies/wide_narrow.h"

namespace zeph::wide_narrow {

std::string Expand(std::string_view tokens, Widths widths) {
    std::string modules;
    modules.reserve(tokens.size() * static_cast<size_t>(widths.wide));
    bool bar = true;
    for (char element : tokens) {
        if (element == ' ') {
            modules += ' ';
            bar = true;
            continue;
        }
        modules.append(static_cast<size_t>(element == 'W' ? widths.wide : widths.narrow),
                       bar ? '1' : '0');
        bar = !bar;
    }
    return modules;
}

size_t VariantFor(float ratio, std::span<const float> bounds) {
    size_t variant = 0;
    while (variant < bounds.size() && ratio >= bounds[variant])
        ++variant;
    return variant;
}

}  // namespace zeph::wide_narrow
