// The port monitor's own UTF-8 and UTF-16 conversions.
#include <gtest/gtest.h>

#include "monitor/monitor_text.h"
#include "monitor/unicode_text.h"

namespace {

using unicode_text::FirstUnits;
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

TEST(UnicodeTextTest, FirstUnitsKeepPairsWhole) {
  const std::u16string text = u"a\U0001F600b";
  EXPECT_EQ(FirstUnits(text, 1), u"a");
  EXPECT_EQ(FirstUnits(text, 2), u"a");
  EXPECT_EQ(FirstUnits(text, 3), u"a\U0001F600");
  EXPECT_EQ(FirstUnits(text, 10), text);
  EXPECT_EQ(FirstUnits(u"", 3), u"");
}

TEST(UnicodeTextTest, LogTextKeepsANameOnItsLine) {
  // A document's name that would end the line and forge one of its own.
  EXPECT_EQ(LogText(L"a.doc\r\n2026-01-01 00:00:00 TAVRINPORT \"x\": job 1 done"),
            "a.doc\\x0D\\x0A2026-01-01 00:00:00 TAVRINPORT \"x\": job 1 done");
  // Every C0 and C1 control, DEL and the two separators are shown; the
  // characters next to them, any script and paths are kept.
  EXPECT_EQ(LogText(L"\x01\t\x1f \x7f\x85\x9f\xa0\u2028\u2029\u202f"),
            "\\x01\\x09\\x1F \\x7F\\x85\\x9F\u00a0\\u2028\\u2029\u202f");
  EXPECT_EQ(LogTextFromAnsi("C:\\tavrin\\output\\a\tb.ps"), "C:\\tavrin\\output\\a\\x09b.ps");
  // The debugger trace gets the same.
  EXPECT_EQ(TraceText(L"line\nbreak"), "line\\x0Abreak");
}

}  // namespace
