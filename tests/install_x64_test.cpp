// 64-bit Windows: the program built for it installs, re-installs and
// uninstalls in the "Windows x64" environment and finds the install root in
// either registry view; a 32-bit build started there changes nothing.
#include "common/install_root.h"
#include "monitor/port_config.h"
#include "test_support.h"

namespace {

using test::kDataKey;
using test::kPrint;
using test::kPrinterKey;

constexpr char kX64Drivers3[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3";
constexpr char kX64Drivers2[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-2";
constexpr char kX86Drivers3[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3";
constexpr char kWrongEdition[] =
    "This setup is for 32-bit Windows. Please run the 64-bit setup of tavrin.";

class X64Test : public test::MachineTest {
 protected:
  // The spooler calls that name an environment, in order.
  std::vector<std::string> EnvironmentCalls() const {
    return Calls({"AddMonitorA", "AddPrinterDriverA", "DeletePrinterDriverA", "DeleteMonitorA"});
  }
  static void ExpectOnlyX64(const std::vector<std::string>& calls) {
    for (const std::string& call : calls) {
      EXPECT_NE(call.find("Windows x64"), std::string::npos) << call;
      EXPECT_EQ(call.find("Windows NT x86"), std::string::npos) << call;
    }
  }
};

TEST_F(X64Test, EverySixtyFourBitWindowsInstallsAndUninstallsInItsOwnEnvironment) {
  for (const sim::Platform& platform :
       {sim::Platform::WinXPx64(), sim::Platform::Win7x64(), sim::Platform::Win10x64()}) {
    SCOPED_TRACE(platform.name);
    Boot(platform);
    StageProduct();
    RunSetup();

    const std::string d = m.platform().driver_dir;
    ASSERT_EQ(d, "C:\\WINDOWS\\system32\\spool\\drivers\\x64");
    // What the user and the log see is the NT case's.
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"is_winnt = TRUE", "is_win4 = TRUE",
                                                       "Printer Driver Directory: " + d}));
    EXPECT_TRUE(m.message_boxes.empty()) << m.message_boxes[0].text;
    EXPECT_EQ(m.Sleeps(), (std::vector<DWORD>{3000, 1000}));
    EXPECT_EQ(Calls({"AddMonitorA"}),
              std::vector<std::string>{"AddMonitorA TAVRIN Monitor, Windows x64, tavmon.dll"});
    ExpectOnlyX64(EnvironmentCalls());

    // The level-6 driver, for this system's own environment, so that the
    // printer can stand on it.
    ASSERT_EQ(m.spooler.driver_calls.size(), 1u);
    const sim::DriverRecord& r = m.spooler.driver_calls[0];
    EXPECT_EQ(r.level, 6u);
    EXPECT_EQ(r.version, 3u);
    EXPECT_EQ(r.environment, "Windows x64");
    EXPECT_EQ(r.driver_path, d + "\\pscript5.dll");
    EXPECT_EQ(r.data_file, d + "\\tavrinps5.ppd");
    EXPECT_EQ(r.config_file, d + "\\ps5ui.dll");
    EXPECT_TRUE(m.spooler.HasDriver("Windows x64", "TAVRIN Printer Driver"));
    EXPECT_FALSE(m.spooler.HasDriver("Windows NT x86", "TAVRIN Printer Driver"));
    EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE,
                                     std::string(kX64Drivers3) + "\\TAVRIN Printer Driver"));
    EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
    EXPECT_TRUE(m.spooler.HasMonitor("TAVRIN Monitor"));
    EXPECT_EQ(Calls({"AddPrinterA"}).size(), 1u);
    EXPECT_TRUE(Calls({"AddPrinterA -> "}).empty());

    // Files, printer data and device mode as on Windows 2000 and XP.
    const std::string y = m.platform().system_dir + "\\";
    EXPECT_EQ(m.files.Get(y + "tavmon.dll"), ContentOf("tavmon.dll"));
    EXPECT_EQ(m.files.Get(y + "tavmona.dll"), ContentOf("tavmona.dll"));
    EXPECT_FALSE(m.files.Exists(y + "tavmon95.dll"));
    for (const char* name : {"Pscript.dll", "Tavrinui.dll", "gs.PPD", "tavrinps5.PPD",
                             "pscript5.dll", "ps5ui.dll", "tavrinui5.DLL", "pscript.ntf"})
      EXPECT_EQ(m.files.Get(d + "\\" + name), ContentOf(name)) << name;
    auto data = m.registry.GetValue(HKEY_LOCAL_MACHINE, kDataKey, "PrinterData");
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->data.begin(), data->data.end()), ContentOf("printerdata5.dat"));
    auto devmode = m.registry.GetValue(HKEY_LOCAL_MACHINE, kPrinterKey, "Default DevMode");
    ASSERT_TRUE(devmode);
    EXPECT_EQ(std::string(devmode->data.begin(), devmode->data.end()),
              ContentOf("dfdevmdnt5.dat"));
    EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));

    m.journal.clear();
    m.answers.push_back(IDYES);
    RunSetup("uninstall");
    ExpectOnlyX64(EnvironmentCalls());
    EXPECT_EQ(Calls({"DeletePrinterDriverA"}),
              std::vector<std::string>{"DeletePrinterDriverA Windows x64, TAVRIN Printer Driver"});
    EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN"));
    EXPECT_FALSE(m.spooler.HasDriver("Windows x64", "TAVRIN Printer Driver"));
    EXPECT_FALSE(m.spooler.HasMonitor("TAVRIN Monitor"));
    EXPECT_EQ(m.registry.Dump(HKEY_LOCAL_MACHINE, kPrint).find("TAVRIN"), std::string::npos)
        << m.registry.Dump(HKEY_LOCAL_MACHINE, kPrint);
    EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
  }
}

