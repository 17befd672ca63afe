// First installs on the three platform families, each followed by the
// uninstall, checked from the outside: log, console, boxes, registry,
// files, spooler, processes and waits.
#include "test_support.h"

namespace {

using test::kDataKey;
using test::kPortKey;
using test::kPrint;
using test::kPrinterKey;

constexpr char kReadmeViewer[] = "rundll32.exe url.dll,FileProtocolHandler c:\\tavrin\\readme.html";

class FirstInstallTest : public test::MachineTest {
 protected:
  std::vector<BYTE> File(const std::string& name) const {
    std::string content = ContentOf(name);
    return std::vector<BYTE>(content.begin(), content.end());
  }
  std::vector<BYTE> Value(const char* key, const char* name) const {
    auto v = m.registry.GetValue(HKEY_LOCAL_MACHINE, key, name);
    return v ? v->data : std::vector<BYTE>{'?'};
  }
  bool HasValue(const char* key, const char* name) const {
    return m.registry.GetValue(HKEY_LOCAL_MACHINE, key, name).has_value();
  }
  // The viewer start: shown normally, flags 0, new process group, our
  // environment block.
  void ExpectViewerStarted(const std::string& command) {
    ASSERT_EQ(m.processes.size(), 1u);
    const sim::ProcessRecord& p = m.processes[0];
    EXPECT_EQ(p.command_line, command);
    // Windows' own rundll32.exe by its full path, never a file of that name
    // beside setup.exe (which the search for a bare name finds first).
    const sim::Platform& platform = m.platform();
    const std::string folder =
        platform.family == sim::Family::Win9x ? platform.windows_dir : platform.system_dir;
    EXPECT_TRUE(p.has_application_name);
    EXPECT_TRUE(sim::EqualNoCase(p.application_name, folder + "\\rundll32.exe"))
        << p.application_name;
    EXPECT_TRUE(p.started);
    EXPECT_EQ(p.creation_flags, 0x200u);
    EXPECT_EQ(p.inherit_handles, FALSE);
    EXPECT_TRUE(p.environment_passed);
    EXPECT_EQ(p.environment, m.environment);
    EXPECT_EQ(p.startup.cb, sizeof(STARTUPINFOA));
    EXPECT_EQ(p.startup.dwFlags, 0u);
    EXPECT_EQ(p.startup.wShowWindow, SW_SHOWNORMAL);
    EXPECT_EQ(p.startup.lpDesktop, nullptr);
    EXPECT_EQ(p.startup.lpTitle, nullptr);
  }
  // After the uninstall nothing of the product is left with the spooler.
  void ExpectRemoved() {
    EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN"));
    EXPECT_FALSE(m.spooler.HasDriver(m.platform().environment, "TAVRIN Printer Driver"));
    EXPECT_FALSE(m.spooler.HasMonitor("TAVRIN Monitor"));
    EXPECT_EQ(m.registry.Dump(HKEY_LOCAL_MACHINE, kPrint).find("TAVRIN"), std::string::npos)
        << m.registry.Dump(HKEY_LOCAL_MACHINE, kPrint);
  }
};

TEST_F(FirstInstallTest, WindowsXpRegistersLevelSixAndUninstallRemovesIt) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  m.files.Put("C:\\tavrin\\rundll32.exe", "MZ planted beside setup.exe");
  RunSetup();

