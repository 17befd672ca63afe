// Smaller parts of the install: the console probes, the INI file mapping,
// the AutoCAD adjustment.
#include "test_support.h"

namespace {

constexpr char kMonitors[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
constexpr char kMapping[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping";

class InstallDetailTest : public test::MachineTest {
 protected:
  std::string IniValue(const char* key) const {
    char value[32] = {0};
    GetPrivateProfileStringA("Parameters", key, "<absent>", value, sizeof(value), test::kIniPath);
    return value;
  }
};

TEST_F(InstallDetailTest, MonitorAndPortProbesLookOnlyAtTheFirstEntry) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  RunSetup();  // "Local Port" and its ports come first
  EXPECT_EQ(m.console.find("Monitor found"), std::string::npos);
  EXPECT_EQ(m.console.find("Port found"), std::string::npos);

  // A machine whose first monitor is ours (an earlier install, and no
  // "Local Port"): both probes find it.
  m.registry.DeleteTree(HKEY_LOCAL_MACHINE, std::string(kMonitors) + "\\Local Port");
  m.console.clear();
  RunSetup();
  EXPECT_NE(m.console.find("Monitor found\n\n"), std::string::npos) << m.console;
  EXPECT_NE(m.console.find("Port found\n\n"), std::string::npos) << m.console;
}

TEST_F(InstallDetailTest, EnumerationsThatDoNotFitIntoTheirBufferOnlyTrace) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  for (int i = 0; i < 200; ++i) {
    const std::string name = "Monitor number " + std::to_string(100 + i);
    m.spooler.InstallMonitor(name, "mon" + std::to_string(i) + ".dll");
    m.registry.CreateKey(HKEY_LOCAL_MACHINE,
                         std::string(kMonitors) + "\\" + name + "\\Ports\\PORT" + std::to_string(i));
  }
  RunSetup();
  EXPECT_NE(m.console.find("EnumMonitors failed\n\n"), std::string::npos);
  EXPECT_NE(m.console.find("EnumPorts failed\n\n"), std::string::npos);
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));  // nothing else changes
}

TEST_F(InstallDetailTest, NtRemovesTheIniFileMappingAndFlushesTheCache) {
  Boot(sim::Platform::NT4());
  StageProduct();
  m.registry.SetString(HKEY_LOCAL_MACHINE, std::string(kMapping) + "\\tavrin.ini", "Parameters",
                       "USR:Software\\Tavrin");
  RunSetup();
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, std::string(kMapping) + "\\tavrin.ini"));
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kMapping));
  EXPECT_TRUE(test::InOrder(m.journal, {"RegDeleteKeyA HKLM\\" + std::string(kMapping),
                                        "WritePrivateProfileStringW tavrin.ini, (null), (null), (null)",
                                        "CreateFileA " + m.platform().driver_dir + "\\Pscript.dll"}));
}

TEST_F(InstallDetailTest, NtCreatesAMissingMappingKeyAndStillCopies) {
  Boot(sim::Platform::Win2000());
  StageProduct();
  m.registry.DeleteTree(HKEY_LOCAL_MACHINE, kMapping);
  RunSetup();
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kMapping));
  EXPECT_TRUE(m.files.Exists(m.platform().driver_dir + "\\Tavrinui.dll"));
}

TEST_F(InstallDetailTest, AutoCadTurnsOffTsEnabledOnNtOnly) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  RunSetup();
  EXPECT_EQ(IniValue("TS Enabled"), "<absent>");

  m.registry.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Autodesk\\AutoCad");
  RunSetup();
  EXPECT_EQ(IniValue("TS Enabled"), "0");

  Boot(sim::Platform::Win98());
  StageProduct();
  InstallApplePostScriptDriver();
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Autodesk\\AutoCad");
  RunSetup();
  EXPECT_EQ(IniValue("TS Enabled"), "<absent>");
}

TEST_F(InstallDetailTest, Windows9xClearsTheUninstallMarkerAndLeavesTheRegistryAlone) {
  Boot(sim::Platform::Win98());
  StageProduct();
  InstallApplePostScriptDriver();
  m.files.Put(test::kIniPath, "[Parameters]\r\nUninstall=1\r\nQuiet=0\r\n");
  RunSetup();
  EXPECT_EQ(IniValue("Uninstall"), "");
  EXPECT_TRUE(Calls({"WritePrivateProfileStringW"}).empty());
}

TEST_F(InstallDetailTest, EmptyDataFilesGiveEmptyValues) {
  Boot(sim::Platform::NT4());
  StageProduct();
  for (const char* name : {"fontsub.tbl", "printerdata.dat"})
    m.files.Put(std::string("C:\\tavrin\\res\\drivedir\\") + name, "");
  m.files.Put("C:\\tavrin\\res\\drivedir\\dfdevmdnt.dat", "");
  RunSetup();
  const std::string data = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\TAVRIN\\PrinterDriverData";
  auto size = m.registry.GetValue(HKEY_LOCAL_MACHINE, data, "TTFontSubTableSize");
  ASSERT_TRUE(size);
  EXPECT_EQ(size->AsDword(), 0u);
  for (const char* name : {"TTFontSubTable", "PrinterData"}) {
    auto value = m.registry.GetValue(HKEY_LOCAL_MACHINE, data, name);
    ASSERT_TRUE(value) << name;
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_TRUE(value->data.empty()) << name;
  }
  auto devmode = m.registry.GetValue(
      HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\TAVRIN",
      "Default DevMode");
  ASSERT_TRUE(devmode);
  EXPECT_TRUE(devmode->data.empty());
  EXPECT_NE(m.console.find("Completing printer setup"), std::string::npos);
}

}  // namespace
