// The port monitor's own UTF-8 and UTF-16 conversions.
#include <gtest/gtest.h>

#include "monitor/unicode_text.h"

namespace {

using unicode_text::FirstCharacters;
using unicode_text::FromUtf8;
using unicode_text::ToUtf8;

TEST(UnicodeTextTest, RoundTripsEveryPlane) {
  const std::u16string text = u"A \u00e9 \u0416 \u20ac \u65e5 \U0001F600 \U0010FFFF";
  const std::string utf8 = ToUtf8(text);
  EXPECT_EQ(utf8, u8"A \u00e9 \u0416 \u20ac \u65e5 \U0001F600 \U0010FFFF");
  std::u16string back;
  ASSERT_TRUE(FromUtf8(utf8, &back));
  EXPECT_EQ(back, text);
}

TEST(UnicodeTextTest, BrokenInputIsRefusedOrReplaced) {
  // A lone surrogate has no UTF-8 form: U+FFFD stands in for it.
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(ToUtf8(u"x" + std::u16string(1, char16_t(0xDC00))), "x\xEF\xBF\xBD");
  std::u16string out = u"unchanged";
  for (const char* bad : {"\xFF", "\xC3", "\xE2\x82", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                          "\xF4\x90\x80\x80", "a\x80"})
    EXPECT_FALSE(FromUtf8(bad, &out)) << bad;
  EXPECT_EQ(out, u"unchanged");
}

TEST(UnicodeTextTest, FirstCharactersKeepPairsWhole) {
  const std::u16string text = u"a\U0001F600b";
  EXPECT_EQ(FirstCharacters(text, 1), u"a");
  EXPECT_EQ(FirstCharacters(text, 2), u"a\U0001F600");
  EXPECT_EQ(FirstCharacters(text, 3), text);
  EXPECT_EQ(FirstCharacters(text, 10), text);
  EXPECT_EQ(FirstCharacters(u"", 3), u"");
}

}  // namespace
