// The uninstall routine on the NT family and on Windows 9x.
#include "uninstall/uninstall.h"

#include "test_support.h"
#include "uninstall/uninstall_entry.h"

namespace {

using test::kPrint;
using test::kPrinterKey;

constexpr char kMonitorKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\TAVRIN Monitor";
constexpr char kNtFolderMessage[] =
    "Please uninstall Ostrel if it is on your system and then delete c:\\tavrin and its "
    "contents from your computer to fully uninstall tavrin.";
constexpr char k9xFolderMessage[] =
    "Please uninstall Ostrel if it is on your system and then delete ..\\tavrin and its "
    "contents from your computer to fully uninstall tavrin.";
constexpr char kRebootMessage[] = "Please reboot to fully remove the TAVRIN Printer Driver";

class UninstallTest : public test::MachineTest {
 protected:
  // Registers monitor, port, driver, printer and entry through the spooler,
  // as an install leaves them.
  void InstallProduct() {
    const sim::Platform& p = m.platform();
    const bool nine_x = p.family == sim::Family::Win9x;
    const std::string library = nine_x ? "tavmon95.dll" : "tavmon.dll";
    m.files.Put(p.system_dir + "\\" + library, "MZ monitor");
    MONITOR_INFO_2A monitor = {const_cast<LPSTR>("TAVRIN Monitor"),
                               const_cast<LPSTR>(p.environment.c_str()),
                               const_cast<LPSTR>(library.c_str())};
    ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&monitor)));
    m.registry.SetString(HKEY_LOCAL_MACHINE, std::string(kMonitorKey) + "\\Ports\\TAVRINPORT",
                         "Printer", "TAVRIN");

    const std::string dir = p.driver_dir + "\\";
    for (const char* name : {"pscript.dll", "gs.PPD", "Tavrinui.dll", "Pscript.hlp"})
      m.files.Put(dir + name, std::string("file ") + name);
    std::string driver = dir + "pscript.dll", data = dir + "gs.PPD", config = dir + "Tavrinui.dll",
                help = dir + "Pscript.hlp";
    DRIVER_INFO_3A info = {};
    info.cVersion = nine_x ? 0 : p.driver_version;
    info.pName = const_cast<LPSTR>("TAVRIN Printer Driver");
    info.pEnvironment = const_cast<LPSTR>(p.environment.c_str());
    info.pDriverPath = driver.data();
    info.pDataFile = data.data();
    info.pConfigFile = config.data();
    info.pHelpFile = help.data();
    info.pDefaultDataType = const_cast<LPSTR>("RAW");
    ASSERT_TRUE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&info)));

    PRINTER_INFO_2A printer = {};
    printer.pPrinterName = const_cast<LPSTR>("TAVRIN");
    printer.pPortName = const_cast<LPSTR>("TAVRINPORT");
    printer.pDriverName = const_cast<LPSTR>("TAVRIN Printer Driver");
    printer.pPrintProcessor = const_cast<LPSTR>("winprint");
    HANDLE handle = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&printer));
    ASSERT_NE(handle, nullptr);
    ClosePrinter(handle);
    m.registry.SetValue(HKEY_LOCAL_MACHINE, std::string(kPrinterKey) + "\\PrinterDriverData",
                        "PrinterData", REG_BINARY, {1, 2, 3});
    RegisterUninstallEntry();
    m.journal.clear();
  }

  // Nothing of the product is left with the spooler or in the registry.
  void ExpectProductGone() {
    EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN"));
    EXPECT_FALSE(m.spooler.HasDriver(m.platform().environment, "TAVRIN Printer Driver"));
    EXPECT_FALSE(m.spooler.HasMonitor("TAVRIN Monitor"));
    EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kPrinterKey));
    EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kMonitorKey));
    EXPECT_EQ(m.registry.Dump(HKEY_LOCAL_MACHINE, kPrint).find("TAVRIN"), std::string::npos)
        << m.registry.Dump(HKEY_LOCAL_MACHINE, kPrint);
  }

  bool EntryExists() const {
    return m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry);
  }

  std::string Marker() const {
    char value[64] = {0};
    GetPrivateProfileStringA("Parameters", "Uninstall", "<absent>", value, sizeof(value),
                             test::kIniPath);
    return value;
  }
};

