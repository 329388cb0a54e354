#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/file_listing.h"

namespace {

using namespace zeph::cli;
using Tokens = std::vector<std::string>;

TEST(ParseCommandLine, BlanksSeparateAndQuotesGroup) {
    EXPECT_EQ(ParseCommandLine("-bctypes 6 x.jpg"), (Tokens{"-bctypes", "6", "x.jpg"}));
    EXPECT_EQ(ParseCommandLine("  a   b  "), (Tokens{"a", "b"}));
    // Quotes anywhere in a token: dropped, and the blank between them kept.
    EXPECT_EQ(ParseCommandLine("a\"b c\"d"), (Tokens{"ab cd"}));
    EXPECT_EQ(ParseCommandLine("\"my pics\\a b.jpg\""), (Tokens{"my pics\\a b.jpg"}));
    // Only the blank separates: a tab belongs to the token.
    EXPECT_EQ(ParseCommandLine("a\tb c"), (Tokens{"a\tb", "c"}));
    // An empty pair of quotes starts no token.
    EXPECT_EQ(ParseCommandLine("\"\" x"), (Tokens{"x"}));
    EXPECT_TRUE(ParseCommandLine("").empty());
    EXPECT_TRUE(ParseCommandLine("     ").empty());
}

TEST(ParseCommandLine, TwentyTokensAtMost) {
    std::string twenty;
    for (int i = 0; i < 20; ++i)
        twenty.append("t").append(std::to_string(i)).append(" ");
    EXPECT_EQ(ParseCommandLine(twenty).size(), 20u);
    EXPECT_TRUE(ParseCommandLine(twenty + "one-more").empty());
}

TEST(ArgumentString, ArgumentsWithBlanksStayWhole) {
    char a0[] = "ZephScan", a1[] = "-minconf", a2[] = "0.5", a3[] = "my pics/a b.jpg";
    char* argv[] = {a0, a1, a2, a3};
    EXPECT_EQ(ParseCommandLine(ArgumentString(4, argv)),
              (Tokens{"-minconf", "0.5", "my pics/a b.jpg"}));
    char blanks[] = "   ";
    char* onlyBlanks[] = {a0, blanks};
    EXPECT_TRUE(ParseCommandLine(ArgumentString(2, onlyBlanks)).empty());
}

TEST(ScanOptions, OptionsBeforeTheMaskInAnyCase) {
    const auto options =
        ScanOptions({"-MinConf", "0.5", "-BCTYPES", "6", "-mincontrast", "0.1", "x.jpg"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->size(), 3u);
    EXPECT_EQ((*options)[0].kind, OptionKind::kMinConfidence);
    EXPECT_DOUBLE_EQ((*options)[0].real, 0.5);
    EXPECT_EQ((*options)[1].kind, OptionKind::kBarcodeTypes);
    EXPECT_EQ((*options)[1].integer, 6);
    EXPECT_EQ((*options)[2].kind, OptionKind::kMinContrast);
}

TEST(ScanOptions, TheMaskAndTheTokenBeforeItAreNeverOptions) {
    // "-minconf x.jpg": the option stands right before the mask.
    const auto beforeMask = ScanOptions({"-minconf", "x.jpg"});
    ASSERT_TRUE(beforeMask);
    EXPECT_EQ(beforeMask->size(), 0u);
    // Options after the mask are never read: here the mask is "0.5".
    const auto afterMask = ScanOptions({"img.jpg", "-minconf", "0.5"});
    ASSERT_TRUE(afterMask);
    EXPECT_EQ(afterMask->size(), 0u);
}

TEST(ScanOptions, BadValuesAreABadCommandLine) {
    EXPECT_FALSE(ScanOptions({"-minconf", "abc", "1", "x.jpg"}));
    EXPECT_FALSE(ScanOptions({"-bctypes", "99999999999", "1", "x.jpg"}));
    EXPECT_FALSE(ScanOptions({"-bctypes", "0x3", "1", "x.jpg"}));
    // Reals beyond single precision (the control's type) do not fit either;
    // the largest that does is taken, and so are tiny ones.
    for (const char* value : {"1e39", "-3.5e38", "3.4028236e38"})
        EXPECT_FALSE(ScanOptions({"-mincontrast", value, "1", "x.jpg"})) << value;
    for (const char* value : {"3.4028234e38", "-3.4028234e38", "1e-50"})
        EXPECT_TRUE(ScanOptions({"-minconf", value, "1", "x.jpg"})) << value;
    // A fractional mask rounds, halves to even; the last of repeated options wins
    // when applied in order.
    const auto rounded = ScanOptions({"-bctypes", "6.5", "-bctypes", "7.5", "x.jpg"});
    ASSERT_TRUE(rounded);
    ASSERT_EQ(rounded->size(), 2u);
    EXPECT_EQ((*rounded)[0].integer, 6);
    EXPECT_EQ((*rounded)[1].integer, 8);
    // A value is examined as a name at the next position too.
    const auto chained = ScanOptions({"-minconf", "-bctypes", "3", "x.jpg"});
    EXPECT_FALSE(chained);
}

TEST(ScanOptions, TheExtendedSearchIsSwitchedByZeroOrOne) {
    const auto options = ScanOptions({"-Extended", "0", "-EXTENDED", "1", "x.jpg"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->size(), 2u);
    EXPECT_EQ((*options)[0].kind, OptionKind::kExtended);
    EXPECT_EQ((*options)[0].integer, 0);
    EXPECT_EQ((*options)[1].integer, 1);
    for (const char* value : {"2", "-1", "1.0", "on", "", " 1"})
        EXPECT_FALSE(ScanOptions({"-extended", value, "1", "x.jpg"})) << value;
}

TEST(ScanOptions, ThreadsAreAWholeNumberFromOneTo256) {
    const auto options = ScanOptions({"-threads", "1", "-THREADS", "256", "x.jpg"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->size(), 2u);
    EXPECT_EQ((*options)[0].kind, OptionKind::kThreads);
    EXPECT_EQ((*options)[0].integer, 1);
    EXPECT_EQ((*options)[1].integer, 256);
    for (const char* value : {"0", "257", "-2", "+2", "2.0", "1e1", "two", "", " 2", "2 "})
        EXPECT_FALSE(ScanOptions({"-threads", value, "1", "x.jpg"})) << value;
}

TEST(ResolveMask, RelativeMasksStartAtTheProgramsFolder) {
    FileMask m = ResolveMask("pics\\*.jpg", "/opt/zeph/bin");
    EXPECT_EQ(m.folder, "/opt/zeph/bin/pics/");
    EXPECT_EQ(m.pattern, "*.jpg");
    m = ResolveMask("picsFolder/*.gif", "/opt/zeph/bin");
    EXPECT_EQ(m.folder, "/opt/zeph/bin/picsFolder/");
    m = ResolveMask("x.jpg", "/");
    EXPECT_EQ(m.folder, "/");
    EXPECT_EQ(m.pattern, "x.jpg");
    m = ResolveMask("/data/scans/a?.png", "/opt");
    EXPECT_EQ(m.folder, "/data/scans/");
    EXPECT_EQ(m.pattern, "a?.png");
    m = ResolveMask("\\data\\b.png", "/opt");
    EXPECT_EQ(m.folder, "/data/");
}

TEST(MatchesPattern, StarsAndQuestionMarks) {
    EXPECT_TRUE(MatchesPattern("a.jpg", "*.jpg"));
    EXPECT_TRUE(MatchesPattern("a.jpg", "*"));
    EXPECT_TRUE(MatchesPattern("ab.jpg", "a?.jpg"));
    EXPECT_FALSE(MatchesPattern("a.jpg", "a?.jpg"));
    EXPECT_FALSE(MatchesPattern("a.jpeg", "*.jpg"));
    EXPECT_TRUE(MatchesPattern("a.b.c", "*.*.c"));
    EXPECT_TRUE(MatchesPattern("x", "x"));
    EXPECT_FALSE(MatchesPattern("X", "x"));  // names compare exactly
    EXPECT_FALSE(MatchesPattern(std::string(200, 'a'), std::string(20, '*') + "b*"));
}

}  // namespace
