// Where the install stops, and the failures it only logs.
#include <algorithm>

#include "test_support.h"

namespace {

using test::kDataKey;
using test::kPortKey;
using test::kPrinterKey;
using test::kRpcMessage;
using test::kRpcPage;

constexpr char kAdminMessage[] =
    "Your user account does not have administrative rights and cannot add a printer to this "
    "computer. Please obtain administrative rights and run install again.";
constexpr char kAppleMessage[] =
    "Please install the Apple Laserwriter II NT printer driver and re-run setup. Step-by-step "
    "help will appear to assist you.";
constexpr char k126Message[] =
    "Setup has returned error 126. Please contact support@tavrin.com to resolve this error. We "
    "apologize for the inconvenience.";

class InstallFailureTest : public test::MachineTest {
 protected:
  void BootStaged(const sim::Platform& platform) {
    Boot(platform);
    StageProduct();
    if (platform.family == sim::Family::Win9x) InstallApplePostScriptDriver();
  }
  bool Completed() const { return m.console.find("Completing printer setup") != std::string::npos; }
  bool EntryExists() const {
    return m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry);
  }
  bool HasValue(const char* key, const char* name) const {
    return m.registry.GetValue(HKEY_LOCAL_MACHINE, key, name).has_value();
  }
};

TEST_F(InstallFailureTest, AccessDeniedAtAddMonitorShowsOnlyTheRightsMessage) {
  BootStaged(sim::Platform::WinXP());
  m.FailCall("AddMonitorA", ERROR_ACCESS_DENIED);
  RunSetup();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kAdminMessage});
  EXPECT_EQ(LogMessages().size(), 3u);  // the flags and the driver folder
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kPortKey));
  EXPECT_TRUE(Calls({"AddPrinterDriverA", "AddPrinterA", "CreateProcessA"}).empty());
  EXPECT_FALSE(EntryExists());
  EXPECT_EQ(m.Sleeps(), std::vector<DWORD>{3000});
  // What phase 2 copied stays.
  EXPECT_TRUE(m.files.Exists(m.platform().system_dir + "\\tavmon.dll"));
}

TEST_F(InstallFailureTest, AUserWithoutRightsGetsTheSameMessageOnce) {
  BootStaged(sim::Platform::Win2000());
  m.administrator = false;
  RunSetup();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kAdminMessage});
  EXPECT_FALSE(m.spooler.HasMonitor("TAVRIN Monitor"));
  EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_FALSE(EntryExists());
}

TEST_F(InstallFailureTest, Windows9xWithoutPostScriptDriverSendsTheUserToHelp) {
  Boot(sim::Platform::Win98());
  StageProduct();
  RunSetup();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kAppleMessage});
  ASSERT_EQ(m.processes.size(), 2u);
  EXPECT_EQ(m.processes[0].command_line,
            "rundll32.exe url.dll,FileProtocolHandler c:\\tavrin\\res\\drivedir\\download.htm");
  EXPECT_EQ(m.processes[1].command_line,
            "rundll32.exe shell32.dll,SHHelpShortcuts_RunDLL AddPrinter");
  for (const sim::ProcessRecord& p : m.processes) {
    EXPECT_EQ(p.creation_flags, 0x200u);
    EXPECT_EQ(p.startup.dwFlags, 0u);
    EXPECT_EQ(p.startup.wShowWindow, SW_SHOWNORMAL);
    EXPECT_TRUE(p.environment_passed);
  }
  EXPECT_TRUE(test::InOrder(Calls({"MessageBoxA", "CreateProcessA", "Sleep"}),
                            {"MessageBoxA " + std::string(kAppleMessage),
                             "CreateProcessA rundll32.exe url.dll,FileProtocolHandler "
                             "c:\\tavrin\\res\\drivedir\\download.htm",
                             "Sleep 5000",
                             "CreateProcessA rundll32.exe shell32.dll,SHHelpShortcuts_RunDLL "
                             "AddPrinter"}));
  EXPECT_EQ(m.Sleeps(), (std::vector<DWORD>{1000, 5000}));
  EXPECT_TRUE(Calls({"AddPrinterDriverA", "AddPrinterA"}).empty());
  EXPECT_FALSE(EntryExists());
  EXPECT_FALSE(Completed());
}