TEST_F(UninstallTest, NtRemovesEverythingRestartsTwiceAndSaysSo) {
  for (const sim::Platform& platform : {sim::Platform::NT4(), sim::Platform::WinXP()}) {
    SCOPED_TRACE(platform.name);
    Boot(platform);
    InstallProduct();
    RunUninstall(0);
    ExpectProductGone();
    EXPECT_FALSE(EntryExists());
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kNtFolderMessage});
    EXPECT_EQ(m.message_boxes[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(m.message_boxes[0].caption, "setup");
    EXPECT_TRUE(test::InOrder(
        Calls({"DeletePrinter", "ControlService", "StartServiceA", "DeletePrinterDriverA",
               "DeleteMonitorA", "MessageBoxA", "SHChangeNotify"}),
        {"DeletePrinter TAVRIN", "ControlService Spooler, 1", "StartServiceA Spooler",
         "DeletePrinterDriverA", "DeleteMonitorA", "ControlService Spooler, 1",
         "StartServiceA Spooler", "MessageBoxA", "SHChangeNotify"}));
    EXPECT_EQ(Calls({"ControlService"}).size(), 2u);
    EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
    // After the restarts the monitor library is free to be replaced.
    EXPECT_FALSE(m.files.IsLoaded(platform.system_dir + "\\tavmon.dll"));
    EXPECT_EQ(m.registry.OpenHandles(), 0);
    EXPECT_EQ(m.spooler.OpenHandles(), 0);
  }
}

TEST_F(UninstallTest, NtSilentShowsNothingButStillRemovesTheEntry) {
  Boot(sim::Platform::Win2000());
  InstallProduct();
  RunUninstall(1);
  ExpectProductGone();
  EXPECT_FALSE(EntryExists());
  EXPECT_TRUE(m.message_boxes.empty());
}

TEST_F(UninstallTest, NtLogsTheLastErrorAfterEachRequestEvenWhenItSucceeded) {
  Boot(sim::Platform::WinXP());
  InstallProduct();
  SetLastError(0);
  m.FailCall("DeletePrinter", 5);
  RunUninstall(1);
  // The printer could not be deleted, so its driver and monitor are in use;
  // the recursive key deletions take the printer's key away all the same.
  std::vector<std::string> log = LogMessages();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "startrpc: 5");
  EXPECT_EQ(log[1], "DeletePrinterDriver: 3001");
  EXPECT_EQ(log[2], "DeleteMonitor: 3008");
}

TEST_F(UninstallTest, NtWithNothingInstalledLogsOnlyTheSpoolerAnswers) {
  Boot(sim::Platform::WinXP());
  SetLastError(0);
  RunUninstall(1);
  // No printer: nothing is logged for it; then the two unknown-item codes.
  EXPECT_EQ(LogMessages(),
            (std::vector<std::string>{"DeletePrinterDriver: 1797", "DeleteMonitor: 3000"}));
  EXPECT_FALSE(EntryExists());
  EXPECT_EQ(Calls({"SHChangeNotify"}).size(), 1u);
}

TEST_F(UninstallTest, ValuesLeftOverFromEarlierCallsAreLoggedToo) {
  Boot(sim::Platform::WinXP());
  InstallProduct();
  SetLastError(183);
  RunUninstall(1);
  // Every request succeeds, yet the left-over value is logged after each.
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"startrpc: 183", "DeletePrinterDriver: 183",
                                                     "DeleteMonitor: 183"}));
}

TEST_F(UninstallTest, QueuedJobsArePurgedSoNothingIsLeft) {
  for (const sim::Platform& platform :
       {sim::Platform::NT4(), sim::Platform::WinXP(), sim::Platform::Win98()}) {
    SCOPED_TRACE(platform.name);
    Boot(platform);
    InstallProduct();
    m.spooler.QueueJob("TAVRIN", "quarterly report");
    m.spooler.QueueJob("TAVRIN", "letter");
    SetLastError(0);
    RunUninstall(1);
    ExpectProductGone();
    EXPECT_TRUE(m.spooler.Jobs("TAVRIN").empty());
    EXPECT_TRUE(m.files.List(platform.spool_dir).empty());
    for (const std::string& line : LogMessages()) {
      EXPECT_EQ(line.rfind("Delete", 0), std::string::npos) << "no driver or monitor in use: " << line;
      EXPECT_EQ(line.rfind("SetPrinter", 0), std::string::npos);
    }
    EXPECT_TRUE(test::InOrder(Calls({"SetPrinterA", "DeletePrinter"}),
                              {"SetPrinterA TAVRIN, 0, 3", "DeletePrinter TAVRIN"}));
    EXPECT_EQ(m.spooler.OpenHandles(), 0);
  }
}

TEST_F(UninstallTest, AFailedPurgeIsLoggedAndLeavesTheDriverAndMonitorInUse) {
  Boot(sim::Platform::WinXP());
  InstallProduct();
  m.spooler.QueueJob("TAVRIN", "report");
  SetLastError(0);
  m.FailCall("SetPrinterA", ERROR_ACCESS_DENIED);
  RunUninstall(1);
  // The marked printer keeps the driver and the monitor; the last error of
  // the purge is still there after the deletion that only marked it.
  EXPECT_EQ(LogMessages(),
            (std::vector<std::string>{"SetPrinter: 5", "startrpc: 5", "DeletePrinterDriver: 3001",
                                      "DeleteMonitor: 3008"}));
  EXPECT_FALSE(m.files.List(m.platform().spool_dir).empty());
}

