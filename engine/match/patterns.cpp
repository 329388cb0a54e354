#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include "engine/core/tokens.h"
#include "engine/reader.h"

void XR_PatternToTemplate(std::string_view pattern, std::span<float> out) {
    const size_t n = out.size();
    if (n == 0) return;
    if (pattern.empty()) {
        std::fill(out.begin(), out.end(), 0.0f);
        return;
    }
    // The ratio is rounded to single precision and the product formed in double,
    // so that e.g. 7/10 maps sample 10 to module 6 rather than 7.
    const float r = static_cast<float>(pattern.size()) / static_cast<float>(n);
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        size_t k = static_cast<size_t>(std::floor(static_cast<double>(i) * r));
        if (k >= pattern.size()) k = pattern.size() - 1;
        out[i] = static_cast<float>(49 - static_cast<unsigned char>(pattern[k]));
        sum += out[i];
    }
    const float mean = static_cast<float>(sum / static_cast<double>(n));
    for (float& v : out)
        v -= mean;
}

PatternTablePtr XR_ParsePatterns(std::string_view text) {
    size_t tokens = 0;
    size_t modules = 0;
    zeph::ForEachToken(text, [&](std::string_view token) {
        ++tokens;
        modules += token.size();
        return true;
    });
    // Entry lengths and the count are ints; a string that long is refused.
    if (tokens > size_t{INT32_MAX} || modules > size_t{INT32_MAX}) return nullptr;

    PatternTablePtr table(new (std::nothrow) PatternTable);
    if (!table) return nullptr;
    table->entries.reset(new (std::nothrow) PatternEntry[tokens]);
    table->store.reset(new (std::nothrow) float[modules]);
    if (!table->entries || !table->store) return nullptr;

    float* position = table->store.get();
    int index = 0;
    zeph::ForEachToken(text, [&](std::string_view token) {
        std::span<float> samples(position, token.size());
        XR_PatternToTemplate(token, samples);
        table->entries[index] = {samples, static_cast<int>(token.size())};
        position += token.size();
        ++index;
        return true;
    });
    table->count = index;
    return table;
}

void XR_FreePatterns(PatternTablePtr table) {
    table.reset();
}
