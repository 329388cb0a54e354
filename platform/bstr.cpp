// Automation strings. Each is one heap block: a 4-byte count of the bytes the
// characters take, the characters, then a NUL. The BSTR points at the first
// character so that it also reads as a plain NUL-terminated string.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "platform/com.h"

namespace {

constexpr std::size_t kPrefixBytes = sizeof(uint32_t);

// The byte count must fit the 32-bit prefix.
constexpr std::size_t kMaxLength = std::numeric_limits<uint32_t>::max() / sizeof(OLECHAR);

std::byte* BlockOf(BSTR text) {
    return reinterpret_cast<std::byte*>(text) - kPrefixBytes;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length) {
    if (length > kMaxLength) return nullptr;
    const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
    // Only matters where size_t is 32 bits wide.
    if (bytes > std::numeric_limits<std::size_t>::max() - kPrefixBytes - sizeof(OLECHAR)) {
        return nullptr;
    }

    auto* block = static_cast<std::byte*>(std::malloc(kPrefixBytes + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    const auto prefix = static_cast<uint32_t>(bytes);
    std::memcpy(block, &prefix, kPrefixBytes);
    auto* chars = reinterpret_cast<OLECHAR*>(block + kPrefixBytes);
    if (text) {
        std::memcpy(chars, text, bytes);
    } else {
        std::memset(chars, 0, bytes);
    }
    chars[length] = u'\0';
    return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    const std::size_t length = std::char_traits<OLECHAR>::length(text);
    if (length > kMaxLength) return nullptr;
    return SysAllocStringLen(text, static_cast<uint32_t>(length));
}

void SysFreeString(BSTR text) {
    if (text) std::free(BlockOf(text));
}

uint32_t SysStringLen(BSTR text) {
    if (!text) return 0;
    uint32_t bytes = 0;
    std::memcpy(&bytes, BlockOf(text), kPrefixBytes);
    return bytes / sizeof(OLECHAR);
}

// A null result (text too long, or memory ran out) is told apart from an empty
// text because empty text still gets a string of its own.
BStr::BStr(std::u16string_view text) {
    if (text.size() <= kMaxLength) {
        s_ = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    }
}
