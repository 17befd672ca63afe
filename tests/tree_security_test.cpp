// The setup folder's tree after an install: administrators' alone on the NT
// family, untouched on Windows 9x and on a volume without ACLs, and a
// refused DACL logged without ending the install.
#include "test_support.h"

namespace {

constexpr char kFolder[] = "C:\\tavrin";
constexpr char kConverter[] = "C:\\tavrin\\res\\convert\\gswin32c.exe";
constexpr DWORD kFull = 0x1F01FF;
constexpr DWORD kReadExecute = 0x1200A9;
constexpr BYTE kToChildren = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// "sid mask flags" of each entry, in order.
std::vector<std::string> Entries(const std::optional<sim::Dacl>& dacl) {
  std::vector<std::string> out;
  if (!dacl) return out;
  for (const sim::AceEntry& e : dacl->entries)
    out.push_back(e.sid + " " + std::to_string(e.mask) + " " + std::to_string(e.flags));
  return out;
}

std::vector<std::string> Expected(BYTE flags) {
  const std::string f = " " + std::to_string(flags);
  return {"S-1-5-18 " + std::to_string(kFull) + f, "S-1-5-32-544 " + std::to_string(kFull) + f,
          "S-1-5-32-545 " + std::to_string(kReadExecute) + f};
}

class TreeSecurityTest : public test::MachineTest,
                         public ::testing::WithParamInterface<sim::Platform> {};

TEST_P(TreeSecurityTest, SetupFolderAndItsFilesBelongToAdministrators) {
  Boot(GetParam());
  StageProduct();
  RunSetup();
  const bool nt4 = m.platform().driver_version == 2;

  auto folder = m.files.DaclOf(kFolder);
  ASSERT_TRUE(folder);
  // NT 4.0 has no protected DACLs.
  EXPECT_EQ(folder->is_protected, !nt4);
  EXPECT_EQ(Entries(folder), Expected(kToChildren));
  // Windows 2000 and later pass the entries on; NT 4.0's walk sets them.
  EXPECT_EQ(Entries(m.files.DaclOf("C:\\tavrin\\res\\convert")),
            Expected(nt4 ? kToChildren : kToChildren | INHERITED_ACE));
  EXPECT_EQ(Entries(m.files.DaclOf(kConverter)), Expected(nt4 ? kToChildren : INHERITED_ACE));
  EXPECT_EQ(Entries(m.files.DaclOf("C:\\tavrin\\res\\pdfwrite.rsp")),
            Expected(nt4 ? kToChildren : INHERITED_ACE));
  // Nothing outside the setup folder.
  EXPECT_FALSE(m.files.DaclOf(m.platform().system_dir + "\\tavmon.dll"));
  EXPECT_FALSE(m.files.DaclOf("C:\\TEMP"));
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_EQ(m.files.OpenHandles(), 0);

  // The uninstall leaves it.
  m.answers.push_back(IDYES);
  RunSetup("uninstall");
  EXPECT_TRUE(m.files.DaclOf(kFolder));
}

INSTANTIATE_TEST_SUITE_P(Nt, TreeSecurityTest,
                         ::testing::Values(sim::Platform::NT4(), sim::Platform::Win2000(),
                                           sim::Platform::WinXP(), sim::Platform::Win10x64()),
                         test::PlatformTestName);

TEST_F(TreeSecurityTest, Windows98LeavesTheTreeAlone) {
  Boot(sim::Platform::Win98());
  StageProduct();
  InstallApplePostScriptDriver();
  RunSetup();
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_FALSE(m.files.DaclOf(kFolder));
  EXPECT_FALSE(m.files.DaclOf(kConverter));
}

// A tree the setup cannot secure: a volume without ACLs is skipped with one
// line, a refused DACL is logged (on NT 4.0 the folder refused is not
// walked), and the install goes on.
TEST_F(TreeSecurityTest, UnsecuredTreeIsLoggedAndTheInstallGoesOn) {
  struct Case {
    sim::Platform platform;
    bool no_acls;  // else SetNamedSecurityInfoA refuses
    const char* line;
  };
  const Case cases[] = {
      {sim::Platform::WinXP(), true, "Security not set: C:\\tavrin is on a volume without ACLs"},
      {sim::Platform::WinXP(), false, "SetNamedSecurityInfo C:\\tavrin: 5"},
      {sim::Platform::NT4(), false, "SetNamedSecurityInfo C:\\tavrin: 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.platform.name + (c.no_acls ? ", no ACLs" : ", refused"));
    Boot(c.platform);
    if (c.no_acls)
      m.files.SetNoAcls("C:");
    else
      m.FailCall("SetNamedSecurityInfoA", ERROR_ACCESS_DENIED);
    StageProduct();
    RunSetup();
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                                 "is_winnt = TRUE", "is_win4 = TRUE",
                                 "Printer Driver Directory: " + m.platform().driver_dir, c.line}));
    EXPECT_FALSE(m.files.DaclOf(kFolder));
    EXPECT_FALSE(m.files.DaclOf(kConverter));
    EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
    EXPECT_TRUE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry));
  }
}

// NT 4.0's walk sets every entry below, but does not follow a link to a
// folder outside the tree.
TEST_F(TreeSecurityTest, Nt4WalkStaysInsideTheTree) {
  Boot(sim::Platform::NT4());
  StageProduct();
  m.files.Put("C:\\TEMP\\other.txt", "not ours");
  m.files.MakeLink("C:\\tavrin\\res\\temp", "C:\\TEMP");
  m.files.Put("C:\\tavrin\\res\\a\\b\\c\\deep.txt", "ours");
  RunSetup();
  EXPECT_EQ(Entries(m.files.DaclOf("C:\\tavrin\\res\\a\\b\\c\\deep.txt")), Expected(kToChildren));
  EXPECT_EQ(Entries(m.files.DaclOf("C:\\tavrin\\res\\a\\b")), Expected(kToChildren));
  EXPECT_FALSE(m.files.DaclOf("C:\\TEMP\\other.txt"));
  EXPECT_FALSE(m.files.DaclOf("C:\\TEMP"));
  EXPECT_EQ(m.files.OpenHandles(), 0);
}

}  // namespace
