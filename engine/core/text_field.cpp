#include <algorithm>
#include <cstring>

#include "engine/reader.h"

void XR_SetText(std::span<char> field, std::string_view text) {
    if (field.empty()) return;
    const size_t n = std::min(text.size(), field.size() - 1);
    std::memcpy(field.data(), text.data(), n);
    field[n] = '\0';
}

void XR_AppendText(std::span<char> field, std::string_view text) {
    if (field.empty()) return;
    const size_t used = XR_TextOf(field).size();
    if (used >= field.size()) {
        // A field without terminator is repaired rather than overrun.
        field.back() = '\0';
        return;
    }
    XR_SetText(field.subspan(used), text);
}

std::string_view XR_TextOf(std::span<const char> field) {
    const auto end = std::find(field.begin(), field.end(), '\0');
    return {field.data(), static_cast<size_t>(end - field.begin())};
}
