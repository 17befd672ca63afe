// The Add/Remove Programs entry.
#include "uninstall/uninstall_entry.h"

#include "test_support.h"

namespace {

class UninstallEntryTest : public test::MachineTest {
 protected:
  void SetUp() override { Boot(sim::Platform::WinXP()); }
  std::optional<sim::RegValue> Value(const char* name) const {
    return m.registry.GetValue(HKEY_LOCAL_MACHINE, test::kUninstallEntry, name);
  }
};

TEST_F(UninstallEntryTest, RegistersNameAndCommandWithTheirNuls) {
  EXPECT_EQ(RegisterUninstallEntry(), 1);
  auto name = Value("DisplayName");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(name->data, test::Bytes("Tavrin", true));  // 7 bytes
  auto command = Value("UninstallString");
  ASSERT_TRUE(command);
  EXPECT_EQ(command->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(command->data, test::Bytes("c:\\tavrin\\setup.exe uninstall", true));
  EXPECT_EQ(command->data.size(), 30u);
  EXPECT_EQ(m.registry.ValueNames(HKEY_LOCAL_MACHINE, test::kUninstallEntry),
            (std::vector<std::string>{"DisplayName", "UninstallString"}));
  EXPECT_EQ(m.registry.OpenHandles(), 0);
}

TEST_F(UninstallEntryTest, ARootWithBlanksIsQuoted) {
  SetInstallRoot("C:\\Program Files\\");
  RegisterUninstallEntry();
  EXPECT_EQ(Value("UninstallString")->AsString(),
            "\"C:\\Program Files\\tavrin\\setup.exe\" uninstall");
  SetInstallRoot("D:\\Apps");  // the missing backslash is supplied
  RegisterUninstallEntry();
  EXPECT_EQ(Value("UninstallString")->AsString(), "D:\\Apps\\tavrin\\setup.exe uninstall");
}

TEST_F(UninstallEntryTest, AnExistingEntryKeepsItsOtherValues) {
  m.registry.SetString(HKEY_LOCAL_MACHINE, test::kUninstallEntry, "DisplayName", "Old name");
  m.registry.SetString(HKEY_LOCAL_MACHINE, test::kUninstallEntry, "Publisher", "Someone");
  RegisterUninstallEntry();
  EXPECT_EQ(Value("DisplayName")->AsString(), "Tavrin");
  EXPECT_EQ(Value("Publisher")->AsString(), "Someone");
}

TEST_F(UninstallEntryTest, ALockedUninstallKeyWritesNothing) {
  m.registry.SetWriteProtected(HKEY_LOCAL_MACHINE,
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", true);
  EXPECT_EQ(RegisterUninstallEntry(), 1);
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
}

TEST_F(UninstallEntryTest, RemovalDeletesTheKeyAndAlwaysNotifiesTheShell) {
  RegisterUninstallEntry();
  EXPECT_EQ(RemoveUninstallEntry(), 1);
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
  EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE,
                                   "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
  m.journal.clear();
  EXPECT_EQ(RemoveUninstallEntry(), 1);  // nothing left to delete
  std::vector<std::string> notes = Calls({"SHChangeNotify"});
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "SHChangeNotify 0x1A, 0, null, null");
}

}  // namespace
