#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/file_listing.h"

namespace {

using namespace zeph::cli;
using Tokens = std::vector<std::string>;

std::vector<std::string> Arguments(std::vector<std::string> args) {
    std::vector<char*> argv;
    std::string program = "ZephScan";
    argv.push_back(program.data());
    for (std::string& a : args)
        argv.push_back(a.data());
    return ArgumentTokens(static_cast<int>(argv.size()), argv.data());
}

TEST(ArgumentTokens, EveryArgumentIsOneTokenAsTheShellSplitIt) {
    // Blanks, quotes and tabs inside an argument belong to it: a file name
    // holding a double quote is that file's name.
    EXPECT_EQ(Arguments({"-minconf", "0.5", "my pics/a b.jpg", "say \"cheese\".png", "a\tb"}),
              (Tokens{"-minconf", "0.5", "my pics/a b.jpg", "say \"cheese\".png", "a\tb"}));
    // Empty arguments and arguments of blanks alone give no token.
    EXPECT_TRUE(Arguments({}).empty());
    EXPECT_TRUE(Arguments({"", "   "}).empty());
    EXPECT_EQ(Arguments({" x.jpg", ""}), (Tokens{" x.jpg"}));
}

TEST(ArgumentTokens, AnyNumberOfTokens) {
    // The shell's expansion of a mask gives as many files as there are.
    std::vector<std::string> many;
    for (int i = 0; i < 5000; ++i)
        many.push_back("/data/f" + std::to_string(i) + ".png");
    EXPECT_EQ(Arguments(many).size(), 5000u);
    const auto line = ScanCommandLine(Arguments(many));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->masks.size(), 5000u);
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

TEST(ScanCommandLine, EveryTokenNotAnOptionIsAMaskInOrder) {
    // Masks before, between and after the options, as a shell expands them.
    const auto line = ScanCommandLine(
        {"a.png", "-bctypes", "6", "b.png", "-MINCONF", "0.5", "c.png", "d.png", "e.png"});
    ASSERT_TRUE(line);
    EXPECT_EQ(line->masks, (Tokens{"a.png", "b.png", "c.png", "d.png", "e.png"}));
    ASSERT_EQ(line->options.size(), 2u);
    EXPECT_EQ(line->options[0].position, 1u);
    EXPECT_EQ(line->options[1].position, 4u);
    // The last two tokens are never options: named, they are masks, so that
    // nothing named goes without a word.
    const auto late = ScanCommandLine({"img.jpg", "-minconf", "0.5"});
    ASSERT_TRUE(late);
    EXPECT_TRUE(late->options.empty());
    EXPECT_EQ(late->masks, (Tokens{"img.jpg", "-minconf", "0.5"}));
    const auto one = ScanCommandLine({"-minconf", "x.jpg"});
    ASSERT_TRUE(one);
    EXPECT_EQ(one->masks, (Tokens{"-minconf", "x.jpg"}));
}

TEST(ScanCommandLine, ABadCommandLineNamesItsToken) {
    BadCommandLine bad;
    EXPECT_FALSE(ScanCommandLine({}, &bad));
    EXPECT_EQ(bad.why, "no file mask");
    EXPECT_FALSE(ScanCommandLine({"-minconf", "abc", "1", "x.jpg"}, &bad));
    EXPECT_EQ(bad.token, "-minconf abc");
    EXPECT_NE(bad.why.find("number"), std::string::npos) << bad.why;
    EXPECT_FALSE(ScanCommandLine({"-Format", "html", "a", "b"}, &bad));
    EXPECT_EQ(bad.token, "-Format html");
    EXPECT_NE(bad.why.find("xml, json or text"), std::string::npos) << bad.why;
}

TEST(ScanOptions, ZephScansOwnOptions) {
    const auto options =
        ScanOptions({"-format", "JSON", "-pages", "all", "-dpi", "150", "-progress", "1", "-FORMAT",
                     "text", "-PAGES", "First", "a.pdf", "b.pdf"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->size(), 6u);
    EXPECT_EQ((*options)[0].kind, OptionKind::kFormat);
    EXPECT_EQ((*options)[0].integer, int(ReportFormat::kJson));
    EXPECT_EQ((*options)[1].kind, OptionKind::kPages);
    EXPECT_EQ((*options)[1].integer, 1);
    EXPECT_EQ((*options)[2].kind, OptionKind::kDotsPerInch);
    EXPECT_EQ((*options)[2].integer, 150);
    EXPECT_EQ((*options)[3].kind, OptionKind::kProgress);
    EXPECT_EQ((*options)[4].integer, int(ReportFormat::kText));
    EXPECT_EQ((*options)[5].integer, 0);
    for (const Tokens& bad :
         {Tokens{"-format", "html", "1", "x"}, Tokens{"-pages", "2", "1", "x"},
          Tokens{"-dpi", "0", "1", "x"}, Tokens{"-dpi", "2401", "1", "x"},
          Tokens{"-dpi", "300.0", "1", "x"}, Tokens{"-progress", "yes", "1", "x"}})
        EXPECT_FALSE(ScanOptions(bad)) << bad[0] << " " << bad[1];
    EXPECT_TRUE(ScanOptions({"-dpi", "2400", "1", "x"}));
}

TEST(Requested, HelpAndVersionWordsAnywhere) {
    for (const char* word : {"--help", "-help", "-h", "-?", "-HELP", "--Help", "-H"})
        EXPECT_EQ(Requested({"-bctypes", "6", word, "x.jpg"}), Request::kHelp) << word;
    EXPECT_EQ(Requested({"--version"}), Request::kVersion);
    EXPECT_EQ(Requested({"--version", "-h"}), Request::kVersion) << "the first counts";
    EXPECT_EQ(Requested({"-help.png", "help", "-version", "x"}), Request::kRead);
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

// A name without wildcards is looked up rather than listed: the same answer
// as matching it against every name of the folder.
TEST(ListFiles, NamesWithoutWildcardsListTheFileAloneAsMatchingWould) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("zeph-listing-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "sub.png");
    for (const char* name : {"a.png", "ab.png", ".hidden.png", "A.PNG"})
        std::ofstream(folder / name) << "x";
    fs::create_symlink(folder / "a.png", folder / "link.png");
    fs::create_symlink(folder / "gone.png", folder / "dangling.png");
    const std::string dir = folder.string() + "/";
    using List = std::vector<std::string>;
    for (const std::string name : {"a.png", "A.PNG", "link.png"}) {
        EXPECT_EQ(ListFiles(dir, name), List{name});
        // The listing by wildcard finds the same file among the others.
        const List all = ListFiles(dir, "*");
        EXPECT_NE(std::find(all.begin(), all.end(), name), all.end()) << name;
    }
    for (const std::string name :
         {"missing.png", ".hidden.png", "sub.png", "dangling.png", "", "A.png"}) {
        EXPECT_EQ(ListFiles(dir, name), List{}) << name;
        const List all = ListFiles(dir, "*");
        EXPECT_EQ(std::find(all.begin(), all.end(), name), all.end()) << name;
    }
    EXPECT_EQ(ListFiles(dir + "missing/", "a.png"), List{});
    fs::remove_all(folder);
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
