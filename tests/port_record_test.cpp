// The monitor record and the port configuration record, byte for byte.
#include "install/port_configuration.h"
#include "test_support.h"

namespace {

using test::kPortKey;

std::vector<BYTE> Dword(DWORD v) {
  return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
          static_cast<BYTE>(v >> 24)};
}

class PortRecordTest : public test::MachineTest {
 protected:
  void ExpectRecord(const std::string& setup_dir, const std::string& arguments) {
    struct Row {
      const char* name;
      DWORD type;
      std::vector<BYTE> data;
    };
    const std::string command = setup_dir + "\\res\\convert\\gswin32c.exe";
    const Row rows[] = {
        {"Arguments", REG_SZ, test::Bytes(arguments, true)},
        {"Command", REG_SZ, test::Bytes(command, true)},
        {"Delay", REG_DWORD, Dword(300)},
        {"Description", REG_SZ, test::Bytes("TAVRIN Redirected Port", true)},
        {"LogFileDebug", REG_DWORD, Dword(0)},
        {"LogFileName", REG_SZ, {0}},
        {"LogFileUse", REG_DWORD, Dword(0)},
        {"Output", REG_DWORD, Dword(1)},
        {"Printer", REG_SZ, test::Bytes("TAVRIN", true)},
        {"PrintError", REG_DWORD, Dword(0)},
        {"RunUser", REG_DWORD, Dword(0)},
        {"ShowWindow", REG_DWORD, Dword(2)},
    };
    std::vector<std::string> names;
    for (const Row& row : rows) {
      names.push_back(row.name);
      auto value = m.registry.GetValue(HKEY_LOCAL_MACHINE, kPortKey, row.name);
      ASSERT_TRUE(value) << row.name;
      EXPECT_EQ(value->type, row.type) << row.name;
      EXPECT_EQ(value->data, row.data) << row.name;
    }
    EXPECT_EQ(m.registry.ValueNames(HKEY_LOCAL_MACHINE, kPortKey), names);
    EXPECT_EQ(m.registry.GetValue(HKEY_LOCAL_MACHINE, kPortKey, "Command")->data.size(),
              setup_dir.size() + 26);
  }
};

TEST_F(PortRecordTest, PlainSetupFolderGivesTheRecordAsStored) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  RunSetup();
  const std::string args =
      "@C:\\tavrin\\res\\pdfwrite.rsp -sOutputFile=\"%1\" -c save pop -f -";
  ExpectRecord("C:\\tavrin", args);
  EXPECT_EQ(args.size() + 1, std::string("C:\\tavrin").size() + 54);
  EXPECT_TRUE(test::InOrder(m.journal, {"AddMonitorA TAVRIN Monitor, Windows NT x86, tavmon.dll"}));
}

TEST_F(PortRecordTest, SetupFolderWithBlanksQuotesTheResponseFile) {
  Boot(sim::Platform::Win2000());
  const std::string dir = "D:\\Program Files\\Tavrin Setup";
  m.files.MakeDirectory(dir);
  m.module_path = dir + "\\setup.exe";
  WritePortConfiguration(dir);
  ExpectRecord(dir, "\"@" + dir + "\\res\\pdfwrite.rsp\" -sOutputFile=\"%1\" -c save pop -f -");
  EXPECT_EQ(PortCommand(dir), dir + "\\res\\convert\\gswin32c.exe");
}

TEST_F(PortRecordTest, RewritingKeepsOtherValuesAndReplacesOurs) {
  Boot(sim::Platform::WinXP());
  m.registry.SetString(HKEY_LOCAL_MACHINE, kPortKey, "Command", "old");
  m.registry.SetString(HKEY_LOCAL_MACHINE, kPortKey, "UserNote", "kept");
  WritePortConfiguration("C:\\tavrin");
  EXPECT_EQ(m.registry.GetValue(HKEY_LOCAL_MACHINE, kPortKey, "Command")->AsString(),
            "C:\\tavrin\\res\\convert\\gswin32c.exe");
  EXPECT_EQ(m.registry.GetValue(HKEY_LOCAL_MACHINE, kPortKey, "UserNote")->AsString(), "kept");
  EXPECT_EQ(m.registry.OpenHandles(), 0);
}

TEST_F(PortRecordTest, Windows9xRecordAndNoSpoolerWait) {
  Boot(sim::Platform::Win98());
  StageProduct();
  InstallApplePostScriptDriver();
  RunSetup();
  EXPECT_TRUE(test::InOrder(m.journal, {"AddMonitorA TAVRIN Monitor, Windows 4.0, tavmon95.dll"}));
  EXPECT_EQ(m.console.find("Initializing Spooler"), std::string::npos);
  EXPECT_EQ(m.Sleeps().front(), 1000u);
}

TEST_F(PortRecordTest, BothFlagsFalseCarriesTheNinetyFiveLibraryWithTheNtEnvironment) {
  Boot(sim::Platform::FromVersion(0x80000003));
  StageProduct();
  RunSetup();
  EXPECT_TRUE(test::InOrder(m.journal,
                            {"AddMonitorA TAVRIN Monitor, Windows NT x86, tavmon95.dll"}));
  EXPECT_TRUE(m.files.Exists(m.platform().system_dir + "\\tavmona95.dll"));
}

TEST_F(PortRecordTest, AnotherAddMonitorErrorIsLoggedAndTheRecordStillWritten) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  m.FailCall("AddMonitorA", ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
  RunSetup();
  std::vector<std::string> log = LogMessages();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[3], "AddMonitor: 3006");
  EXPECT_EQ(m.Sleeps(), (std::vector<DWORD>{3000, 1000, 1000}));
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kPortKey));
}

}  // namespace
