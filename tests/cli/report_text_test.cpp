#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "cli/report.h"

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

TEST(EscapeText, OnlyAmpersandAndAngleBrackets) {
    EXPECT_EQ(EscapeText("</Data><x>&"), "&lt;/Data&gt;&lt;x&gt;&amp;");
    EXPECT_EQ(EscapeText("\"quote' \xA3"), "\"quote' \xA3");
    EXPECT_EQ(EscapeText(""), "");
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
