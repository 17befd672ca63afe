// Installing over an earlier installation: every row of the decision on the
// old monitor library.
#include <algorithm>

#include "test_support.h"

namespace {

using test::kRebootRightsMessage;

constexpr char kDeletePrinterMessage[] =
    "In order to upgrade tavrin you must delete the existing TAVRIN printer from Windows Printer "
    "Settings and re-run setup.";
constexpr char kRebootMessage[] = "In order to upgrade tavrin you must reboot and then re-run setup.";
constexpr char kPrinters[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
constexpr char kPackaged9x[] = "C:\\tavrin\\res\\drivedir\\tavmon95.dll";

class UpgradeTest : public test::MachineTest {
 protected:
  void InstalledOn(const sim::Platform& platform) {
    Boot(platform);
    StageProduct();
    if (platform.family == sim::Family::Win9x) InstallApplePostScriptDriver();
    InstallOnce();
    ASSERT_TRUE(m.spooler.HasPrinter("TAVRIN"));
  }
  std::string Library() const {
    return m.platform().system_dir +
           (m.platform().family == sim::Family::Win9x ? "\\tavmon95.dll" : "\\tavmon.dll");
  }
};

TEST_F(UpgradeTest, Windows9xSameSizeLibraryGoesOnAndOnlyLogsTheFailedCopy) {
  InstalledOn(sim::Platform::Win98());
  ASSERT_TRUE(m.files.IsLoaded(Library()));
  RunSetup();
  std::vector<std::string> log = LogMessages();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[2], std::string("CopyFile OutFile.Open Failed: ") + kPackaged9x);
  // Windows 9x answers an existing monitor and printer with its own codes.
  EXPECT_TRUE(test::InOrder(log, {"AddMonitor: ", "AddPrinter: 1802"}));
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_EQ(m.processes.size(), 1u);  // the readme, at the end
}

TEST_F(UpgradeTest, Windows9xUnreadablePackagedLibraryCountsAsTheSameSize) {
  InstalledOn(sim::Platform::WinMe());
  m.files.Remove(kPackaged9x);
  RunSetup();
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_EQ(LogMessages()[2], std::string("CopyFile InFile.Open Failed: ") + kPackaged9x);
}

TEST_F(UpgradeTest, Windows9xDifferentLibraryRemovesTheOldEntriesAndAsksForAReboot) {
  InstalledOn(sim::Platform::Win98());
  m.files.Put(kPackaged9x, "a newer, longer monitor library");
  const std::string old_library = *m.files.Get(Library());
  RunSetup();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kRebootMessage});
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"is_winnt = FALSE", "is_win4 = TRUE",
                                                     "RegDeleteKey Windows 4.0 return: 0"}));
  EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_FALSE(m.spooler.HasMonitor("TAVRIN Monitor"));
  EXPECT_FALSE(m.spooler.HasDriver("Windows 4.0", "TAVRIN Printer Driver"));
  EXPECT_EQ(m.files.Get(Library()), old_library);  // nothing was copied
  EXPECT_TRUE(Calls({"AddMonitorA", "CreateProcessA"}).empty());

  // After the reboot the same setup installs the new library.
  m.Reboot();
  m.message_boxes.clear();
  RunSetup();
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_EQ(m.files.Get(Library()), "a newer, longer monitor library");
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
}

TEST_F(UpgradeTest, Windows9xRefusedPrinterDeletionAddsItsOwnMessage) {
  InstalledOn(sim::Platform::Win95());
  m.files.Put(kPackaged9x, "a newer, longer monitor library");
  m.FailCall("DeletePrinter", ERROR_ACCESS_DENIED);
  RunSetup();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kDeletePrinterMessage, kRebootMessage}));
  // Its key is deleted directly; the spooler's monitor stays while in use.
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, std::string(kPrinters) + "\\TAVRIN"));
}

TEST_F(UpgradeTest, NtFirstInstallCleansStaleKeys) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, std::string(kPrinters) + "\\TAVRIN,0");
  m.registry.CreateKey(HKEY_LOCAL_MACHINE,
                       "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT "
                       "x86\\Drivers\\Version-2\\TAVRIN Printer Driver");
  RunSetup();
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, std::string(kPrinters) + "\\TAVRIN,0"));
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE,
                                    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\"
                                    "Windows NT x86\\Drivers\\Version-2\\TAVRIN Printer Driver"));
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
}

TEST_F(UpgradeTest, NtLoadedLibraryIsReleasedByTheSilentUninstall) {
  for (const sim::Platform& platform : {sim::Platform::NT4(), sim::Platform::Win2000()}) {
    SCOPED_TRACE(platform.name);
    InstalledOn(platform);
    ASSERT_TRUE(m.files.IsLoaded(Library()));
    m.files.Put("C:\\tavrin\\res\\drivedir\\tavmon.dll",
                std::string("MZ") + test::kNewMonitorImage);
    RunSetup();
    EXPECT_TRUE(m.message_boxes.empty()) << m.message_boxes[0].text;
    // Two restarts of the silent uninstall before anything is copied.
    std::vector<std::string> calls = Calls({"ControlService", "CreateFileA", "AddMonitorA"});
    EXPECT_TRUE(test::InOrder(calls, {"ControlService Spooler, 1", "ControlService Spooler, 1",
                                      "CreateFileA " + Library(), "AddMonitorA"}));
    EXPECT_EQ(m.files.Get(Library()), std::string("MZ") + test::kNewMonitorImage);
    EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
    // The new library serves the port the printer stands on.
    const std::vector<std::string> ports = m.spooler.Ports();
    EXPECT_NE(std::find(ports.begin(), ports.end(), "TAVRINPORT"), ports.end());
    EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
  }
}

TEST_F(UpgradeTest, NtLibraryStillHeldAfterTheUninstallAsksForAReboot) {
  InstalledOn(sim::Platform::WinXP());
  m.files.SetInUse(Library(), true);  // some other process holds it
  RunSetup();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kRebootRightsMessage});
  EXPECT_TRUE(Calls({"AddMonitorA", "AddPrinterDriverA", "CreateProcessA"}).empty());
  // The silent uninstall did run.
  EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN"));
}

}  // namespace
