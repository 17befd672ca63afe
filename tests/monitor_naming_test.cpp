// The port monitor's file names and command lines for a print job.
#include <gtest/gtest.h>

#include <vector>

#include "monitor/file_calls.h"
#include "monitor/job_files.h"
#include "monitor/job_log.h"
#include "monitor/job_naming.h"
#include "monitor/monitor_text.h"
#include "monitor/unicode_text.h"
#include "test_support.h"

namespace {

using job_naming::Attempt;
using job_naming::CommandLine;
using job_naming::FirstFreeNumber;
using job_naming::NumberedStem;
using job_naming::OutputFolder;
using job_naming::SafeFileStem;
using job_naming::StemBudget;
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
                              u"com3.tar.gz", u"CON ", u"nul .x",
                              // Superscript one, two and three are digits of devices too.
                              u"COM\u00B9", u"lpt\u00B2.txt", u"Com\u00B3 .x"})
    EXPECT_EQ(SafeFileStem(name)[0], u'_') << std::u16string(name).size();
  EXPECT_EQ(SafeFileStem(u"nul.txt"), u"_nul.txt");
  for (const char16_t* name : {u"CONSOLE", u"COM", u"COM0", u"LPT10", u"NULu", u"xCON", u"AUXiliary",
                              u"COM\u2074", u"LPT\u00B9\u00B2", u"COM\u00BD"})
    EXPECT_EQ(SafeFileStem(name), name);
}

TEST(MonitorNamingTest, LengthIsCountedInUtf16Units) {
  const std::size_t cap = job_naming::kMaxStemUnits;
  const std::u16string longest(cap, u'x');
  EXPECT_EQ(SafeFileStem(longest + u"yyyy"), longest);
  // Cutting may expose trailing dots or blanks: they go as well.
  EXPECT_EQ(SafeFileStem(std::u16string(cap - 2, u'a') + u". tail"), std::u16string(cap - 2, u'a'));
  // A pair counts two units and is never cut in two.
  const std::u16string emoji = u"\U0001F600";
  EXPECT_EQ(SafeFileStem(std::u16string(cap - 1, u'a') + emoji), std::u16string(cap - 1, u'a'));
  // A prefixed device name stays within the bound too, and does not end in
  // a dot exposed by the cut.
  EXPECT_EQ(SafeFileStem(u"CON." + longest).size(), cap);
  EXPECT_EQ(SafeFileStem(u"CON." + std::u16string(cap - 6, u'x') + u".y"),
            u"_CON." + std::u16string(cap - 6, u'x'));
  // A smaller budget: a cut that leaves a device name is prefixed, and no
  // room at all still gives a stem, the shortest.
  EXPECT_EQ(SafeFileStem(u"CONSOLE", 3), u"_CO");
  EXPECT_EQ(SafeFileStem(u"...", 4), u"docu");
  EXPECT_EQ(SafeFileStem(u"report", 0), u"r");
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
  // The path's own '%' signs are doubled, for Ghostscript to read them as
  // such ("%d" would be a page number); a "%1" in it is not substituted.
  EXPECT_EQ(SubstituteOutput("-sOutputFile=%1", "D:\\100%d\\%1.pdf"),
            "-sOutputFile=D:\\100%%d\\%%1.pdf");
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

// The job's files and log as the monitor makes them on the machine.
class MonitorJobFilesTest : public test::MachineTest {
 protected:
  void SetUp() override { Boot(sim::Platform::WinXP()); }
};

TEST_F(MonitorJobFilesTest, LongFolderShortensTheNameNeverTheJob) {
  EXPECT_EQ(StemBudget(OutputFolder("C:\\").size()), job_naming::kMaxStemUnits);
  EXPECT_EQ(StemBudget(248), 0u);
  const std::string folder = "C:\\" + std::string(199, 'f') + "\\";  // 203 units
  ASSERT_EQ(MakeFolders(folder), static_cast<DWORD>(ERROR_SUCCESS));
  std::u16string name = u"Microsoft Word - ";
  for (int i = 0; i < 60; ++i) name += u"\U0001F4DD";
  JobFiles files;
  ASSERT_EQ(ClaimJobFiles(folder, name + u".doc", 7, &files), static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(files.ps_file);
  EXPECT_TRUE(PathExists(files.ps));
  // MAX_PATH leaves 45 units after the folder, " (9999)", ".pdf" and the
  // NUL: 22 whole pairs.
  EXPECT_EQ(files.stem, name.substr(17, 44));
  const std::wstring last =
      files.folder + FromUtf16(NumberedStem(files.stem, job_naming::kMaxCandidates)) + L".pdf";
  EXPECT_EQ(ToUtf16(last).size(), 258u);  // MAX_PATH (260), less the NUL and half a pair
}

TEST_F(MonitorJobFilesTest, ALogLineEndsHoweverLongTheName) {
  std::string name;
  for (int i = 0; i < 1500; ++i) name += u8"\u0416";  // two bytes each
  JobLog log("C:\\tavrin\\tavmon.log", true, false, "TAVRINPORT", name);
  log.Failure("job 1 failed");
  log.Failure("job 2 failed");
  // Two lines, each cut short on a whole character and ended.
  const std::string text = m.files.Get("C:\\tavrin\\tavmon.log").value_or("");
  const std::size_t first_end = text.find("\r\n");
  ASSERT_NE(first_end, std::string::npos);
  EXPECT_EQ(text.find("\r\n", first_end + 2), text.size() - 2);
  std::u16string decoded;
  EXPECT_TRUE(unicode_text::FromUtf8(text.substr(3), &decoded));  // after the byte-order mark
}

}  // namespace
