#include "support/text.h"

#include <gtest/gtest.h>

namespace hs::support {
namespace {

TEST(Text, Utf8RoundTripIncludingAstralPlane) {
  const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80 \xE2\x82\xAC";
  const std::u16string wide = utf8_to_utf16(utf8);
  EXPECT_EQ(wide, u"Gr\u00FC\u00DFe \U0001F600 \u20AC");
  EXPECT_EQ(utf16_to_utf8(wide), utf8);
}

TEST(Text, InvalidUtf8BecomesReplacementCharacter) {
  EXPECT_EQ(utf8_to_utf16("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(utf8_to_utf16("\xC0\x80"), u"\uFFFD");        // overlong NUL
  EXPECT_EQ(utf8_to_utf16("\xED\xA0\x80x"), u"\uFFFDx");  // encoded surrogate
}

TEST(Text, BarFormIsPlainOnlyForAscii) {
  EXPECT_EQ(to_bar_form(u"Program Files"), "Program Files");
  EXPECT_EQ(to_bar_form(u"Caf\u00E9"), "|Caf\xC3\xA9");
  EXPECT_EQ(from_bar_form("|Caf\xC3\xA9"), u"Caf\u00E9");
  // Without the bar the text is code page 1252: 0x80 is the euro sign.
  EXPECT_EQ(from_bar_form("\x80 5"), u"\u20AC 5");
}

TEST(Text, Cp1252RoundTripAndUnmappable) {
  EXPECT_EQ(utf16_to_cp1252(u"\u20AC\u00E9\u0152"), "\x80\xE9\x8C");
  EXPECT_EQ(utf16_to_cp1252(u"\u4E2D"), "?");
}

TEST(Text, CaseInsensitiveComparison) {
  EXPECT_TRUE(iequals(u"Silent", u"SILENT"));
  EXPECT_TRUE(iequals(u"\u00E9t\u00E9", u"\u00C9T\u00C9"));
  EXPECT_FALSE(iequals(u"silent", u"silentx"));
  EXPECT_TRUE(istarts_with(u"d:C:\\x", u"D:"));
}

}  // namespace
}  // namespace hs::support
