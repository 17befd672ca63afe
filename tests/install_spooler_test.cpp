// The install and the spooler service as users meet it: stopped when setup
// starts, unable to start, and held by services that depend on it.
#include <algorithm>

#include "test_support.h"

namespace {

using test::kRebootRightsMessage;
using test::kRpcMessage;
using test::kRpcPage;

class InstallSpoolerTest : public test::MachineTest {
 protected:
  void BootStaged(const sim::Platform& platform) {
    Boot(platform);
    StageProduct();
    if (platform.family == sim::Family::Win9x) InstallApplePostScriptDriver();
  }
  bool EntryExists() const {
    return m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry);
  }
  // What an install could change outside the product folder: the whole
  // registry and the folders files are copied to.
  std::string Snapshot() const {
    const sim::Platform& p = m.platform();
    std::string out = m.registry.Dump(HKEY_LOCAL_MACHINE, "");
    for (const std::string& dir :
         {p.system_dir, p.driver_dir, p.driver_dir + "\\" + std::to_string(p.driver_version)}) {
      for (const std::string& name : m.files.List(dir)) out += dir + "\\" + name + "\n";
    }
    return out;
  }
  // The manual-configuration outcome: message, page, and nothing else done.
  void ExpectManualConfigurationOnly(const std::string& before) {
    ASSERT_NE(before.find("\\Print\\Printers]"), std::string::npos)
        << "the snapshot holds the registry";
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kRpcMessage});
    EXPECT_TRUE(m.files.Exists(std::string(kRpcPage) + ".html"));
    ASSERT_EQ(m.processes.size(), 1u);
    EXPECT_EQ(m.processes[0].command_line,
              "rundll32.exe url.dll,FileProtocolHandler " + std::string(kRpcPage) + ".html");
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(EntryExists());
    EXPECT_TRUE(Calls({"CreateFileA C:\\WIN", "AddMonitorA", "AddPrinterDriverA", "AddPrinterA",
                       "RegCreateKey", "RegSetValue"})
                    .empty());
    EXPECT_EQ(m.console.find("Completing printer setup"), std::string::npos);
    EXPECT_EQ(m.services.OpenHandles(), 0);
  }
};

TEST_F(InstallSpoolerTest, AStoppedSpoolerIsStartedAndTheInstallRunsAsUsual) {
  for (const sim::Platform& platform :
       {sim::Platform::NT4(), sim::Platform::WinXP(), sim::Platform::Win10x64()}) {
    SCOPED_TRACE(platform.name);
    // What the same install does with the spooler running.
    BootStaged(platform);
    RunSetup();
    std::vector<std::string> usual_log = LogMessages();
    const std::string usual = Snapshot();

    BootStaged(platform);
    m.services.AddDependent("Fax");
    m.services.StopSpooler();
    m.services.SetSpoolerStartTime(1200);
    RunSetup();
    usual_log.insert(usual_log.begin(), {"Spooler not running: starting it", "Spooler started"});
    EXPECT_EQ(LogMessages(), usual_log);
    EXPECT_EQ(Snapshot(), usual);
    // Started and awaited before the spooler is asked anything.
    EXPECT_TRUE(test::InOrder(m.journal, {"StartServiceA Spooler", "Sleep 250",
                                          "QueryServiceStatus Spooler -> 4",
                                          "EnumMonitorsA", "AddMonitorA"}));
    EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
    EXPECT_TRUE(m.spooler.HasMonitor("TAVRIN Monitor"));
    EXPECT_TRUE(m.files.IsLoaded(platform.system_dir + "\\tavmon.dll"));
    EXPECT_TRUE(EntryExists());
    EXPECT_TRUE(m.message_boxes.empty());
    ASSERT_EQ(m.processes.size(), 1u);
    EXPECT_EQ(m.processes[0].command_line,
              "rundll32.exe url.dll,FileProtocolHandler c:\\tavrin\\readme.html");
    EXPECT_EQ(m.services.StateOf("Fax"), static_cast<DWORD>(SERVICE_STOPPED))
        << "only the spooler is started";
    EXPECT_EQ(m.services.OpenHandles(), 0);
  }
}

TEST_F(InstallSpoolerTest, ARunningSpoolerIsOnlyLookedAtEvenWithoutRights) {
  BootStaged(sim::Platform::Win2000());
  m.administrator = false;
  RunSetup();
  EXPECT_TRUE(Calls({"StartServiceA"}).empty());
  EXPECT_EQ(LogMessages()[0], "is_winnt = TRUE");
  // The usual end for a user without rights, not the spooler's.
  ASSERT_EQ(m.message_boxes.size(), 1u);
  EXPECT_NE(m.message_boxes[0].text, kRpcMessage);
}

