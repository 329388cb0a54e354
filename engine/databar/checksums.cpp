#include "engine/databar/checksums.h"

#include <array>
#include <string_view>

namespace zeph::databar {
namespace {

constexpr int kFinderValues = 9;
// Finder pairs 0/8 and 8/0 are not used: the 79 checksums map onto the 81
// pairs without them.
constexpr int32_t kSkippedLow = 8;
constexpr int32_t kSkippedHigh = 72;

constexpr size_t kCheckElements = 14;
// The 89 check characters of Limited, element widths in reading order.
constexpr std::array<std::string_view, kLimitedModulus> kLimitedChecks = {
    "11111111113311", "11111111123211", "11111111133111", "11111112113211", "11111112123111",
    "11111113113111", "11111211113211", "11111211123111", "11111212113111", "11111311113111",
    "11121111113211", "11121111123111", "11121112113111", "11121211113111", "11131111113111",
    "12111111113211", "12111111123111", "12111112113111", "12111211113111", "12121111113111",
    "13111111113111", "11111111212311", "11111111222211", "11111111232111", "11111112212211",
    "11111112222111", "11111113212111", "11111211212211", "11111211222111", "11111212212111",
    "11111311212111", "11121111212211", "11121111222111", "11121112212111", "11121211212111",
    "11131111212111", "12111111212211", "12111111222111", "12111112212111", "12111211212111",
    "12121111212111", "13111111212111", "11111111311311", "11111111321211", "11111112311211",
    "11121111311211", "12111111311211", "11111121112311", "11111121122211", "11111121132111",
    "11111122112211", "11121121112211", "11121121122111", "11121122112111", "11121221112111",
    "11131121112111", "12111121112211", "12111121122111", "12121121112111", "11112111112311",
    "11112111122211", "11112111132111", "11112112112211", "11112112122111", "11112211112211",
    "12112111112211", "12112111122111", "12112112112111", "12112211112111", "12122111112111",
    "13112111112111", "11211111112311", "11211111122211", "11211111132111", "11211112112211",
    "11211112122111", "11211113112111", "11211211112211", "11211211122111", "11221111112211",
    "21111111122211", "21111111132111", "21111112112211", "21111112122111", "21111113112111",
    "21111211122111", "21111212112111", "21121111122111", "21111111221211",
};

}  // namespace

int32_t Weight(int32_t modulus, int32_t exponent) {
    int32_t w = 1 % modulus;
    for (int32_t i = 0; i < exponent; ++i)
        w = (w * 3) % modulus;
    return w;
}

int32_t WeightedSum(std::span<const int32_t> widths, int32_t modulus, int32_t firstExponent) {
    int32_t w = Weight(modulus, firstExponent);
    int64_t sum = 0;
    for (const int32_t width : widths) {
        sum += int64_t{width} * w;
        w = (w * 3) % modulus;
    }
    return static_cast<int32_t>(sum % modulus);
}

int32_t OmniChecksumOfFinders(int32_t left, int32_t right) {
    if (left < 0 || right < 0 || left >= kFinderValues || right >= kFinderValues) return -1;
    const int32_t pair = kFinderValues * left + right;
    if (pair == kSkippedLow || pair == kSkippedHigh) return -1;
    return pair < kSkippedLow ? pair : pair < kSkippedHigh ? pair - 1 : pair - 2;
}

int32_t LimitedChecksumOfCharacter(std::span<const int32_t> widths) {
    if (widths.size() != kCheckElements) return -1;
    for (size_t c = 0; c < kLimitedChecks.size(); ++c) {
        bool same = true;
        for (size_t i = 0; i < kCheckElements && same; ++i)
            same = widths[i] == kLimitedChecks[c][i] - '0';
        if (same) return static_cast<int32_t>(c);
    }
    return -1;
}

bool LimitedCheckCharacter(int32_t checksum, std::span<int32_t> out) {
    if (checksum < 0 || checksum >= kLimitedModulus || out.size() != kCheckElements) return false;
    for (size_t i = 0; i < kCheckElements; ++i)
        out[i] = kLimitedChecks[static_cast<size_t>(checksum)][i] - '0';
    return true;
}

}  // namespace zeph::databar