  const std::string d = m.platform().driver_dir;
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"is_winnt = TRUE", "is_win4 = TRUE",
                                                     "Printer Driver Directory: " + d}));
  EXPECT_TRUE(m.message_boxes.empty()) << m.message_boxes[0].text;
  EXPECT_EQ(m.console,
            "Initializing Spooler\n\nAdding printer driver\n\nEnumerating ports\n\n"
            "Adding printer\n\nClosing printer\n\nConfiguring printer\n\n"
            "Completing printer setup...\n\n");
  EXPECT_EQ(m.Sleeps(), (std::vector<DWORD>{3000, 1000}));

  // Monitor libraries in the system folder, driver files in the driver folder.
  const std::string y = m.platform().system_dir + "\\";
  EXPECT_EQ(m.files.Get(y + "tavmon.dll"), ContentOf("tavmon.dll"));
  EXPECT_EQ(m.files.Get(y + "tavmona.dll"), ContentOf("tavmona.dll"));
  EXPECT_FALSE(m.files.Exists(y + "tavmon95.dll"));
  for (const char* name : {"Pscript.dll", "Tavrinui.dll", "Pscript.hlp", "gs.PPD", "fontsub.tbl",
                           "tavrinps5.PPD", "pscript5.dll", "ps5ui.dll", "tavrin.INI",
                           "tavrinui5.DLL", "pscript.ntf"})
    EXPECT_EQ(m.files.Get(d + "\\" + name), ContentOf(name)) << name;
  EXPECT_FALSE(m.files.Exists(d + "\\tavdriver.SPD"));

  // The level-6 record.
  ASSERT_EQ(m.spooler.driver_calls.size(), 1u);
  const sim::DriverRecord& r = m.spooler.driver_calls[0];
  EXPECT_EQ(r.level, 6u);
  EXPECT_EQ(r.version, 3u);
  EXPECT_EQ(r.name, "TAVRIN Printer Driver");
  EXPECT_EQ(r.environment, "Windows NT x86");
  EXPECT_EQ(r.driver_path, d + "\\pscript5.dll");
  EXPECT_EQ(r.data_file, d + "\\tavrinps5.ppd");
  EXPECT_EQ(r.config_file, d + "\\ps5ui.dll");
  EXPECT_EQ(r.help_file, d + "\\Pscript.hlp");
  EXPECT_EQ(r.dependent_files,
            (std::vector<std::string>{"tavrinps5.ppd", "tavrin.INI", "tavrinui5.DLL", "pscript.ntf"}));
  EXPECT_FALSE(r.has_monitor_name);
  EXPECT_EQ(r.default_datatype, "RAW");
  EXPECT_FALSE(r.has_previous_names);
  EXPECT_EQ(r.driver_date.dwLowDateTime | r.driver_date.dwHighDateTime, 0u);
  EXPECT_EQ(r.driver_version, 0u);
  EXPECT_EQ(r.mfg_name, "Tavrin Corporation");
  EXPECT_EQ(r.provider, "Tavrin Corporation");
  EXPECT_TRUE(r.has_oem_url);
  EXPECT_FALSE(r.has_hardware_id);

  // The printer and its data.
  ASSERT_EQ(m.spooler.printer_calls.size(), 1u);
  const sim::PrinterRecord& pr = m.spooler.printer_calls[0];
  EXPECT_EQ(pr.printer_name, "TAVRIN");
  EXPECT_EQ(pr.port_name, "TAVRINPORT");
  EXPECT_EQ(pr.driver_name, "TAVRIN Printer Driver");
  EXPECT_EQ(pr.print_processor, "winprint");
  EXPECT_FALSE(pr.has_datatype);
  EXPECT_FALSE(pr.has_devmode);
  EXPECT_FALSE(pr.has_share_name);
  EXPECT_EQ(pr.attributes, 0u);
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_FALSE(HasValue(kDataKey, "TTFontSubTable"));
  EXPECT_FALSE(HasValue(kDataKey, "TTFontSubTableSize"));
  EXPECT_EQ(Value(kDataKey, "PrinterData"), File("printerdata5.dat"));
  EXPECT_EQ(Value(kPrinterKey, "Default DevMode"), File("dfdevmdnt5.dat"));

  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
  ExpectViewerStarted(kReadmeViewer);
  EXPECT_EQ(m.registry.OpenHandles(), 0);
  EXPECT_EQ(m.files.OpenHandles(), 0);
  EXPECT_EQ(m.spooler.OpenHandles(), 0);

  m.answers.push_back(IDYES);
  RunSetup("uninstall");
  ExpectRemoved();
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
}

TEST_F(FirstInstallTest, WindowsNt4RegistersLevelThreeWithFontTable) {
  Boot(sim::Platform::NT4());
  StageProduct();
  RunSetup();

  const std::string d = m.platform().driver_dir;
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"is_winnt = TRUE", "is_win4 = TRUE",
                                                     "Printer Driver Directory: " + d}));
  EXPECT_TRUE(m.message_boxes.empty());
  ASSERT_EQ(m.spooler.driver_calls.size(), 1u);
  const sim::DriverRecord& r = m.spooler.driver_calls[0];
  EXPECT_EQ(r.level, 3u);
  EXPECT_EQ(r.version, 2u);
  EXPECT_EQ(r.environment, "Windows NT x86");
  EXPECT_EQ(r.driver_path, d + "\\pscript.dll");
  EXPECT_EQ(r.data_file, d + "\\gs.PPD");
  EXPECT_EQ(r.config_file, d + "\\Tavrinui.dll");
  EXPECT_EQ(r.help_file, d + "\\Pscript.hlp");
  EXPECT_FALSE(r.has_dependent_files);
  EXPECT_FALSE(r.has_monitor_name);
  EXPECT_EQ(r.default_datatype, "RAW");
  // No Windows 2000 files are copied on NT 4.0.
  EXPECT_FALSE(m.files.Exists(d + "\\pscript5.dll"));

  auto size = m.registry.GetValue(HKEY_LOCAL_MACHINE, kDataKey, "TTFontSubTableSize");
  ASSERT_TRUE(size);
  EXPECT_EQ(size->type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(size->data.size(), 4u);
  EXPECT_EQ(size->AsDword(), ContentOf("fontsub.tbl").size());
  EXPECT_EQ(Value(kDataKey, "TTFontSubTable"), File("fontsub.tbl"));
  EXPECT_EQ(Value(kDataKey, "PrinterData"), File("printerdata.dat"));
  EXPECT_EQ(Value(kPrinterKey, "Default DevMode"), File("dfdevmdnt.dat"));
  EXPECT_EQ(m.registry.ValueNames(HKEY_LOCAL_MACHINE, kDataKey),
            (std::vector<std::string>{"TTFontSubTableSize", "TTFontSubTable", "PrinterData"}));
  ExpectViewerStarted(kReadmeViewer);

  m.answers.push_back(IDYES);
  RunSetup("uninstall");
  ExpectRemoved();
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
}

