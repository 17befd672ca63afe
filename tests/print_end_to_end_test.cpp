// The whole product on the simulated machine, as a user meets it: the setup
// installs it, an application prints a document to "TAVRIN", the spooler
// hands the job to the real port monitor, which runs the port's program (a
// stand-in for Ghostscript) and leaves the PDF under the document's name;
// the uninstall then leaves nothing of it with the spooler. And the ways a
// job can fail, each ending as a PDF or as a kept .ps with its reason in the
// monitor's log.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "sim/handles.h"
#include "sim/programs.h"
#include "test_support.h"

namespace {

using test::kPortKey;
using test::OpenError;

constexpr char kConverter[] = "C:\\tavrin\\res\\convert\\gswin32c.exe";
constexpr char kOutput[] = "c:\\tavrin\\output\\";
constexpr char kMonitorLog[] = "c:\\tavrin\\output\\tavmon.log";

// A PostScript job of `size` bytes or more, every line numbered so that a
// lost or repeated piece shows.
std::string Job(size_t size) {
  std::string job = "%!PS-Adobe-3.0\n";
  for (int line = 0; job.size() < size; ++line)
    job += "(line " + std::to_string(line) + ") show\n";
  return job;
}

class PrintTest : public test::MachineTest {
 protected:
  // Boots `platform`, unpacks the product, puts the stand-in for
  // Ghostscript in its place and installs.
  void Install(const sim::Platform& platform,
               sim::Program converter = sim::programs::PdfWriter()) {
    Boot(platform);
    StageProduct();
    if (platform.family == sim::Family::Win9x) InstallApplePostScriptDriver();
    m.InstallProgram(kConverter, std::move(converter));
    RunSetup();
    ASSERT_TRUE(m.spooler.HasPrinter("TAVRIN"));
    // Failed jobs are logged, as an administrator turns it on.
    SetPortValue("LogFileUse", 1);
  }

  void SetPortValue(const char* name, DWORD value) {
    m.registry.SetDword(HKEY_LOCAL_MACHINE, kPortKey, name, value);
  }

  // Prints `data` as document `name` the way an application does, and
  // waits until the spooler has sent it. Returns the job's id.
  DWORD Print(const std::string& name, const std::string& data) {
    const DWORD job = test::PrintDocument(name, data);
    m.spooler.WaitUntilIdle();
    return job;
  }

  // Where the jobs of the logged-on administrator go: a folder of the
  // user's own on the NT family.
  std::string UserOutput() const {
    return std::string(kOutput) +
           (m.platform().family == sim::Family::Win9x ? "" : "Administrator\\");
  }

  // What the user's output folder holds, the monitor's log aside.
  std::vector<std::string> Output() const {
    std::vector<std::string> names;
    for (const std::string& name : m.files.List(UserOutput()))
      if (name != "tavmon.log") names.push_back(name);
    return names;
  }

