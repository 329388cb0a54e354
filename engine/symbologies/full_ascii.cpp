#include "engine/symbologies/full_ascii.h"

#include <cstdint>

namespace zeph::full_ascii {

namespace {

// Partners first..last of a shift give result, result + 1, ... (or result
// each when `same`).
struct Run {
    Shift shift;
    char first;
    char last;
    int result;
    bool same = false;
};

constexpr Run kRuns[] = {
    {kDollar, 'A', 'Z', 1},   {kPercent, 'A', 'E', 27},  {kPercent, 'F', 'J', 59},
    {kPercent, 'K', 'O', 91}, {kPercent, 'P', 'T', 123}, {kPercent, 'U', 'U', 0},
    {kPercent, 'V', 'V', 64}, {kPercent, 'W', 'W', 96},  {kPercent, 'X', 'Z', 127, true},
    {kSlash, 'A', 'L', 33},   {kSlash, 'O', 'O', 47},    {kSlash, 'Z', 'Z', 58},
    {kPlus, 'A', 'Z', 97},
};

constexpr int kLetters = 26;
using PairTable = std::array<std::array<int16_t, kLetters>, kShiftCount>;

constexpr PairTable MakePairs() {
    PairTable table{};
    for (auto& row : table)
        row.fill(-1);
    for (const Run& run : kRuns) {
        for (char c = run.first; c <= run.last; ++c)
            table[run.shift][c - 'A'] =
                static_cast<int16_t>(run.same ? run.result : run.result + (c - run.first));
    }
    return table;
}

constexpr PairTable kPairs = MakePairs();

static_assert(kPairs[kDollar]['M' - 'A'] == '\r');
static_assert(kPairs[kSlash]['O' - 'A'] == '/' && kPairs[kSlash]['Z' - 'A'] == ':');
static_assert(kPairs[kSlash]['M' - 'A'] == -1);
static_assert(kPairs[kPercent]['J' - 'A'] == '?' && kPairs[kPercent]['T' - 'A'] == 127);
static_assert(kPairs[kPlus]['Z' - 'A'] == 'z');

// The shift a byte stands for, or kShiftCount when it is none.
size_t ShiftOf(char c, const Escapes& escapes) {
    size_t s = 0;
    while (s < kShiftCount && escapes[s] != c)
        ++s;
    return s;
}

}  // namespace

int PairValue(Shift shift, char partner) {
    if (shift >= kShiftCount || partner < 'A' || partner > 'Z') return -1;
    return kPairs[shift][partner - 'A'];
}

size_t Read(std::string_view raw, const Escapes& escapes, std::span<char> out) {
    size_t n = 0;
    for (size_t i = 0; i < raw.size() && n < out.size(); ++i) {
        const size_t shift = ShiftOf(raw[i], escapes);
        const int value =
            shift < kShiftCount && i + 1 < raw.size() ? PairValue(Shift(shift), raw[i + 1]) : -1;
        if (value < 0) {
            out[n++] = raw[i];
            continue;
        }
        if (value == 0) break;
        out[n++] = static_cast<char>(value);
        ++i;
    }
    return n;
}

}  // namespace zeph::full_ascii