TEST_F(InstallFailureTest, RpcUnavailableLeadsToTheManualConfigurationPage) {
  BootStaged(sim::Platform::WinXP());
  m.FailCall("AddPrinterDriverA", RPC_S_SERVER_UNAVAILABLE);
  RunSetup();
  std::vector<std::string> log = LogMessages();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[3], "AddPrinterDriver: 1722");
  EXPECT_EQ(log[4], "AddPrinter: 1797");  // no driver, so no printer
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kRpcMessage});
  EXPECT_FALSE(m.files.Exists(std::string(kRpcPage) + ".tmp"));
  EXPECT_EQ(m.files.Get(std::string(kRpcPage) + ".html"), ContentOf("rpcinaccessible.tmp"));
  ASSERT_EQ(m.processes.size(), 1u);
  EXPECT_EQ(m.processes[0].command_line,
            "rundll32.exe url.dll,FileProtocolHandler " + std::string(kRpcPage) + ".html");
  EXPECT_FALSE(EntryExists());
  EXPECT_EQ(m.Sleeps(), (std::vector<DWORD>{3000, 1000, 1000}));
  // The printer's data is written all the same.
  EXPECT_TRUE(HasValue(kDataKey, "PrinterData"));
  EXPECT_TRUE(HasValue(kPrinterKey, "Default DevMode"));
}

TEST_F(InstallFailureTest, RpcUnavailableWithThePageAlreadyRenamedOpensIt) {
  BootStaged(sim::Platform::NT4());
  m.files.Put(std::string(kRpcPage) + ".html", "earlier page");
  m.FailCall("AddPrinterDriverA", RPC_S_SERVER_UNAVAILABLE);
  RunSetup();
  EXPECT_EQ(m.files.Get(std::string(kRpcPage) + ".html"), "earlier page");
  EXPECT_TRUE(m.files.Exists(std::string(kRpcPage) + ".tmp"));
  ASSERT_EQ(m.processes.size(), 1u);
  EXPECT_EQ(m.processes[0].command_line,
            "rundll32.exe url.dll,FileProtocolHandler " + std::string(kRpcPage) + ".html");
  EXPECT_FALSE(EntryExists());
}

TEST_F(InstallFailureTest, RpcUnavailableAndQuietStillShowsTheMessageButOpensNothing) {
  BootStaged(sim::Platform::WinXP());
  m.files.Put(test::kIniPath, "[Parameters]\r\nQuiet=1\r\n");
  m.FailCall("AddPrinterDriverA", RPC_S_SERVER_UNAVAILABLE);
  RunSetup();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kRpcMessage});
  EXPECT_TRUE(m.files.Exists(std::string(kRpcPage) + ".html"));
  EXPECT_TRUE(m.processes.empty());
  EXPECT_FALSE(EntryExists());
}

TEST_F(InstallFailureTest, Error126IsShownOnNtAndOnlyLoggedOn9x) {
  BootStaged(sim::Platform::NT4());
  m.FailCall("AddPrinterDriverA", ERROR_MOD_NOT_FOUND);
  RunSetup();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{k126Message});
  EXPECT_EQ(LogMessages()[3], "AddPrinterDriver: 126");
  EXPECT_TRUE(EntryExists());  // the routine goes on to the end
  EXPECT_TRUE(Completed());

  BootStaged(sim::Platform::WinMe());
  m.FailCall("AddPrinterDriverA", ERROR_MOD_NOT_FOUND);
  RunSetup();
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_EQ(LogMessages()[3], "AddPrinterDriver: 126");
  EXPECT_TRUE(Completed());
}

TEST_F(InstallFailureTest, AnyOtherDriverErrorIsOnlyLogged) {
  BootStaged(sim::Platform::Win2000());
  m.files.Remove("C:\\tavrin\\res\\drivedir\\pscript5.dll");  // the spooler cannot find it
  RunSetup();
  std::vector<std::string> log = LogMessages();
  EXPECT_TRUE(test::InOrder(log, {"CopyFile InFile.Open Failed: C:\\tavrin\\res\\drivedir\\pscript5.dll",
                                  "AddPrinterDriver: 2", "AddPrinter: 1797"}));
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_TRUE(EntryExists());
  EXPECT_EQ(m.Sleeps(), (std::vector<DWORD>{3000, 1000, 1000}));
}