  std::string MonitorLog() const { return m.files.Get(kMonitorLog).value_or(""); }
};

bool Traced(const std::vector<std::string>& trace, const std::string& text) {
  for (const std::string& line : trace)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

// What the journal holds of a program's start and end: job objects,
// CreateProcessA (its command line left off), ResumeThread and
// TerminateProcess.
std::vector<std::string> StartAndEndCalls(const std::vector<std::string>& journal) {
  std::vector<std::string> calls;
  for (const std::string& line : journal) {
    if (line.rfind("CreateProcessA ", 0) == 0)
      calls.push_back("CreateProcessA");
    else if (line.find("JobObject") != std::string::npos || line.rfind("ResumeThread ", 0) == 0 ||
             line.rfind("TerminateProcess ", 0) == 0 || line.rfind("job object closed", 0) == 0)
      calls.push_back(line);
  }
  return calls;
}

// The program's start with its job object: made to end what it holds when
// closed, the program created suspended, put in it, then let run.
std::vector<std::string> ConfinedStart(DWORD process) {
  const std::string id = std::to_string(process);
  return {"CreateJobObjectA", "SetInformationJobObject 9 8192", "CreateProcessA",
          "AssignProcessToJobObject " + id, "ResumeThread " + id};
}

// On every family the program runs in its own folder, not in the output
// folder users can write to (where Windows 2000 and XP before SP2 would
// load its libraries from); from Windows 2000 on it runs in a job object
// that is gone with the job, and without one elsewhere it still converts.
class PrintOnEachFamily : public PrintTest,
                          public ::testing::WithParamInterface<sim::Platform> {};

TEST_P(PrintOnEachFamily, InstallPrintAndUninstallLeaveOnlyThePdf) {
  std::string folder;
  DWORD process = 0;
  Install(GetParam(), [&](const sim::ProgramStart& start) {
    folder = start.current_directory;
    process = start.process_id;
    return sim::programs::PdfWriter()(start);
  });
  const std::string job = Job(200000);  // a dozen pipe-fulls and WritePort pieces
  m.journal.clear();
  const DWORD id = Print("Microsoft Word - Quarterly report.doc", job);

  EXPECT_EQ(Output(), std::vector<std::string>{"Quarterly report.pdf"});
  EXPECT_EQ(m.files.Get(UserOutput() + "Quarterly report.pdf"),
            "%PDF-1.4\n" + job + "\n%%EOF\n");
  EXPECT_FALSE(m.spooler.Job(id)) << "the monitor reports the job sent: it leaves the queue";
  EXPECT_EQ(MonitorLog().find("failed"), std::string::npos) << MonitorLog();
  EXPECT_EQ(folder, "C:\\tavrin\\res\\convert");
  const bool has_jobs = GetParam().family == sim::Family::NT && GetParam().driver_version >= 3;
  EXPECT_EQ(StartAndEndCalls(m.journal),
            has_jobs ? ConfinedStart(process) : std::vector<std::string>{"CreateProcessA"});
  EXPECT_EQ(sim::OpenKernelHandles("job"), 0) << "closed at the job's end";
  EXPECT_EQ(Traced(m.debug_output, "runs without a job object: the system has none"), !has_jobs);

  // Uninstall (twice on 9x, whose first run asks for a reboot).
  const int runs = GetParam().family == sim::Family::Win9x ? 2 : 1;
  for (int run = 0; run < runs; ++run) {
    m.answers = {IDYES, IDOK};
    RunSetup("uninstall");
  }
  EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_FALSE(m.spooler.HasMonitor("TAVRIN Monitor"));
  for (const std::string& port : m.spooler.Ports()) EXPECT_NE(port, "TAVRINPORT");
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kPrinterKey));
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kPortKey));
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
  EXPECT_EQ(m.spooler.OpenHandles(), 0);
  EXPECT_EQ(m.registry.OpenHandles(), 0);
  // The user's PDF is theirs: the uninstall deletes no document.
  EXPECT_TRUE(m.files.Exists(UserOutput() + "Quarterly report.pdf"));
}

INSTANTIATE_TEST_SUITE_P(Families, PrintOnEachFamily,
                         ::testing::Values(sim::Platform::Win98(), sim::Platform::NT4(),
                                           sim::Platform::Win2000(), sim::Platform::WinXP(),
                                           sim::Platform::Win10x64()),
                         test::PlatformTestName);

// A program that dies mid-job: its exit code is logged, the job is kept.
TEST_F(PrintTest, ProgramThatQuitsMidJobLeavesTheWholePostScript) {
  Install(sim::Platform::Win2000(), sim::programs::StopsReadingAfter(100000, 3));
  const std::string job = Job(400000);
  Print("cut short", job);
  EXPECT_EQ(Output(), std::vector<std::string>{"cut short.ps"});
  EXPECT_EQ(m.files.Get(UserOutput() + "cut short.ps"), job);
  EXPECT_NE(MonitorLog().find("exit code 3"), std::string::npos) << MonitorLog();
}