TEST_F(UninstallTest, Windows9xTakesTwoRunsToFinish) {
  Boot(sim::Platform::Win98());
  InstallProduct();
  m.files.Put(test::kIniPath, "[Parameters]\r\nUninstall=\r\nQuiet=0\r\n");
  SetLastError(0);

  RunUninstall(0);
  ExpectProductGone();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kRebootMessage});
  EXPECT_TRUE(EntryExists());
  EXPECT_EQ(Marker(), "1");
  EXPECT_TRUE(Calls({"ControlService", "StartServiceA"}).empty());
  EXPECT_EQ(LogMessages(), std::vector<std::string>{"RegDeleteKey Windows 4.0 return: 2"});

  m.message_boxes.clear();
  RunUninstall(0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{k9xFolderMessage});
  EXPECT_FALSE(EntryExists());
  EXPECT_EQ(Marker(), "1");
  EXPECT_EQ(Calls({"SHChangeNotify"}).size(), 1u);
}

TEST_F(UninstallTest, Windows9xDriverKeyLeftBehindIsDeletedAndLogged) {
  Boot(sim::Platform::WinMe());
  InstallProduct();
  SetLastError(0);
  m.FailCall("DeletePrinterDriverA", ERROR_ACCESS_DENIED);
  RunUninstall(1);
  // The spooler kept the driver; its key goes all the same, with the
  // deletion's own result and then the last error left behind.
  EXPECT_EQ(LogMessages(),
            (std::vector<std::string>{"DeletePrinterDriver: 5", "DeleteMonitor: 5",
                                      "RegDeleteKey Windows 4.0 return: 0",
                                      "RegDeleteKey 4.0 Driver: 5"}));
  EXPECT_FALSE(m.registry.KeyExists(
      HKEY_LOCAL_MACHINE,
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows 4.0\\Drivers\\TAVRIN "
      "Printer Driver"));
}

TEST_F(UninstallTest, Windows9xSilentKeepsTheEntryAndSetsTheMarker) {
  Boot(sim::Platform::Win95());
  InstallProduct();
  RunUninstall(1);
  ExpectProductGone();
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_TRUE(EntryExists());
  EXPECT_EQ(Marker(), "1");
}

// With the fax service running, each restart's size query for the list of
// dependents fails with 234; a clean uninstall logs nothing all the same.
TEST_F(UninstallTest, NtWithARunningDependentServiceLogsNothing) {
  Boot(sim::Platform::WinXP());
  InstallProduct();
  m.services.AddDependent("Fax");
  SetLastError(0);
  RunUninstall(1);
  EXPECT_EQ(Calls({"EnumDependentServicesA Spooler, 1 -> 234"}).size(), 2u);
  EXPECT_EQ(LogMessages(), std::vector<std::string>{});
  EXPECT_EQ(m.services.StateOf("Fax"), static_cast<DWORD>(SERVICE_RUNNING));
}

// Where kernel32 lacks the WOW64 probes (Windows 95 to 2000, XP before
// SP2) their look-ups fail with 127: `setup uninstall` must log just what
// the uninstall routine logs when called by itself.
class UninstallWithoutProbesTest : public UninstallTest,
                                   public ::testing::WithParamInterface<sim::Platform> {};

TEST_P(UninstallWithoutProbesTest, TheCommandLogsOnlyWhatTheUninstallLeaves) {
  SCOPED_TRACE(GetParam().name);
  Boot(GetParam());
  InstallProduct();
  SetLastError(0);
  RunUninstall(0);
  const std::vector<std::string> direct = LogMessages();

  Boot(GetParam());
  InstallProduct();
  SetLastError(0);
  m.answers.push_back(IDYES);
  RunSetup("uninstall");
  EXPECT_EQ(LogMessages(), direct);
  for (const std::string& line : LogMessages())
    EXPECT_FALSE(line.size() >= 5 && line.compare(line.size() - 5, 5, ": 127") == 0) << line;
}

INSTANTIATE_TEST_SUITE_P(Platforms, UninstallWithoutProbesTest,
                         ::testing::Values(sim::Platform::Win95(), sim::Platform::Win98(),
                                           sim::Platform::NT4(), sim::Platform::Win2000(), [] {
                                             sim::Platform xp = sim::Platform::WinXP();
                                             xp.name = "Windows XP SP1";
                                             xp.exports_wow64_probes = false;
                                             return xp;
                                           }()),
                         test::PlatformTestName);

TEST_F(UninstallTest, BothFlagsFalseIsHandledAsNt) {
  Boot(sim::Platform::FromVersion(0x80000003));
  RunUninstall(0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kNtFolderMessage});
  EXPECT_TRUE(test::InOrder(Calls({"DeletePrinterDriverA", "DeleteMonitorA"}),
                            {"DeletePrinterDriverA", "DeleteMonitorA"}));
  for (const std::string& line : Calls({"DeletePrinterDriverA", "DeleteMonitorA"}))
    EXPECT_NE(line.find("Windows NT x86"), std::string::npos) << line;
}

}  // namespace