TEST_F(FirstInstallTest, Windows98RegistersTheNinetyFiveRecordAndUninstallsInTwoRuns) {
  Boot(sim::Platform::Win98());
  StageProduct();
  InstallApplePostScriptDriver();
  RunSetup();

  const std::string d = m.platform().driver_dir;
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"is_winnt = FALSE", "is_win4 = TRUE",
                                                     "Printer Driver Directory: " + d}));
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_EQ(m.console,
            "Adding printer driver\n\nDriver directory: " + d +
                "\n\nEnumerating ports\n\nAdding printer\n\nClosing printer\n\n"
                "Configuring printer\n\nCompleting printer setup...\n\n");
  EXPECT_EQ(m.Sleeps(), (std::vector<DWORD>{1000, 1000}));

  const std::string y = m.platform().system_dir + "\\";
  EXPECT_EQ(m.files.Get(y + "tavmon95.dll"), ContentOf("tavmon95.dll"));
  EXPECT_EQ(m.files.Get(y + "tavmona95.dll"), ContentOf("tavmona95.dll"));
  EXPECT_EQ(m.files.Get(d + "\\tavdriver.SPD"), ContentOf("tavdriver.SPD"));
  EXPECT_FALSE(m.files.Exists(d + "\\Tavrinui.dll"));

  ASSERT_EQ(m.spooler.driver_calls.size(), 1u);
  const sim::DriverRecord& r = m.spooler.driver_calls[0];
  EXPECT_EQ(r.level, 3u);
  EXPECT_EQ(r.version, 2u);
  EXPECT_EQ(r.environment, "Windows 4.0");
  EXPECT_EQ(r.driver_path, "Pscript.drv");
  EXPECT_EQ(r.config_file, "Pscript.drv");
  EXPECT_EQ(r.data_file, "tavdriver.SPD");
  EXPECT_EQ(r.help_file, "Pscript.hlp");
  EXPECT_EQ(r.dependent_files,
            (std::vector<std::string>{"msprint.cat", "LWNT_470.SPD", "PSCRIPT.DRV", "PSCRIPT.HLP",
                                      "PSCRIPT.INI", "TESTPS.TXT", "APPLE380.SPD", "FONTS.MFM",
                                      "ICONLIB.DLL", "PSMON.DLL", "TAVDRIVER.SPD"}));
  ASSERT_EQ(m.spooler.printer_calls.size(), 1u);
  EXPECT_EQ(m.spooler.printer_calls[0].attributes, static_cast<DWORD>(PRINTER_ATTRIBUTE_LOCAL));
  EXPECT_EQ(Value(kDataKey, "TTFontSubTable"), File("fontsub.tbl"));
  EXPECT_EQ(Value(kDataKey, "PrinterData"), File("printerdata.dat"));
  EXPECT_EQ(Value(kPrinterKey, "Default DevMode"), File("dfdevmd.dat"));
  ExpectViewerStarted(kReadmeViewer);
  // The install clears the uninstall marker; no mapping key exists on 9x.
  char marker[8] = "x";
  GetPrivateProfileStringA("Parameters", "Uninstall", "absent", marker, sizeof(marker),
                           test::kIniPath);
  EXPECT_STREQ(marker, "");

  m.answers = {IDYES, IDOK};
  RunSetup("uninstall");
  ExpectRemoved();
  EXPECT_EQ(m.message_boxes.back().text, "Please reboot to fully remove the TAVRIN Printer Driver");
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
  m.Reboot();
  m.answers = {IDYES, IDOK};
  RunSetup("uninstall");
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
  EXPECT_FALSE(m.files.IsLoaded(y + "tavmon95.dll"));
}

TEST_F(FirstInstallTest, InstallUninstallInstallAgainOnXp) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  RunSetup();
  m.answers.push_back(IDYES);
  RunSetup("uninstall");
  m.message_boxes.clear();
  m.files.Put(test::kLogPath, "");
  RunSetup();
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_TRUE(m.spooler.HasMonitor("TAVRIN Monitor"));
  EXPECT_EQ(LogMessages().size(), 3u);
}

}  // namespace