// A full disk: no PDF, the queue says why, and since not even the PostScript
// is whole the job stays in the queue, failed, for the user to print again;
// the failure reaches the spooler whatever the calls after it leave as last
// error.
TEST_F(PrintTest, FullDiskKeepsTheFailedJobQueuedWithItsError) {
  Install(sim::Platform::WinXP());
  m.LeaveErrorOnSuccess("ClosePrinter", ERROR_INVALID_HANDLE);
  m.LeaveErrorOnSuccess("OutputDebugStringA", ERROR_INVALID_HANDLE);
  m.files.SetFreeSpace("C:", 64 * 1024);
  const DWORD id = Print("big", Job(300000));
  EXPECT_EQ(Output().size(), 1u);  // the beginning of big.ps
  // The log cannot grow on the full disk: the queue tells the user why.
  std::optional<sim::JobRecord> kept = m.spooler.Job(id);
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->status & JOB_STATUS_ERROR);
  EXPECT_NE(kept->status_text.find("disk full (error 112)"), std::string::npos)
      << kept->status_text;
  EXPECT_EQ(Calls({"EndDocPort"}),
            std::vector<std::string>{"EndDocPort TAVRINPORT, job " + std::to_string(id) + " -> 112"})
      << "the spooler reads the monitor's own error";
}

// A file where the output folder should be: the job is refused at its start
// with the monitor's own error and nothing written anywhere, and it stays
// queued.
TEST_F(PrintTest, UnusableOutputFolderRefusesTheJob) {
  Install(sim::Platform::NT4());
  m.LeaveErrorOnSuccess("ClosePrinter", ERROR_INVALID_HANDLE);
  m.files.Put("c:\\tavrin\\output", "not a folder");
  const DWORD id = Print("refused", Job(1000));
  EXPECT_EQ(m.files.Get("c:\\tavrin\\output"), "not a folder");
  EXPECT_EQ(Calls({"StartDocPort"}), std::vector<std::string>{"StartDocPort TAVRINPORT, job " +
                                                             std::to_string(id) + " -> 183"});
  std::optional<sim::JobRecord> kept = m.spooler.Job(id);
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->status & JOB_STATUS_ERROR);
}

// Where a user who may write the output folder puts a link, and where it
// leads.
struct LinkCase {
  const char* name;
  const char* at;      // in the output folder ("" for the folder itself)
  const char* target;  // in the system folder ("" for the folder itself)
};

// Test names show the case by its name.
void PrintTo(const LinkCase& place, std::ostream* out) { *out << place.name; }

// Every file of the system folder with its bytes, its subfolders' names.
std::vector<std::pair<std::string, std::optional<std::string>>> Snapshot(const sim::Machine& m,
                                                                         const std::string& dir) {
  std::vector<std::pair<std::string, std::optional<std::string>>> files;
  for (const std::string& name : m.files.List(dir))
    files.emplace_back(name, m.files.Get(dir + "\\" + name));
  return files;
}

class LinkInTheOutputFolder : public PrintTest, public ::testing::WithParamInterface<LinkCase> {};

