// Token splitting: the separator test agrees with the separator set for every
// character, and random strings split as a search of the set splits them.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/tokens.h"

namespace {

// The split written with searches of the separator set.
std::vector<std::string> SplitBySearch(std::string_view text) {
    std::vector<std::string> tokens;
    size_t pos = text.find_first_not_of(zeph::kSeparators);
    while (pos != std::string_view::npos) {
        size_t end = text.find_first_of(zeph::kSeparators, pos);
        if (end == std::string_view::npos) end = text.size();
        tokens.emplace_back(text.substr(pos, end - pos));
        pos = text.find_first_not_of(zeph::kSeparators, end);
    }
    return tokens;
}

std::vector<std::string> Split(std::string_view text) {
    std::vector<std::string> tokens;
    EXPECT_TRUE(zeph::ForEachToken(text, [&](std::string_view t) {
        tokens.emplace_back(t);
        return true;
    }));
    return tokens;
}

TEST(Tokens, SeparatorTestAgreesWithTheSetForEveryCharacter) {
    for (int c = -128; c < 128; ++c) {
        const char ch = static_cast<char>(c);
        EXPECT_EQ(zeph::IsSeparator(ch), zeph::kSeparators.find(ch) != std::string_view::npos) << c;
    }
}

TEST(Tokens, SplitsAsASearchOfTheSeparatorSet) {
    EXPECT_TRUE(Split("").empty());
    EXPECT_TRUE(Split(" [](),\t\n").empty());
    EXPECT_EQ(Split("(1101, 0010)\n[11]"), (std::vector<std::string>{"1101", "0010", "11"}));
    EXPECT_EQ(Split("a"), std::vector<std::string>{"a"});
    // Characters near the separators (the NUL, CR, '.', '{') are token characters.
    const std::string alphabet = std::string(" [](),\t\n01.{\r") + '\0';
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<size_t> length(0, 40);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (size_t n = length(random); n > 0; --n)
            text += alphabet[pick(random)];
        ASSERT_EQ(Split(text), SplitBySearch(text)) << round;
    }
}

TEST(Tokens, StopsAtTheFirstTokenRefused) {
    std::vector<std::string> seen;
    EXPECT_FALSE(zeph::ForEachToken("a b c", [&](std::string_view t) {
        seen.emplace_back(t);
        return t != "b";
    }));
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
