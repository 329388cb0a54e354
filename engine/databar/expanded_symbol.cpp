#include "engine/databar/expanded_symbol.h"

#include "engine/databar/bit_field.h"
#include "engine/databar/checksums.h"
#include "engine/databar/encodation.h"

namespace zeph::databar {
namespace {

// The finders of a symbol of 2 to 11 pairs, letter A = 0 to F = 5.
constexpr std::array<std::array<int8_t, kMostPairs>, kMostPairs - 1> kSequences = {{
    {0, 0},
    {0, 1, 1},
    {0, 2, 1, 3},
    {0, 4, 1, 3, 2},
    {0, 4, 1, 3, 3, 5},
    {0, 4, 1, 3, 4, 5, 5},
    {0, 0, 1, 1, 2, 2, 3, 3},
    {0, 0, 1, 1, 2, 2, 3, 4, 4},
    {0, 0, 1, 1, 2, 2, 3, 4, 5, 5},
    {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5},
}};
constexpr int kFewestPairs = 2;
// The check character holds 211 * (characters - 4) + checksum.
constexpr int32_t kFewestCharacters = 4;
constexpr int32_t kBitsPerCharacter = 12;

// The row of weights of a character: its position in the longest symbol,
// where the pairs run through the finders A, A, B, B, ... F, F, less one
// for the check character, which is not weighed.
int32_t WeightRow(int pairs, int index, bool right) {
    const int32_t finder = FinderInSequence(pairs, index);
    const int32_t seat = 2 * finder + (index % 2);  // A1 A2 B1 B2 ... in the longest symbol
    return 2 * seat + (right ? 1 : 0) - 1;
}

}  // namespace

int32_t FinderInSequence(int pairs, int index) {
    if (pairs < kFewestPairs || pairs > kMostPairs || index < 0 || index >= pairs) return -1;
    return kSequences[static_cast<size_t>(pairs - kFewestPairs)][static_cast<size_t>(index)];
}

int32_t CharactersOfCheck(int32_t check) {
    if (check < 0) return -1;
    const int32_t characters = check / kExpandedModulus + kFewestCharacters;
    return characters <= kMostExpandedCharacters ? characters : -1;
}

bool ReadExpandedSymbol(std::span<const ExpandedPair> pairs, ElementString& text, bool& linkage) {
    const int count = static_cast<int>(pairs.size());
    if (count < kFewestPairs || count > kMostPairs) return false;
    const int characters = 2 * count - (pairs.back().hasRight ? 0 : 1);
    if (CharactersOfCheck(pairs[0].left) != characters) return false;
    int64_t sum = 0;
    for (int i = 0; i < count; ++i) {
        const ExpandedPair& p = pairs[static_cast<size_t>(i)];
        if (p.finder != FinderInSequence(count, i) || p.odd != (i % 2 != 0)) return false;
        if (!p.hasRight && i + 1 < count) return false;
        const auto weigh = [&](const std::array<int8_t, kExpandedCharacterElements>& widths,
                               bool right) {
            const int32_t row = WeightRow(count, i, right);
            int32_t w = Weight(kExpandedModulus, kExpandedCharacterElements * row);
            for (const int8_t width : widths) {
                sum += int64_t{width} * w;
                w = (w * 3) % kExpandedModulus;
            }
        };
        if (i > 0) weigh(p.leftWidths, false);
        if (p.hasRight) weigh(p.rightWidths, true);
    }
    if (pairs[0].left % kExpandedModulus != sum % kExpandedModulus) return false;

    BitField bits;
    for (int i = 0; i < count; ++i) {
        const ExpandedPair& p = pairs[static_cast<size_t>(i)];
        if (i > 0) bits.Append(p.left, kBitsPerCharacter);
        if (p.hasRight) bits.Append(p.right, kBitsPerCharacter);
    }
    return DecodeExpandedData(bits, characters, text, linkage);
}

}  // namespace zeph::databar