// The spooler's monitor writes as LocalSystem: a link in the output folder
// (the folder itself, the user's folder, or the name of the job's .ps, of
// its PDF, of the log) to the system folder refuses the job at its start, and nothing is
// made, written, renamed or deleted where it leads. Once the link is gone
// the next job converts as ever.
TEST_P(LinkInTheOutputFolder, RefusesTheJobAndLeavesTheTargetAlone) {
  Install(sim::Platform::WinXP());
  const std::string system = sim::Platform::WinXP().system_dir;
  const std::string at = std::string(kOutput) + GetParam().at;
  const std::string link = at.back() == '\\' ? at.substr(0, at.size() - 1) : at;
  const std::string target = *GetParam().target ? system + "\\" + GetParam().target : system;
  m.files.MakeLink(link, target);
  const auto system_before = Snapshot(m, system);
  const std::vector<std::string> output_before = Output();
  m.LeaveErrorOnSuccess("ClosePrinter", ERROR_INVALID_HANDLE);

  const DWORD id = Print("evil", Job(5000));
  EXPECT_EQ(Calls({"StartDocPort"}), std::vector<std::string>{"StartDocPort TAVRINPORT, job " +
                                                             std::to_string(id) + " -> 5"});
  EXPECT_EQ(Snapshot(m, system), system_before);
  EXPECT_EQ(Output(), output_before);
  std::optional<sim::JobRecord> kept = m.spooler.Job(id);
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->status & JOB_STATUS_ERROR);
  EXPECT_NE(kept->status_text.find(link + " is a link"), std::string::npos) << kept->status_text;
  // The log says why, unless the log is behind the link: then the trace.
  const std::string line = "job " + std::to_string(id) + " refused: " + link + " is a link";
  const bool log_behind = !*GetParam().at || std::string(GetParam().at) == "tavmon.log";
  EXPECT_EQ(MonitorLog().find(line) != std::string::npos, !log_behind) << MonitorLog();
  EXPECT_TRUE(Traced(m.debug_output, link + " is a link"));

  // The link gone, the job kept in the queue converts when restarted.
  m.files.Remove(link);
  HANDLE printer = nullptr;
  char printer_name[] = "TAVRIN";
  ASSERT_TRUE(OpenPrinterA(printer_name, &printer, nullptr));
  EXPECT_TRUE(SetJobA(printer, id, 0, nullptr, JOB_CONTROL_RESTART));
  ClosePrinter(printer);
  m.spooler.WaitUntilIdle();
  EXPECT_EQ(Output(), std::vector<std::string>{"evil.pdf"});
  EXPECT_FALSE(m.spooler.Job(id));
  EXPECT_EQ(Snapshot(m, system), system_before);
}

