#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/json_report.h"
#include "cli/report.h"
#include "cli/text_report.h"
#include "cli/utf8_text.h"

namespace {

using namespace zeph::cli;

TEST(FilterRawData, ControlAndHighBytesBecomeHashes) {
    EXPECT_EQ(FilterRawData(""), "");
    EXPECT_EQ(FilterRawData("(01)95012345678903"), "(01)95012345678903");
    EXPECT_EQ(FilterRawData(std::string("A\x1D"
                                        "B\x7F"
                                        "C\xA3",
                                        6)),
              "A#B#C#");
    EXPECT_EQ(FilterRawData(std::string(1, '\0')), "#");
    EXPECT_EQ(FilterRawData(" ~"), " ~");
}

TEST(EscapeText, AmpersandAngleBracketsAndControlCharacters) {
    EXPECT_EQ(EscapeText("</Data><x>&"), "&lt;/Data&gt;&lt;x&gt;&amp;");
    EXPECT_EQ(EscapeText("\"quote' \xC2\xA3"), "\"quote' \xC2\xA3");
    EXPECT_EQ(EscapeText(""), "");
    // XML 1.0 holds no other control character at all: each becomes its
    // control picture; a carriage return a reference that parsers keep.
    EXPECT_EQ(EscapeText("a\tb\nc"), "a\tb\nc");
    EXPECT_EQ(EscapeText("\x1b\x1d\x01"), "\xE2\x90\x9B\xE2\x90\x9D\xE2\x90\x81");
    EXPECT_EQ(EscapeText("\r"), "&#13;");
}

TEST(XmlText, ReaderTextsBecomeUtf8) {
    // The pound sign of a price add-on, a Code 128 accent, the euro sign.
    EXPECT_EQ(XmlText("\xA3"
                      "5.00"),
              "\xC2\xA3"
              "5.00");
    EXPECT_EQ(XmlText("Caf\xE9 & \x80"), "Caf\xC3\xA9 &amp; \xE2\x82\xAC");
}

TEST(XmlName, FileNamesStayUnlessTheyAreNotUtf8) {
    EXPECT_EQ(XmlName("/photos/\xC3\xA9"
                      "t\xC3\xA9 \xE2\x82\xAC.png"),
              "/photos/\xC3\xA9"
              "t\xC3\xA9 \xE2\x82\xAC.png");
    // A Latin-1 byte, a lone continuation byte, an overlong form, a surrogate.
    EXPECT_EQ(XmlName("a\xE9"
                      "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(ValidUtf8("\x80"), "\xEF\xBF\xBD");
    EXPECT_EQ(ValidUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(ValidUtf8("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(XmlName("a&b<c>"), "a&amp;b&lt;c&gt;");
}

FileResult SomeResult() {
    FileResult r;
    r.path = "/data/lab\"el\\s.tif";
    r.counted = true;
    r.count = 2;
    r.pages = 2;
    MatchResult a;
    a.raw = "4006381333931 + 00500";
    a.symbology = "EAN-13 + UPC Supplemental";
    a.type = "EAN-13 + 5-digit Supplement";
    a.descriptor = "Product Identifier - Germany + Retail Price";
    a.data =
        "(40) 0638133393; \xA3"
        "5.00 (British Pounds)";
    a.confidence = 0.945f;
    a.startx = 54, a.starty = 157, a.stopx = 545, a.stopy = 158;
    MatchResult b;
    b.raw = "a\tb\x1b\xFC";
    b.symbology = "CODE-128";
    b.data = "a\tb\x1b";
    b.page = 2;
    r.matches = {a, b};
    return r;
}

TEST(JsonLine, EveryFieldOfEveryMatchAsParsedJson) {
    const std::string line = JsonLine(SomeResult());
    ASSERT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line per file";
    const nlohmann::json file = nlohmann::json::parse(line);
    EXPECT_EQ(file["file"], "/data/lab\"el\\s.tif");
    EXPECT_EQ(file["status"], "ok");
    EXPECT_FALSE(file.contains("error"));
    EXPECT_EQ(file["pages"], 2);
    ASSERT_EQ(file["barcodes"].size(), 2u);
    const nlohmann::json& a = file["barcodes"][0];
    EXPECT_EQ(a["page"], 1);
    EXPECT_EQ(a["symbology"], "EAN-13 + UPC Supplemental");
    EXPECT_EQ(a["type"], "EAN-13 + 5-digit Supplement");
    EXPECT_EQ(a["rawData"], "4006381333931 + 00500");
    EXPECT_EQ(a["data"],
              "(40) 0638133393; \xC2\xA3"
              "5.00 (British Pounds)");
    EXPECT_EQ(a["descriptor"], "Product Identifier - Germany + Retail Price");
    EXPECT_FLOAT_EQ(a["confidence"].get<float>(), 0.945f);
    EXPECT_EQ(a["start"]["x"], 54);
    EXPECT_EQ(a["start"]["y"], 157);
    EXPECT_EQ(a["stop"]["x"], 545);
    EXPECT_EQ(a["stop"]["y"], 158);
    const nlohmann::json& b = file["barcodes"][1];
    EXPECT_EQ(b["page"], 2);
    // Control characters survive as escapes, the function character as its
    // Windows-1252 letter.
    EXPECT_EQ(b["rawData"], "a\tb\x1b\xC3\xBC");
}

TEST(JsonLine, FailuresCarryTheirReason) {
    FileResult failed = SomeResult();
    failed.failure = FileFailure::FailedOpen;
    failed.failedPage = 3;
    failed.reason = "TIFF: damaged picture";
    const nlohmann::json file = nlohmann::json::parse(JsonLine(failed));
    EXPECT_EQ(file["status"], "error");
    EXPECT_EQ(file["error"], "page 3: TIFF: damaged picture");
    EXPECT_EQ(file["barcodes"].size(), 2u) << "what was read before is kept";
    FileResult unreadable;
    unreadable.path = "/x/\xE9.png";
    unreadable.failure = FileFailure::FailedOpen;
    unreadable.failedPage = 1;
    unreadable.reason = "No such file or directory";
    const nlohmann::json none = nlohmann::json::parse(JsonLine(unreadable));
    EXPECT_EQ(none["file"], "/x/\xEF\xBF\xBD.png");
    EXPECT_EQ(none["error"], "No such file or directory");
    EXPECT_TRUE(none["barcodes"].empty());
}

TEST(TextLines, OneLinePerBarcode) {
    FileResult r = SomeResult();
    r.path = "/data/a.tif";
    EXPECT_EQ(TextLines(r, false),
              "/data/a.tif: EAN-13 + UPC Supplemental: 4006381333931 + 00500\n"
              "/data/a.tif: CODE-128: a\\x09b\\x1B\xC3\xBC\n");
    EXPECT_EQ(TextLines(r, true).substr(0, 14), "/data/a.tif:1:");
    EXPECT_NE(TextLines(r, true).find("\n/data/a.tif:2: CODE-128"), std::string::npos);
    EXPECT_EQ(OneLine("a\\b\r\n"), "a\\\\b\\x0D\\x0A");
    EXPECT_EQ(TextLines(FileResult{}, false), "");
}

TEST(XmlBlock, PagesAndTheEndingsOfAReadingStoppedLate) {
    FileResult r = SomeResult();
    r.path = "/d/a.tif";
    const std::string plain = XmlBlock(r, false);
    EXPECT_EQ(plain.find("<Page>"), std::string::npos);
    const std::string paged = XmlBlock(r, true);
    EXPECT_NE(paged.find("\t\t<Stopy>158</Stopy>\r\n\t\t<Page>1</Page>\r\n\t</BarcodeMatch>"),
              std::string::npos);
    EXPECT_NE(paged.find("<Page>2</Page>"), std::string::npos);
    // A later page that cannot be loaded: the pages before it are kept, and
    // the block does not end as a success.
    r.failure = FileFailure::FailedOpen;
    r.failedPage = 3;
    const std::string late = XmlBlock(r, true);
    EXPECT_NE(late.find("\t<NbCodes>2</NbCodes>"), std::string::npos);
    EXPECT_NE(late.find("\t</BarcodeMatch>\r\n\t<Status>ERROR: Failed to open page 3 of "
                        "/d/a.tif</Status>\r\n</ZephScanResult>\r\n"),
              std::string::npos)
        << late;
}

std::tm At(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(FormatTimestamp, GeneralDateAndTime) {
    EXPECT_EQ(FormatTimestamp(At(2026, 12, 7, 21, 16, 53)), "12/7/2026 9:16:53 PM");
    EXPECT_EQ(FormatTimestamp(At(2026, 1, 2, 9, 5, 7)), "1/2/2026 9:05:07 AM");
    EXPECT_EQ(FormatTimestamp(At(2026, 3, 4, 12, 0, 0)), "3/4/2026 12:00:00 PM");
    EXPECT_EQ(FormatTimestamp(At(2026, 3, 4, 0, 0, 1)), "3/4/2026 12:00:01 AM");
    // Exactly midnight: the date alone.
    EXPECT_EQ(FormatTimestamp(At(2026, 3, 4, 0, 0, 0)), "3/4/2026");
}

TEST(ReportHead, RootTimestampAndVersion) {
    EXPECT_EQ(ReportHead(At(2026, 12, 7, 21, 16, 53)),
              "<ZephScanOutput>\r\n<Timestamp>12/7/2026 9:16:53 PM</Timestamp>\r\n"
              "<Version>1.0.0</Version>\r\n");
    EXPECT_EQ(kReportEnd, "</ZephScanOutput>\r\n");
}

}  // namespace
