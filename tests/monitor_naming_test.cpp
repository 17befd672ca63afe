// The port monitor's file names and command lines for a print job.
#include <gtest/gtest.h>

#include <vector>

#include "monitor/job_naming.h"

namespace {

using job_naming::Attempt;
using job_naming::CommandLine;
using job_naming::FirstFreeNumber;
using job_naming::NumberedStem;
using job_naming::OutputFolder;
using job_naming::SafeFileStem;
using job_naming::SubstituteOutput;
using job_naming::TemporaryPdfName;
using job_naming::UnquotedPath;

TEST(MonitorNamingTest, ForbiddenAndControlCharactersBecomeUnderscores) {
  EXPECT_EQ(SafeFileStem(u"a\\b/c:d*e?f\"g<h>i|j"), u"a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(SafeFileStem(u"tab\there\r\nend\x7f"), u"tab_here__end_");
  // SafeFileStem alone takes nothing off: a path keeps its folders.
  EXPECT_EQ(SafeFileStem(u"C:\\Documents\\Report.doc"), u"C__Documents_Report.doc");
  EXPECT_EQ(SafeFileStem(u"Microsoft Word - Brief.doc"), u"Microsoft Word - Brief.doc");
  EXPECT_EQ(SafeFileStem(u"Gr\u00fc\u00dfe \u65e5\u672c"), u"Gr\u00fc\u00dfe \u65e5\u672c");
}

TEST(MonitorNamingTest, EndsAndEmptyNames) {
  EXPECT_EQ(SafeFileStem(u"  report. . "), u"report");
  EXPECT_EQ(SafeFileStem(u"..."), u"document");
  EXPECT_EQ(SafeFileStem(u""), u"document");
  EXPECT_EQ(SafeFileStem(u"   "), u"document");
  // Trimming happens after replacing, so a name of only forbidden
  // characters keeps its underscores.
  EXPECT_EQ(SafeFileStem(u"???"), u"___");
  EXPECT_EQ(SafeFileStem(u".profile"), u".profile");
}

TEST(MonitorNamingTest, DeviceNamesArePrefixed) {
  for (const char16_t* name : {u"CON", u"con", u"Prn", u"AUX", u"nul", u"COM1", u"lpt9", u"NUL.txt",
                              u"com3.tar.gz", u"CON ", u"nul .x"})
    EXPECT_EQ(SafeFileStem(name)[0], u'_') << std::u16string(name).size();
  EXPECT_EQ(SafeFileStem(u"nul.txt"), u"_nul.txt");
  for (const char16_t* name : {u"CONSOLE", u"COM", u"COM0", u"LPT10", u"NULu", u"xCON", u"AUXiliary"})
    EXPECT_EQ(SafeFileStem(name), name);
}

TEST(MonitorNamingTest, LengthIsBounded) {
  const std::u16string longest(job_naming::kMaxStemChars, u'x');
  EXPECT_EQ(SafeFileStem(longest + u"yyyy"), longest);
  // Cutting may expose trailing dots or blanks: they go as well.
  std::u16string dotted(job_naming::kMaxStemChars - 2, u'a');
  dotted += u". tail";
  EXPECT_EQ(SafeFileStem(dotted), std::u16string(job_naming::kMaxStemChars - 2, u'a'));
  // Characters are counted, not UTF-16 units: a pair is one character and
  // is never cut in two.
  const std::u16string emoji = u"\U0001F600";
  std::u16string pairs;
  for (std::size_t i = 0; i < job_naming::kMaxStemChars + 3; ++i) pairs += emoji;
  EXPECT_EQ(SafeFileStem(pairs).size(), 2 * job_naming::kMaxStemChars);
  std::u16string one_short(job_naming::kMaxStemChars - 1, u'a');
  EXPECT_EQ(SafeFileStem(one_short + emoji + u"b"), one_short + emoji);
  // A prefixed device name stays within the bound too, and does not end in
  // a dot exposed by the cut.
  EXPECT_EQ(SafeFileStem(u"CON." + longest).size(), job_naming::kMaxStemChars);
  const std::u16string xs(job_naming::kMaxStemChars - 6, u'x');
  EXPECT_EQ(SafeFileStem(u"CON." + xs + u".y"), u"_CON." + xs);
}

TEST(MonitorNamingTest, NumberedCandidates) {
  EXPECT_EQ(NumberedStem(u"Report", 0), u"Report");
  EXPECT_EQ(NumberedStem(u"Report", 1), u"Report");
  EXPECT_EQ(NumberedStem(u"Report", 2), u"Report (2)");
  EXPECT_EQ(NumberedStem(u"Report", 123), u"Report (123)");
}

TEST(MonitorNamingTest, FirstFreeNumberSkipsNamesInUse) {
  std::vector<unsigned> tried;
  auto taken_below_4 = [&](unsigned n) {
    tried.push_back(n);
    return n < 4 ? Attempt::kNameTaken : Attempt::kDone;
  };
  EXPECT_EQ(FirstFreeNumber(1, taken_below_4), 4u);
  EXPECT_EQ(tried, (std::vector<unsigned>{1, 2, 3, 4}));
  // A later start (the number a job claimed first) is kept.
  tried.clear();
  EXPECT_EQ(FirstFreeNumber(7, taken_below_4), 7u);
  EXPECT_EQ(tried, std::vector<unsigned>{7});
  // Another failure stops at once: the caller keeps what it has.
  tried.clear();
  EXPECT_EQ(FirstFreeNumber(2, [&](unsigned n) {
              tried.push_back(n);
              return n == 2 ? Attempt::kNameTaken : Attempt::kFailed;
            }),
            0u);
  EXPECT_EQ(tried, (std::vector<unsigned>{2, 3}));
  // Every name taken: none after the last candidate.
  unsigned last = 0;
  EXPECT_EQ(FirstFreeNumber(0, [&](unsigned n) {
              last = n;
              return Attempt::kNameTaken;
            }),
            0u);
  EXPECT_EQ(last, job_naming::kMaxCandidates);
}

TEST(MonitorNamingTest, TemporaryNamesAreLiteralForEveryProgram) {
  const std::string name = TemporaryPdfName(4294967295ul, 0xFFFFFFFFul, 0x1234ul, 7);
  EXPECT_EQ(name, "tavrin-4294967295-ffffffff-1234-7.pdf");
  const std::string stem = name.substr(0, name.size() - 4);
  EXPECT_EQ(stem.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string::npos);
  EXPECT_NE(TemporaryPdfName(1, 2, 3, 4), TemporaryPdfName(1, 2, 3, 5));
  EXPECT_NE(TemporaryPdfName(1, 2, 3, 4), TemporaryPdfName(1, 3, 3, 4));
}

TEST(MonitorNamingTest, OutputFolderUnderTheInstallRoot) {
  EXPECT_EQ(OutputFolder("C:\\"), "C:\\tavrin\\output\\");
  EXPECT_EQ(OutputFolder("D:\\Programs"), "D:\\Programs\\tavrin\\output\\");
  EXPECT_EQ(OutputFolder("D:\\Programs\\"), "D:\\Programs\\tavrin\\output\\");
  EXPECT_EQ(OutputFolder(""), "c:\\tavrin\\output\\");
}

TEST(MonitorNamingTest, OutputPathReplacesPercentOne) {
  const std::string path = "C:\\tavrin\\output\\A (2).pdf";
  EXPECT_EQ(SubstituteOutput("@C:\\tavrin\\res\\pdfwrite.rsp -sOutputFile=\"%1\" -c save pop -f -",
                             path),
            "@C:\\tavrin\\res\\pdfwrite.rsp -sOutputFile=\"C:\\tavrin\\output\\A (2).pdf\" -c save "
            "pop -f -");
  EXPECT_EQ(SubstituteOutput("%1 %1", "x"), "x x");
  EXPECT_EQ(SubstituteOutput("100%% %2 %", "x"), "100% %2 %");
  // "%%1" is a literal "%1", not a percent sign before the path.
  EXPECT_EQ(SubstituteOutput("%%1", "x"), "%1");
  // A path holding "%1" is not substituted again.
  EXPECT_EQ(SubstituteOutput("-o %1", "C:\\%1.pdf"), "-o C:\\%1.pdf");
  EXPECT_EQ(SubstituteOutput("", "x"), "");
}

TEST(MonitorNamingTest, CommandLineQuotesTheProgram) {
  EXPECT_EQ(CommandLine("C:\\tavrin\\res\\convert\\gswin32c.exe", "-q -"),
            "\"C:\\tavrin\\res\\convert\\gswin32c.exe\" -q -");
  EXPECT_EQ(CommandLine("C:\\Program Files\\gs\\gswin32c.exe", ""),
            "\"C:\\Program Files\\gs\\gswin32c.exe\"");
  EXPECT_EQ(CommandLine("\"C:\\Program Files\\gs.exe\"", "  -q"), "\"C:\\Program Files\\gs.exe\" -q");
  EXPECT_EQ(UnquotedPath("  \"C:\\a b\\gs.exe\" "), "C:\\a b\\gs.exe");
  EXPECT_EQ(UnquotedPath("C:\\gs.exe"), "C:\\gs.exe");
  EXPECT_EQ(UnquotedPath("\""), "\"");
  EXPECT_EQ(UnquotedPath("   "), "");
}

}  // namespace