TEST_F(InstallFailureTest, AnExistingPrinterIsLoggedAndItsDataStillWritten) {
  BootStaged(sim::Platform::WinXP());
  m.FailCall("AddPrinterA", ERROR_PRINTER_ALREADY_EXISTS);
  RunSetup();
  EXPECT_EQ(LogMessages().back(), "AddPrinter: 1802");
  EXPECT_EQ(m.console.find("Closing printer"), std::string::npos);
  EXPECT_TRUE(HasValue(kDataKey, "PrinterData"));
  EXPECT_TRUE(HasValue(kPrinterKey, "Default DevMode"));
  EXPECT_TRUE(Completed());
  EXPECT_TRUE(EntryExists());
}

TEST_F(InstallFailureTest, AMissingDataFileEndsTheRoutineWhereItIsRead) {
  struct Case {
    sim::Platform platform;
    const char* file;
    bool font_written, data_written;
  };
  const Case cases[] = {
      {sim::Platform::NT4(), "fontsub.tbl", false, false},
      {sim::Platform::NT4(), "printerdata.dat", true, false},
      {sim::Platform::NT4(), "dfdevmdnt.dat", true, true},
      {sim::Platform::WinXP(), "fontsub.tbl", false, false},
      {sim::Platform::WinXP(), "printerdata5.dat", false, false},
      {sim::Platform::WinXP(), "dfdevmdnt5.dat", false, true},
      {sim::Platform::Win98(), "printerdata.dat", true, false},
      {sim::Platform::Win98(), "dfdevmd.dat", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.platform.name + " without " + c.file);
    BootStaged(c.platform);
    m.files.Remove(std::string("C:\\tavrin\\res\\drivedir\\") + c.file);
    RunSetup();
    EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
    EXPECT_EQ(HasValue(kDataKey, "TTFontSubTable"), c.font_written);
    EXPECT_EQ(HasValue(kDataKey, "PrinterData"), c.data_written);
    EXPECT_FALSE(HasValue(kPrinterKey, "Default DevMode"));
    EXPECT_FALSE(Completed());
    EXPECT_FALSE(EntryExists());
    EXPECT_TRUE(m.processes.empty());
    EXPECT_TRUE(m.message_boxes.empty());
  }
}

TEST_F(InstallFailureTest, AnUnreadableDataFileEndsTheRoutineToo) {
  BootStaged(sim::Platform::WinXP());
  m.files.FailReads("C:\\tavrin\\res\\drivedir\\printerdata5.dat");
  RunSetup();
  EXPECT_FALSE(HasValue(kDataKey, "PrinterData"));
  EXPECT_FALSE(Completed());
  EXPECT_EQ(m.files.OpenHandles(), 0);
}

TEST_F(InstallFailureTest, NoSystemFolderEndsSilentlyBeforeAnyLogLine) {
  BootStaged(sim::Platform::WinXP());
  m.system_directory_fails = true;
  RunSetup();
  EXPECT_TRUE(LogMessages().empty());
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_TRUE(Calls({"AddMonitorA", "CreateFileA"}).empty());
}

TEST_F(InstallFailureTest, NoDriverFolderEndsWithALogLine) {
  // An unreachable spooler (1722) ends with the manual configuration
  // instead; any other answer only with the log line.
  BootStaged(sim::Platform::WinXP());
  m.FailCall("GetPrinterDriverDirectoryA", ERROR_NOT_ENOUGH_MEMORY);
  RunSetup();
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"is_winnt = TRUE", "is_win4 = TRUE",
                                                     "GetPrinterDriverDirectory: 8"}));
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_TRUE(Calls({"AddMonitorA", "CreateProcessA"}).empty());
}

TEST_F(InstallFailureTest, AnEmptySourceFolderLogsEveryCopyAndGoesOn) {
  Boot(sim::Platform::WinXP());
  RunSetup();
  std::vector<std::string> log = LogMessages();
  // Seven copies of phase 2 and six of the Windows 2000 driver, then the
  // spooler's answers.
  size_t copies = 0;
  for (const std::string& line : log) copies += line.rfind("CopyFile InFile.Open Failed: ", 0) == 0;
  EXPECT_EQ(copies, 13u);
  EXPECT_NE(std::find(log.begin(), log.end(), "AddMonitor: 126"), log.end());
  EXPECT_FALSE(Completed());  // fontsub.tbl cannot be read
}

TEST_F(InstallFailureTest, AnEmptySourceFolderOn9xLogsFiveCopies) {
  Boot(sim::Platform::Win95());
  InstallApplePostScriptDriver();
  RunSetup();
  size_t copies = 0;
  for (const std::string& line : LogMessages())
    copies += line.rfind("CopyFile InFile.Open Failed: ", 0) == 0;
  EXPECT_EQ(copies, 5u);
}

}  // namespace