INSTANTIATE_TEST_SUITE_P(
    Places, LinkInTheOutputFolder,
    ::testing::Values(LinkCase{"Folder", "", ""}, LinkCase{"UserFolder", "Administrator\\", ""},
                      LinkCase{"Ps", "Administrator\\evil.ps", "evil.ps"},
                      LinkCase{"Pdf", "Administrator\\evil.pdf", "evil.pdf"},
                      LinkCase{"Log", "tavmon.log", "tavmon.dll"}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

// The user deletes the job while the program is stuck with it: once the
// program is ended nothing of the job is kept, and the log says why.
TEST_F(PrintTest, CancelledJobKeepsNothing) {
  Install(sim::Platform::WinXP(), sim::programs::Hangs());
  HANDLE printer = nullptr;
  char printer_name[] = "TAVRIN";
  ASSERT_TRUE(OpenPrinterA(printer_name, &printer, nullptr));
  char name[] = "unwanted";
  DOC_INFO_1A info{name, nullptr, nullptr};
  const DWORD id = StartDocPrinterA(printer, 1, reinterpret_cast<LPBYTE>(&info));
  const std::string job = Job(300000);
  DWORD written = 0;
  WritePrinter(printer, const_cast<char*>(job.data()), static_cast<DWORD>(job.size()), &written);
  EndDocPrinter(printer);
  // Time moves only when every thread waits: after a second the spooler's
  // thread is stuck in the program's full pipe.
  Sleep(1000);
  EXPECT_TRUE(SetJobA(printer, id, 0, nullptr, JOB_CONTROL_CANCEL));
  ClosePrinter(printer);
  m.spooler.WaitUntilIdle();
  EXPECT_TRUE(Output().empty());
  EXPECT_FALSE(m.spooler.Job(id));
  EXPECT_NE(MonitorLog().find("job " + std::to_string(id) + " cancelled"), std::string::npos)
      << MonitorLog();
}

// A program that never reads: after the port's "Timeout" without progress
// the watchdog ends it; it was in its job object from its first
// instruction, and the job object is closed with it. The job is kept whole
// in its .ps and the spooler is free for the next job.
TEST_F(PrintTest, HungProgramIsEndedAfterTheTimeoutAndTheJobKept) {
  DWORD process = 0;
  Install(sim::Platform::WinXP(), [&](const sim::ProgramStart& start) {
    process = start.process_id;
    return sim::programs::Hangs()(start);
  });
  SetPortValue("Timeout", 3);
  const std::string job = Job(300000);
  m.journal.clear();
  const uint64_t start = m.now_ms;
  const DWORD id = Print("stuck", job);
  EXPECT_GE(m.now_ms - start, 3000u);
  EXPECT_LT(m.now_ms - start, 10000u);
  std::vector<std::string> expected = ConfinedStart(process);
  expected.push_back("TerminateProcess " + std::to_string(process) + " 1460");
  EXPECT_EQ(StartAndEndCalls(m.journal), expected);
  EXPECT_EQ(sim::OpenKernelHandles("job"), 0);
  EXPECT_EQ(sim::OpenKernelHandles("process"), 0);
  EXPECT_EQ(Output(), std::vector<std::string>{"stuck.ps"});
  EXPECT_EQ(m.files.Get(UserOutput() + "stuck.ps"), job);
  EXPECT_NE(MonitorLog().find("job " + std::to_string(id) + " failed"), std::string::npos)
      << MonitorLog();
  EXPECT_NE(MonitorLog().find("3 seconds"), std::string::npos) << MonitorLog();

  m.InstallProgram(kConverter, sim::programs::PdfWriter());
  Print("next", "%!PS\n(next) show\n");
  EXPECT_EQ(Output(), (std::vector<std::string>{"next.pdf", "stuck.ps"}));
}

// A spooler that already runs in a job allowing no other: the program,
// created suspended, is still let run, without a job object, and converts.
TEST_F(PrintTest, ProgramThatCannotJoinItsJobObjectStillRuns) {
  Install(sim::Platform::Win2000());
  m.FailCall("AssignProcessToJobObject", ERROR_ACCESS_DENIED);
  Print("report", "%!PS\n(report) show\n");
  EXPECT_EQ(Output(), std::vector<std::string>{"report.pdf"});
  EXPECT_TRUE(Traced(m.debug_output, "runs without a job object: AssignProcessToJobObject failed: 5"));
  EXPECT_EQ(sim::OpenKernelHandles("job"), 0);
}

// What making a new file at `path` gives: 0, or the error.
DWORD CreateAs(const std::string& path) { return OpenError(path, GENERIC_WRITE, 0, CREATE_NEW); }

// What listing `folder` (ending in a backslash) gives: 0, or the error.
DWORD ListAs(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return GetLastError();
  FindClose(find);
  return 0;
}

// On a shared machine each user's documents are the user's own: ann's PDF
// and her kept .ps land in her folder, which she may list, read and delete
// from but not add to; bob can open none of them, nor the log (made
// private even where an older version left it readable), nor add a file
// to the output folder or to hers. A user of another machine whom this one
// cannot resolve gets a folder only administrators may open, and the log
// says so. A second install does not open the folders again.
class PrivateOnEachNt : public PrintTest, public ::testing::WithParamInterface<sim::Platform> {};

TEST_P(PrivateOnEachNt, EachUsersJobsAreTheirsAlone) {
  Install(GetParam());
  // The log as an older version left it: readable by every user.
  ASSERT_TRUE(CreateDirectoryA(kOutput, nullptr));
  ASSERT_EQ(CreateAs(kMonitorLog), 0u);
  {
    sim::ActAs as("bob");
    ASSERT_EQ(OpenError(kMonitorLog, GENERIC_READ), 0u);
  }
  const std::string ann = std::string(kOutput) + "ann\\";
  {
    sim::ActAs as("ann");
    Print("letter", "%!PS\n(letter) show\n");
  }
  m.InstallProgram(kConverter, sim::programs::StopsReadingAfter(100, 3));
  {
    sim::ActAs as("ann");
    Print("draft", Job(5000));
  }
  ASSERT_EQ(m.files.List(ann), (std::vector<std::string>{"draft.ps", "letter.pdf"}))
      << MonitorLog();
  {
    sim::ActAs as("bob");
    for (const std::string& file : {ann + "letter.pdf", ann + "draft.ps", std::string(kMonitorLog)})
      EXPECT_EQ(OpenError(file, GENERIC_READ), ERROR_ACCESS_DENIED) << file;
    EXPECT_EQ(ListAs(ann), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateAs(ann + "planted.pdf"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateAs(std::string(kOutput) + "planted.pdf"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CreateDirectoryA((std::string(kOutput) + "bob").c_str(), nullptr));
    EXPECT_EQ(ListAs(kOutput), 0u) << "every user finds a folder from the output folder";
  }
  {
    sim::ActAs as("ann");
    EXPECT_EQ(ListAs(ann), 0u);
    EXPECT_EQ(OpenError(ann + "letter.pdf", GENERIC_READ), 0u);
    EXPECT_EQ(OpenError(ann + "letter.pdf", GENERIC_WRITE), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenError(kMonitorLog, GENERIC_READ), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateAs(ann + "planted.pdf"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(DeleteFileA((ann + "draft.ps").c_str()));
  }

  m.InstallProgram(kConverter, sim::programs::PdfWriter());
  {
    sim::ActAs as("carol");
    Print("memo", "%!PS\n(memo) show\n");
    EXPECT_EQ(OpenError(std::string(kOutput) + "carol\\memo.pdf", GENERIC_READ),
              ERROR_ACCESS_DENIED);
  }
  EXPECT_TRUE(m.files.Exists(std::string(kOutput) + "carol\\memo.pdf"));
  EXPECT_NE(MonitorLog().find("\"carol\" is no user account of this machine: its files go to "
                              "c:\\tavrin\\output\\carol\\, which only administrators may open"),
            std::string::npos)
      << MonitorLog();

  RunSetup();
  sim::ActAs as("bob");
  EXPECT_EQ(OpenError(ann + "letter.pdf", GENERIC_READ), ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenError(kMonitorLog, GENERIC_READ), ERROR_ACCESS_DENIED);
}

// Where the setup could not secure the product tree, the output folder the
// monitor makes still lets users find their folders and add nothing, so
// that no user can make another's folder before that user's first job.
TEST_F(PrintTest, OutputFolderTheMonitorMakesTakesNoFolderFromUsers) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  m.InstallProgram(kConverter, sim::programs::PdfWriter());
  m.FailCall("SetNamedSecurityInfoA", ERROR_ACCESS_DENIED);
  RunSetup();
  {
    sim::ActAs as("ann");
    Print("letter", "%!PS\n(letter) show\n");
  }
  sim::ActAs as("bob");
  EXPECT_FALSE(CreateDirectoryA((std::string(kOutput) + "carol").c_str(), nullptr));
  EXPECT_EQ(CreateAs(std::string(kOutput) + "planted.pdf"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ListAs(kOutput), 0u);
  EXPECT_EQ(OpenError(std::string(kOutput) + "ann\\letter.pdf", GENERIC_READ),
            ERROR_ACCESS_DENIED);
}

INSTANTIATE_TEST_SUITE_P(Nt, PrivateOnEachNt,
                         ::testing::Values(sim::Platform::NT4(), sim::Platform::Win2000(),
                                           sim::Platform::WinXP(), sim::Platform::Win10x64()),
                         test::PlatformTestName);

}  // namespace
