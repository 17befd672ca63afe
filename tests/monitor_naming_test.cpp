// The port monitor's file names and command lines for a print job.
#include <gtest/gtest.h>

#include "monitor/job_naming.h"

namespace {

using job_naming::CommandLine;
using job_naming::NumberedStem;
using job_naming::OutputFolder;
using job_naming::SafeFileStem;
using job_naming::SubstituteOutput;
using job_naming::UnquotedPath;

TEST(MonitorNamingTest, ForbiddenAndControlCharactersBecomeUnderscores) {
  EXPECT_EQ(SafeFileStem(L"a\\b/c:d*e?f\"g<h>i|j"), L"a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(SafeFileStem(L"tab\there\r\nend\x7f"), L"tab_here__end_");
  // A path as a program names its document keeps no folder part.
  EXPECT_EQ(SafeFileStem(L"C:\\Documents\\Report.doc"), L"C__Documents_Report.doc");
  EXPECT_EQ(SafeFileStem(L"Microsoft Word - Brief.doc"), L"Microsoft Word - Brief.doc");
  EXPECT_EQ(SafeFileStem(L"Gr\u00fc\u00dfe \u65e5\u672c"), L"Gr\u00fc\u00dfe \u65e5\u672c");
}

TEST(MonitorNamingTest, EndsAndEmptyNames) {
  EXPECT_EQ(SafeFileStem(L"  report. . "), L"report");
  EXPECT_EQ(SafeFileStem(L"..."), L"document");
  EXPECT_EQ(SafeFileStem(L""), L"document");
  EXPECT_EQ(SafeFileStem(L"   "), L"document");
  // Trimming happens after replacing, so a name of only forbidden
  // characters keeps its underscores.
  EXPECT_EQ(SafeFileStem(L"???"), L"___");
  EXPECT_EQ(SafeFileStem(L".profile"), L".profile");
}

TEST(MonitorNamingTest, DeviceNamesArePrefixed) {
  for (const wchar_t* name : {L"CON", L"con", L"Prn", L"AUX", L"nul", L"COM1", L"lpt9", L"NUL.txt",
                              L"com3.tar.gz", L"CON ", L"nul .x"})
    EXPECT_EQ(SafeFileStem(name)[0], L'_') << std::wstring(name).size();
  EXPECT_EQ(SafeFileStem(L"nul.txt"), L"_nul.txt");
  for (const wchar_t* name : {L"CONSOLE", L"COM", L"COM0", L"LPT10", L"NULL", L"xCON", L"AUXiliary"})
    EXPECT_EQ(SafeFileStem(name), name);
}

TEST(MonitorNamingTest, LengthIsBounded) {
  const std::wstring longest(job_naming::kMaxStemChars, L'x');
  EXPECT_EQ(SafeFileStem(longest + L"yyyy"), longest);
  // Cutting may expose trailing dots or blanks: they go as well.
  std::wstring dotted(job_naming::kMaxStemChars - 2, L'a');
  dotted += L". tail";
  EXPECT_EQ(SafeFileStem(dotted), std::wstring(job_naming::kMaxStemChars - 2, L'a'));
  // Never half of a surrogate pair at the end.
  std::wstring pairs(job_naming::kMaxStemChars - 1, L'a');
  pairs += L"\xD83D\xDE00";
  EXPECT_EQ(SafeFileStem(pairs), std::wstring(job_naming::kMaxStemChars - 1, L'a'));
  // A prefixed device name stays within the bound too.
  EXPECT_LE(SafeFileStem(L"CON." + longest).size(), job_naming::kMaxStemChars);
}

TEST(MonitorNamingTest, NumberedCandidates) {
  EXPECT_EQ(NumberedStem(L"Report", 0), L"Report");
  EXPECT_EQ(NumberedStem(L"Report", 1), L"Report");
  EXPECT_EQ(NumberedStem(L"Report", 2), L"Report (2)");
  EXPECT_EQ(NumberedStem(L"Report", 123), L"Report (123)");
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
