#include <gtest/gtest.h>

#include <string>

#include "Text.h"

using namespace printing;

namespace {

// Pins a code page for one test and goes back to the locale's afterwards.
class AnsiCodePageTest : public ::testing::Test {
 protected:
  void TearDown() override { SetAnsiCodePage(""); }
};

}  // namespace

TEST(Utf8Utf16, RoundTripsAcrossThePlanes) {
  // ASCII, Latin-1, a BMP symbol and a character outside the BMP (G clef).
  const std::string utf8 = "Büro \xE2\x82\xAC \xF0\x9D\x84\x9E";
  const std::u16string utf16 = u"B\u00FCro \u20AC \U0001D11E";
  ASSERT_EQ(utf16.size(), 9u);  // the G clef takes a surrogate pair
  EXPECT_EQ(utf16[7], 0xD834);
  EXPECT_EQ(utf16[8], 0xDD1E);
  EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
  EXPECT_EQ(Utf8ToUtf16(""), u"");
}

TEST(Utf8Utf16, InvalidUtf8BecomesOneReplacementPerByte) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  // Truncated three-byte sequence at the end.
  EXPECT_EQ(Utf8ToUtf16("x\xE2\x82"), u"x\uFFFD\uFFFD");
  // Overlong encoding of '/'.
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
  // An encoded surrogate is not a character.
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  // Past U+10FFFF.
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  // A valid character right after a broken one survives.
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"
                        "\xC3\xA9"),
            u"\uFFFD\uFFFD\u00E9");
}

TEST(Utf8Utf16, LoneSurrogatesBecomeReplacement) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"a") + char16_t(0xD800) + u"b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
  // High surrogate at the very end.
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"z") + char16_t(0xDBFF)), "z\xEF\xBF\xBD");
}

TEST_F(AnsiCodePageTest, PinnedLatin1HoldsEAcuteInOneByte) {
  SetAnsiCodePage("ISO-8859-1");
  EXPECT_EQ(AnsiCodePage(), "ISO-8859-1");
  EXPECT_EQ(Utf8ToAnsi("\xC3\xA9"), "\xE9");
  EXPECT_EQ(Utf16ToAnsi(u"Caf\u00E9"), "Caf\xE9");
  EXPECT_EQ(AnsiToUtf16("\xE9"), u"\u00E9");
  EXPECT_EQ(Utf16ToUtf8(AnsiToUtf16("Caf\xE9")), "Caf\xC3\xA9");
}

TEST_F(AnsiCodePageTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  SetAnsiCodePage("ISO-8859-1");
  EXPECT_EQ(Utf8ToAnsi("5 \xE2\x82\xAC"), "5 ?");
  // A surrogate pair is one character, so one '?'.
  EXPECT_EQ(Utf8ToAnsi("a\xF0\x9D\x84\x9E"
                       "b"),
            "a?b");
  EXPECT_EQ(Utf16ToAnsi(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");
  // Invalid UTF-8 is one U+FFFD per byte first, and each of those is a '?'.
  EXPECT_EQ(Utf8ToAnsi("x\xFF"
                       "y"),
            "x?y");
}

TEST_F(AnsiCodePageTest, BytesInvalidInTheCodePageBecomeReplacement) {
  SetAnsiCodePage("ASCII");
  EXPECT_EQ(AnsiToUtf16("a\xE9"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToAnsi("\xC3\xA9t\xC3\xA9"), "?t?");
}

TEST_F(AnsiCodePageTest, UnknownCodePageActsAsAscii) {
  SetAnsiCodePage("NO-SUCH-CODESET");
  EXPECT_EQ(Utf8ToAnsi("Caf\xC3\xA9"), "Caf?");
  EXPECT_EQ(AnsiToUtf16("Caf\xE9"), u"Caf\uFFFD");
}

TEST_F(AnsiCodePageTest, Utf8CodePageRepairsInvalidInput) {
  SetAnsiCodePage("utf8");
  EXPECT_EQ(Utf8ToAnsi("\xC3\xA9"), "\xC3\xA9");
  EXPECT_EQ(Utf8ToAnsi("a\xFF"), "a\xEF\xBF\xBD");
  EXPECT_EQ(AnsiToUtf16("\xE2\x82\xAC"), u"\u20AC");
}

TEST_F(AnsiCodePageTest, LongTextConvertsCompletely) {
  // Longer than the converter's working chunk, in both directions.
  SetAnsiCodePage("ISO-8859-1");
  std::string utf8;
  for (int i = 0; i < 6000; ++i) utf8 += "\xC3\xA9";
  utf8 += "\xE2\x82\xAC";
  const std::string ansi = Utf8ToAnsi(utf8);
  ASSERT_EQ(ansi.size(), 6001u);
  EXPECT_EQ(ansi, std::string(6000, '\xE9') + "?");
  const std::u16string back = AnsiToUtf16(std::string(6000, '\xE9'));
  EXPECT_EQ(back, std::u16string(6000, u'\u00E9'));
}

TEST_F(AnsiCodePageTest, EmptyNameGoesBackToTheLocale) {
  SetAnsiCodePage("ISO-8859-1");
  SetAnsiCodePage("");
  EXPECT_FALSE(AnsiCodePage().empty());
  EXPECT_NE(AnsiCodePage(), "ISO-8859-1");
}

TEST_F(AnsiCodePageTest, DoubleByteCodePageKeepsCharactersWhole) {
  SetAnsiCodePage("CP932");
  EXPECT_EQ(Utf16ToAnsi(u"\u65E5\u672C 1"), "\x93\xFA\x96\x7B 1");
  EXPECT_EQ(AnsiToUtf16("\x93\xFA\x96\x7B 1"), u"\u65E5\u672C 1");
  // A lead byte with nothing after it.
  EXPECT_EQ(AnsiToUtf16("a\x93"), u"a\uFFFD");
  EXPECT_EQ(Utf8ToAnsi("caf\xC3\xA9"), "caf?");
}
