#include <gtest/gtest.h>

#include <array>
#include <string>

#include "engine/reader.h"

namespace {

TEST(TextField, SetCutsAtTheWidthAndTerminates) {
    std::array<char, 8> field;
    field.fill('x');
    XR_SetText(field, "0123456789");
    EXPECT_EQ(XR_TextOf(field), "0123456");
    EXPECT_EQ(field[7], '\0');
    XR_SetText(field, "ab");
    EXPECT_EQ(XR_TextOf(field), "ab");
    XR_SetText(field, "");
    EXPECT_EQ(XR_TextOf(field), "");
}

TEST(TextField, AppendFillsUpToTheWidth) {
    std::array<char, 8> field{};
    XR_AppendText(field, "abc");
    XR_AppendText(field, " + ");
    EXPECT_EQ(XR_TextOf(field), "abc + ");
    XR_AppendText(field, "12345");
    EXPECT_EQ(XR_TextOf(field), "abc + 1");
    XR_AppendText(field, "more");
    EXPECT_EQ(XR_TextOf(field), "abc + 1");
}

TEST(TextField, UnterminatedFieldIsRepairedNotOverrun) {
    std::array<char, 4> field;
    field.fill('z');
    EXPECT_EQ(XR_TextOf(field), "zzzz");
    XR_AppendText(field, "q");
    EXPECT_EQ(XR_TextOf(field), "zzz");
}

TEST(TextField, KeepsWindows1252BytesAndTheRecordWidths) {
    MatchRecord r;
    XR_SetText(r.data,
               "\xA3"
               "1.23");
    EXPECT_EQ(XR_TextOf(r.data),
              "\xA3"
              "1.23");
    XR_SetText(r.rawData, std::string(300, '7'));
    EXPECT_EQ(XR_TextOf(r.rawData).size(), 99u);
    XR_SetText(r.data, std::string(300, '7'));
    EXPECT_EQ(XR_TextOf(r.data).size(), 300u);
    XR_AppendText(r.data, std::string(300, '8'));
    EXPECT_EQ(XR_TextOf(r.data).size(), 499u);
}

}  // namespace
