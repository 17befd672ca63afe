// The completion phase: the quiet setting and the editor's version.
#include "install/editor_version.h"
#include "test_support.h"

namespace {

constexpr char kOldEditor[] =
    "Setup has detected you have an old version of Ostrel that is incompatible with the latest "
    "version of tavrin. The latest version of Ostrel is available free at "
    "http://www.tavrin.com/. Please upgrade.";
constexpr char kEditorReadme[] = "c:\\tavrin\\res\\utilities\\readme.html";

class CompletionTest : public test::MachineTest {
 protected:
  void SetUp() override {
    Boot(sim::Platform::WinXP());
    StageProduct();
  }
  std::string Quiet() const {
    char value[16] = {0};
    GetPrivateProfileStringA("Parameters", "Quiet", "<absent>", value, sizeof(value),
                             test::kIniPath);
    return value;
  }
};

TEST_F(CompletionTest, QuietSuppressesTheReadmeOnceAndIsReset) {
  struct Case {
    const char* ini;
    bool opened;
  };
  const Case cases[] = {
      {"[Parameters]\r\n", true},          {"[Parameters]\r\nQuiet=0\r\n", true},
      {"[Parameters]\r\nQuiet=1\r\n", false},  {"[Parameters]\r\nQuiet=-1\r\n", false},
      {"[Parameters]\r\nQuiet=2abc\r\n", false}, {"[Parameters]\r\nQuiet=yes\r\n", true},
      {"[Parameters]\r\nQuiet=  7\r\n", false}, {"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    m.files.Put(test::kIniPath, c.ini);
    m.processes.clear();
    RunSetup();
    EXPECT_EQ(m.processes.size(), c.opened ? 1u : 0u);
    EXPECT_EQ(Quiet(), "0");
  }
  m.files.Remove(test::kIniPath);  // no settings file at all
  m.processes.clear();
  RunSetup();
  EXPECT_EQ(m.processes.size(), 1u);
  EXPECT_EQ(Quiet(), "0");
}

TEST_F(CompletionTest, EditorVersionBelowTheSinglePrecisionThresholdWarns) {
  struct Case {
    const char* readme;
    bool warns;
  };
  const Case cases[] = {
      {"This is version 4.2 of Ostrel", false},
      {"this is version 4.19", true},
      {"this is version 4.1", true},
      {"this is version 4.1999999", false},  // above 4.19999980926513671875
      {"this is version 4.1999997", true},   // below it
      {"this is version 5.0", false},
      {"<b>THIS IS Version 4.1</b>", true},
      {"this is version beta", true},  // no number reads as 0.0
      {"this is version", false},      // the phrase needs its blank
      {"no phrase at all", false},
      {"", false},
      {"this is version 5.0, this is version 1.0", false},  // only the first counts
      {"this is version    4.3", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.readme);
    m.files.Put(kEditorReadme, c.readme);
    m.message_boxes.clear();
    CheckEditorVersion(4.2f);
    EXPECT_EQ(BoxTexts(), c.warns ? std::vector<std::string>{kOldEditor} : std::vector<std::string>{});
  }
  m.files.Remove(kEditorReadme);
  m.message_boxes.clear();
  CheckEditorVersion(4.2f);
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_EQ(m.files.OpenHandles(), 0);
}

TEST_F(CompletionTest, AnOldEditorIsReportedAtTheEndOfTheInstall) {
  m.files.Put(kEditorReadme, "Ostrel: this is version 3.5");
  RunSetup();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kOldEditor});
  EXPECT_TRUE(test::InOrder(Calls({"CreateProcessA", "WritePrivateProfileStringA", "MessageBoxA"}),
                            {"CreateProcessA", "WritePrivateProfileStringA", "MessageBoxA"}));
}

TEST(LeadingDecimal, ReadsTheNumberAtTheStartAsAtofDoes) {
  EXPECT_DOUBLE_EQ(LeadingDecimal("4.2 and more"), 4.2);
  EXPECT_DOUBLE_EQ(LeadingDecimal("  -1.5e1x"), -15.0);
  EXPECT_DOUBLE_EQ(LeadingDecimal(".5"), 0.5);
  EXPECT_DOUBLE_EQ(LeadingDecimal("5."), 5.0);
  EXPECT_DOUBLE_EQ(LeadingDecimal("7e"), 7.0);
  EXPECT_DOUBLE_EQ(LeadingDecimal("x4"), 0.0);
  EXPECT_DOUBLE_EQ(LeadingDecimal("0x10"), 0.0);
  EXPECT_DOUBLE_EQ(LeadingDecimal("inf"), 0.0);
  EXPECT_DOUBLE_EQ(LeadingDecimal(""), 0.0);
}

}  // namespace