TEST_F(X64Test, ReinstallClearsTheStaleKeysOfItsOwnEnvironment) {
  Boot(sim::Platform::Win10x64());
  StageProduct();
  InstallOnce();
  // Leftovers that only the key clean-up removes (no "Driver" value, so the
  // spooler does not count them as drivers); a 32-bit client's driver of
  // another product stays untouched.
  for (const char* parent : {kX64Drivers2, kX64Drivers3})
    m.registry.CreateKey(HKEY_LOCAL_MACHINE, std::string(parent) + "\\TAVRIN Printer Driver");
  const std::string foreign = std::string(kX86Drivers3) + "\\TAVRIN Printer Driver";
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, foreign);
  m.registry.SetString(HKEY_LOCAL_MACHINE, foreign, "Driver", "pscript5.dll");

  RunSetup();
  // The silent uninstall let go of the loaded monitor, so the install went
  // on in the same run without a reboot message.
  EXPECT_TRUE(m.message_boxes.empty()) << m.message_boxes[0].text;
  ExpectOnlyX64(EnvironmentCalls());
  EXPECT_TRUE(test::InOrder(m.journal, {"DeletePrinterDriverA Windows x64", "DeleteMonitorA Windows x64",
                                        "AddMonitorA TAVRIN Monitor, Windows x64",
                                        "AddPrinterDriverA 6, TAVRIN Printer Driver, Windows x64"}));
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE,
                                    std::string(kX64Drivers2) + "\\TAVRIN Printer Driver"));
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, foreign));
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_TRUE(m.spooler.HasDriver("Windows x64", "TAVRIN Printer Driver"));
}

// A 32-bit setup.exe under WOW64: the box and the log line, and nothing else
// happens, neither for an install nor for an uninstall (not even the
// confirmation question).
TEST_F(X64Test, ThirtyTwoBitBuildUnderWow64RefusesAndChangesNothing) {
  for (const sim::Platform& platform : {sim::Platform::WinXPx64(), sim::Platform::Win10x64()}) {
    SCOPED_TRACE(platform.name);
    Boot(platform);
    StageProduct();
    m.wow64 = true;
    const std::string registry_before = m.registry.Dump(HKEY_LOCAL_MACHINE, "");
    const std::vector<std::string> system_before = m.files.List(m.platform().system_dir);
    const std::vector<std::string> drivers_before = m.files.List(m.platform().driver_dir);

    for (const char* arguments : {"", "uninstall"}) {
      SCOPED_TRACE(arguments);
      m.message_boxes.clear();
      m.files.Put(test::kLogPath, "");
      RunSetup(arguments);
      ASSERT_EQ(m.message_boxes.size(), 1u);
      EXPECT_EQ(m.message_boxes[0].text, kWrongEdition);
      EXPECT_EQ(m.message_boxes[0].type, static_cast<UINT>(MB_OK));
      EXPECT_EQ(LogMessages(), std::vector<std::string>{kWrongEdition});
    }
    EXPECT_EQ(m.registry.Dump(HKEY_LOCAL_MACHINE, ""), registry_before);
    EXPECT_EQ(m.files.List(m.platform().system_dir), system_before);
    EXPECT_EQ(m.files.List(m.platform().driver_dir), drivers_before);
    EXPECT_TRUE(Calls({"AddMonitorA", "AddPrinterDriverA", "AddPrinterA", "DeletePrinter",
                       "DeleteMonitorA", "ControlService", "StartService"})
                    .empty());
    EXPECT_TRUE(m.processes.empty());
    EXPECT_TRUE(m.console.empty());
  }
}

// "Path" as a 32-bit outer installer leaves it on 64-bit Windows, in the
// 32-bit view (stored under Wow6432Node): the 64-bit setup and monitor find
// it when their own view has no product key or no "Path", and prefer their
// own. 32-bit Windows has one view, where such a key is nobody's.
TEST_F(X64Test, TheInstallRootIsReadInTheOwnViewThenInTheThirtyTwoBitOne) {
  for (const sim::Platform& platform : {sim::Platform::WinXPx64(), sim::Platform::Win10x64(),
                                        sim::Platform::Win2000(), sim::Platform::WinXP()}) {
    SCOPED_TRACE(platform.name);
    Boot(platform);
    const bool x64 = platform.architecture == PROCESSOR_ARCHITECTURE_AMD64;
    m.registry.SetString(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Tavrin", "Path",
                         "D:\\Apps");
    for (int own_key = 0; own_key < 2; ++own_key) {
      if (own_key) m.registry.SetString(HKEY_LOCAL_MACHINE, test::kProductKey, "Version", "1");
      EXPECT_EQ(InstallRoot(), x64 ? "D:\\Apps\\" : "c:\\");
      EXPECT_EQ(ReadInstallRoot(), x64 ? "D:\\Apps\\" : "c:\\");
    }
    SetInstallRoot("E:\\Native");
    EXPECT_EQ(InstallRoot(), "E:\\Native\\");
    EXPECT_EQ(ReadInstallRoot(), "E:\\Native\\");
  }
}

// The 32-bit build on 32-bit Windows that has the WOW64 probes (XP SP2)
// installs as ever; an argument other than "uninstall" is still started.
TEST_F(X64Test, ThirtyTwoBitWindowsWithTheProbesInstallsAsUsual) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  RunSetup();
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));

  Boot(sim::Platform::Win10x64());
  m.wow64 = true;
  RunSetup("notepad.exe");
  EXPECT_TRUE(m.message_boxes.empty());
  ASSERT_EQ(m.processes.size(), 1u);
  EXPECT_EQ(m.processes[0].command_line, "notepad.exe");
}

}  // namespace