TEST_F(InstallSpoolerTest, ASpoolerThatCannotStartEndsWithTheManualConfiguration) {
  struct Case {
    const char* what;
    void (*arrange)(sim::Machine&);
    const char* line;
  };
  const Case cases[] = {
      {"disabled", [](sim::Machine& m) { m.services.SetDisabled("Spooler", true); },
       "StartService Spooler: 1058"},
      {"no rights to start it", [](sim::Machine& m) { m.administrator = false; },
       "StartService Spooler: 5"},
      {"stops again while starting",
       [](sim::Machine& m) {
         m.services.SetSpoolerStartTime(2000);
         m.services.SetStartFailure("Spooler", ERROR_SERVICE_SPECIFIC_ERROR);
       },
       "StartService Spooler: 1066"},
      {"not running after 30 s",
       [](sim::Machine& m) { m.services.SetSpoolerStartTime(45000); },
       "StartService Spooler: 1053"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BootStaged(sim::Platform::WinXP());
    m.services.StopSpooler();
    c.arrange(m);
    const std::string before = Snapshot();
    RunSetup();
    EXPECT_EQ(LogMessages(),
              (std::vector<std::string>{"Spooler not running: starting it", c.line}));
    ExpectManualConfigurationOnly(before);
    DWORD waited = 0;
    for (DWORD ms : m.Sleeps()) waited += ms;
    EXPECT_LE(waited, 30000u);
  }
}

TEST_F(InstallSpoolerTest, ManualConfigurationForAStoppedSpoolerHonoursQuietAndKeepsIt) {
  BootStaged(sim::Platform::NT4());
  m.files.Put(test::kIniPath, "[Parameters]\r\nQuiet=1\r\n");
  m.services.StopSpooler();
  m.services.SetDisabled("Spooler", true);
  RunSetup();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kRpcMessage});
  EXPECT_TRUE(m.processes.empty());
  // No install took place, so the one-shot setting is kept for the next.
  EXPECT_EQ(m.files.Get(test::kIniPath), "[Parameters]\r\nQuiet=1\r\n");
}

TEST_F(InstallSpoolerTest, ASpoolerThatDoesNotAnswerEndsWithTheManualConfigurationToo) {
  BootStaged(sim::Platform::WinXP());
  m.FailCall("GetPrinterDriverDirectoryA", RPC_S_SERVER_UNAVAILABLE);
  const std::string before = Snapshot();
  RunSetup();
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"is_winnt = TRUE", "is_win4 = TRUE",
                                                     "GetPrinterDriverDirectory: 1722"}));
  ExpectManualConfigurationOnly(before);
}

TEST_F(InstallSpoolerTest, Windows9xNeverAsksForTheService) {
  BootStaged(sim::Platform::Win98());
  RunSetup();
  EXPECT_TRUE(Calls({"OpenSCManagerA", "StartServiceA", "QueryServiceStatus"}).empty());
  EXPECT_EQ(LogMessages()[0], "is_winnt = FALSE");
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
}

class ReinstallDependentTest : public InstallSpoolerTest {
 protected:
  // XP with the product installed, its monitor loaded, and the fax service
  // depending on the spooler.
  void SetUp() override {
    BootStaged(sim::Platform::WinXP());
    InstallOnce();
    m.services.AddDependent("Fax");
    library_ = m.platform().system_dir + "\\tavmon.dll";
    ASSERT_TRUE(m.files.IsLoaded(library_));
    m.files.Put("C:\\tavrin\\res\\drivedir\\tavmon.dll",
                std::string("MZ") + test::kNewMonitorImage);
  }
  std::string library_;
};

TEST_F(ReinstallDependentTest, TheSilentUninstallStopsTheFaxServiceAndFreesTheLibrary) {
  RunSetup();
  EXPECT_TRUE(m.message_boxes.empty()) << m.message_boxes[0].text;
  EXPECT_TRUE(test::InOrder(Calls({"ControlService", "StartServiceA", "CreateFileA " + library_}),
                            {"ControlService Fax, 1", "ControlService Spooler, 1",
                             "StartServiceA Spooler", "StartServiceA Fax", "ControlService Fax, 1",
                             "ControlService Spooler, 1", "StartServiceA Spooler",
                             "StartServiceA Fax", "CreateFileA " + library_}));
  EXPECT_EQ(m.files.Get(library_), std::string("MZ") + test::kNewMonitorImage);
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
  // The new library serves the port the printer stands on.
  const std::vector<std::string> ports = m.spooler.Ports();
  EXPECT_NE(std::find(ports.begin(), ports.end(), "TAVRINPORT"), ports.end());
  EXPECT_TRUE(EntryExists());
  EXPECT_EQ(m.services.StateOf("Fax"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(ReinstallDependentTest, AFaxServiceThatWillNotStopLeadsToTheRebootMessage) {
  m.services.SetAcceptsStop("Fax", false);
  RunSetup();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kRebootRightsMessage});
  EXPECT_TRUE(Calls({"ControlService Spooler", "StartServiceA"}).empty());
  EXPECT_EQ(m.services.StateOf("Fax"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(m.files.IsLoaded(library_));
  EXPECT_NE(m.files.Get(library_), std::string("MZ") + test::kNewMonitorImage);
  std::vector<std::string> log = LogMessages();
  EXPECT_EQ(std::count(log.begin(), log.end(),
                       "Spooler not restarted, dependent service Fax did not stop: 1052"),
            2);
  EXPECT_TRUE(Calls({"AddMonitorA", "AddPrinterDriverA", "CreateProcessA"}).empty());
}

}  // namespace
