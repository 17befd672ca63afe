// The install root and the setup directory.
#include "common/install_root.h"

#include "test_support.h"

namespace {

class InstallRootTest : public test::MachineTest {
 protected:
  void SetUp() override { Boot(sim::Platform::WinXP()); }
  void SetPathBytes(DWORD type, const std::vector<BYTE>& bytes) {
    m.registry.SetValue(HKEY_LOCAL_MACHINE, test::kProductKey, "Path", type, bytes);
  }
};

TEST_F(InstallRootTest, DefaultsToCWhenKeyOrValueIsMissing) {
  EXPECT_EQ(InstallRoot(), "c:\\");
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, test::kProductKey);
  EXPECT_EQ(InstallRoot(), "c:\\");
  m.registry.SetString(HKEY_LOCAL_MACHINE, test::kProductKey, "Other", "D:\\");
  EXPECT_EQ(InstallRoot(), "c:\\");
}

TEST_F(InstallRootTest, ReadsThePathValueAfreshAtEveryCall) {
  SetInstallRoot("D:\\Programs\\");
  EXPECT_EQ(InstallRoot(), "D:\\Programs\\");
  SetInstallRoot("E:\\");
  EXPECT_EQ(InstallRoot(), "E:\\");
}

TEST_F(InstallRootTest, IgnoresTheValueTypeAndEndsAtTheFirstNul) {
  SetPathBytes(REG_EXPAND_SZ, test::Bytes("D:\\X\\", true));
  EXPECT_EQ(InstallRoot(), "D:\\X\\");
  SetPathBytes(REG_BINARY, test::Bytes("D:\\Y\\\0junk", false));
  EXPECT_EQ(InstallRoot(), "D:\\Y\\");
  SetPathBytes(REG_SZ, test::Bytes("D:\\Z\\", false));  // stored without its NUL
  EXPECT_EQ(InstallRoot(), "D:\\Z\\");
}

TEST_F(InstallRootTest, ValuesThatFillTheBufferAreTreatedAsAbsent) {
  SetInstallRoot(std::string(9998, 'a') + "\\");  // 10000 bytes with the NUL
  EXPECT_EQ(InstallRoot(), "c:\\");
  SetPathBytes(REG_SZ, std::vector<BYTE>(10000, 'b'));  // 10000 bytes, no NUL
  EXPECT_EQ(InstallRoot(), "c:\\");
  SetPathBytes(REG_SZ, std::vector<BYTE>(20000, 'c'));
  EXPECT_EQ(InstallRoot(), "c:\\");
  const std::string longest = std::string(9997, 'd') + "\\";  // 9999 bytes with the NUL
  SetInstallRoot(longest);
  EXPECT_EQ(InstallRoot(), longest);
}

TEST_F(InstallRootTest, AMissingBackslashIsAddedAndAnEmptyValueIsAbsent) {
  SetInstallRoot("C:\\Apps");
  EXPECT_EQ(InstallRoot(), "C:\\Apps\\");
  SetInstallRoot("");
  EXPECT_EQ(InstallRoot(), "c:\\");
  SetPathBytes(REG_SZ, {});
  EXPECT_EQ(InstallRoot(), "c:\\");
  SetInstallRoot("C:\\Program Files\\");
  EXPECT_EQ(InstallRoot(), "C:\\Program Files\\");
}

TEST_F(InstallRootTest, SetupDirectoryIsTheModuleFolderWithoutBackslash) {
  EXPECT_EQ(SetupDirectory(), "C:\\tavrin");
  m.module_path = "D:\\Program Files\\Tavrin Setup\\setup.exe";
  EXPECT_EQ(SetupDirectory(), "D:\\Program Files\\Tavrin Setup");
  m.module_path = "setup.exe";
  EXPECT_EQ(SetupDirectory(), "");
  m.module_path = "C:\\setup.exe";
  EXPECT_EQ(SetupDirectory(), "C:");
}

TEST_F(InstallRootTest, SetupDirectoryStaysInsideItsBufferForLongPaths) {
  // 600 characters: the module name comes back cut at the buffer.
  m.module_path = "C:\\" + std::string(300, 'x') + "\\" + std::string(296, 'y') + ".exe";
  EXPECT_EQ(SetupDirectory(), "C:\\" + std::string(300, 'x'));
  EXPECT_LE(SetupDirectory().size(), 512u);
}

}  // namespace
