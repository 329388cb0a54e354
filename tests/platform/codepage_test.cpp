#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"

namespace {

using zeph::platform::NarrowWindows1252;
using zeph::platform::Utf8FromWindows1252;
using zeph::platform::WidenWindows1252;

TEST(Windows1252, EveryByteRoundTrips) {
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    const std::u16string wide = WidenWindows1252(all);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(NarrowWindows1252(wide), all);
}

TEST(Windows1252, KnownCharacters) {
    EXPECT_EQ(WidenWindows1252("\xA3"
                               "1.00"),
              u"\u00A31.00");  // the pound sign
    EXPECT_EQ(WidenWindows1252("\x80\x99\x9F"), u"\u20AC\u2122\u0178");
    EXPECT_EQ(WidenWindows1252("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(NarrowWindows1252(u"\u20AC"), "\x80");
    EXPECT_EQ(NarrowWindows1252(u"A\u4E2D\u0100"), "A??");
}

TEST(Windows1252, Utf8OfEveryKindOfByte) {
    EXPECT_EQ(Utf8FromWindows1252("A~"), "A~");
    EXPECT_EQ(Utf8FromWindows1252("\xA3"), "\xC2\xA3");      // two bytes
    EXPECT_EQ(Utf8FromWindows1252("\x80"), "\xE2\x82\xAC");  // the euro sign: three
    EXPECT_EQ(Utf8FromWindows1252("\xE9\xFF"), "\xC3\xA9\xC3\xBF");
    EXPECT_EQ(Utf8FromWindows1252("\x81"), "\xC2\x81");  // undefined: U+0081
    EXPECT_EQ(Utf8FromWindows1252(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
