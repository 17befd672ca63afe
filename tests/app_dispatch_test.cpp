// The process entry: the argument-text rule, the exact keyword, the
// confirmation and the hidden child start.
#include <algorithm>

#include "app/argument_text.h"
#include "test_support.h"

namespace {

using test::MachineTest;

TEST(ArgumentText, SkipsTheProgramNameAndTheBlanksAfterIt) {
  EXPECT_EQ(ArgumentText("setup.exe"), "");
  EXPECT_EQ(ArgumentText("setup.exe uninstall"), "uninstall");
  EXPECT_EQ(ArgumentText("setup.exe     uninstall"), "uninstall");
  EXPECT_EQ(ArgumentText("setup.exe\t \x01uninstall"), "uninstall");
  // Quoted program names end at the closing quote, blanks and all.
  EXPECT_EQ(ArgumentText("\"C:\\Program Files\\tavrin\\setup.exe\" uninstall"), "uninstall");
  EXPECT_EQ(ArgumentText("\"C:\\Program Files\\tavrin\\setup.exe\"uninstall"), "uninstall");
  // An unclosed quote swallows the rest of the line.
  EXPECT_EQ(ArgumentText("\"C:\\tavrin\\setup.exe uninstall"), "");
  // Characters up to 0x20 end an unquoted name: a tab or a control code.
  EXPECT_EQ(ArgumentText("setup.exe\x1funinstall"), "uninstall");
  EXPECT_EQ(ArgumentText(""), "");
  EXPECT_EQ(ArgumentText(nullptr), "");
}

TEST(ArgumentText, KeepsTrailingBlanksAndInnerQuotes) {
  EXPECT_EQ(ArgumentText("setup.exe uninstall "), "uninstall ");
  EXPECT_EQ(ArgumentText("setup.exe notepad \"a b.txt\"  "), "notepad \"a b.txt\"  ");
  // Bytes above 0x7F are part of a name, not blanks.
  EXPECT_EQ(ArgumentText("setup.exe\xA0x y"), "y");
  EXPECT_EQ(ArgumentText("set\xE9.exe x"), "x");
}

class DispatchTest : public MachineTest {
 protected:
  void SetUp() override { Boot(sim::Platform::WinXP()); }

  // A product monitor and port, as an install leaves them.
  void RegisterProductMonitor() {
    m.files.Put(m.platform().system_dir + "\\tavmon.dll", "MZ monitor");
    m.spooler.InstallMonitor("TAVRIN Monitor", "tavmon.dll");
    m.registry.CreateKey(HKEY_LOCAL_MACHINE,
                         "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\TAVRIN "
                         "Monitor\\Ports\\TAVRINPORT");
    m.journal.clear();
  }
};

TEST_F(DispatchTest, NoArgumentsRunsTheInstallWithoutAskingAndEndsWithZero) {
  EXPECT_EQ(RunSetup(), 0);
  EXPECT_TRUE(m.processes.empty());
  for (const sim::MessageBoxRecord& box : m.message_boxes)
    EXPECT_NE(box.text, "Are your sure you want to uninstall tavrin?");
}

TEST_F(DispatchTest, UninstallAsksWithYesNoCaptionedWithTheExecutableName) {
  RegisterProductMonitor();
  m.answers.push_back(IDNO);
  EXPECT_EQ(RunSetup("uninstall"), 0);
  ASSERT_EQ(m.message_boxes.size(), 1u);
  EXPECT_EQ(m.message_boxes[0].text, "Are your sure you want to uninstall tavrin?");
  EXPECT_EQ(m.message_boxes[0].caption, "setup");
  EXPECT_EQ(m.message_boxes[0].type, static_cast<UINT>(MB_YESNO));
  // No: nothing is touched.
  EXPECT_TRUE(m.spooler.HasMonitor("TAVRIN Monitor"));
  EXPECT_TRUE(Calls({"DeleteMonitorA", "DeletePrinterDriverA", "ControlService"}).empty());
  EXPECT_TRUE(m.processes.empty());
}

TEST_F(DispatchTest, CaptionFollowsTheExecutableFileName) {
  m.module_path = "D:\\Downloads\\TavSetup.EXE";
  m.answers.push_back(IDNO);
  RunSetup("uninstall");
  ASSERT_EQ(m.message_boxes.size(), 1u);
  EXPECT_EQ(m.message_boxes[0].caption, "TavSetup");
}

TEST_F(DispatchTest, UninstallAnsweredYesRemovesWithClosingMessage) {
  RegisterProductMonitor();
  m.answers.push_back(IDYES);
  RunSetup("uninstall");
  EXPECT_FALSE(m.spooler.HasMonitor("TAVRIN Monitor"));
  ASSERT_EQ(m.message_boxes.size(), 2u);
  EXPECT_EQ(m.message_boxes[1].text,
            "Please uninstall Ostrel if it is on your system and then delete c:\\tavrin and its "
            "contents from your computer to fully uninstall tavrin.");
}

TEST_F(DispatchTest, AnythingButTheExactKeywordStartsAHiddenChild) {
  RegisterProductMonitor();
  for (const char* text : {"UNINSTALL", "Uninstall", "uninstall ", "uninstall now"}) {
    m.processes.clear();
    RunSetup(text);
    EXPECT_TRUE(m.message_boxes.empty()) << text;
    ASSERT_EQ(m.processes.size(), 1u) << text;
    EXPECT_EQ(m.processes[0].command_line, text);
    // Such a command names no program, so the start fails, unnoticed.
    EXPECT_FALSE(m.processes[0].started) << text;
  }
  EXPECT_TRUE(m.spooler.HasMonitor("TAVRIN Monitor"));
}

TEST_F(DispatchTest, HiddenChildGetsNewGroupHiddenWindowAndOwnEnvironment) {
  m.environment = {"PATH=C:\\WINDOWS;C:\\WINDOWS\\system32", "TAVRIN_TEST=1"};
  RunSetup("rundll32.exe url.dll,FileProtocolHandler c:\\a b.html");
  ASSERT_EQ(m.processes.size(), 1u);
  const sim::ProcessRecord& p = m.processes[0];
  EXPECT_TRUE(p.started);
  EXPECT_FALSE(p.has_application_name);
  EXPECT_EQ(p.command_line, "rundll32.exe url.dll,FileProtocolHandler c:\\a b.html");
  EXPECT_FALSE(p.process_attributes);
  EXPECT_FALSE(p.thread_attributes);
  EXPECT_EQ(p.inherit_handles, FALSE);
  EXPECT_EQ(p.creation_flags, 0x200u);
  EXPECT_TRUE(p.environment_passed);
  EXPECT_EQ(p.environment, m.environment);
  EXPECT_FALSE(p.has_current_directory);

  // The full record (68 bytes on Win32) with only the show state enabled.
  const STARTUPINFOA& si = p.startup;
  EXPECT_EQ(si.cb, sizeof(STARTUPINFOA));
  EXPECT_EQ(si.dwFlags, static_cast<DWORD>(STARTF_USESHOWWINDOW));
  EXPECT_EQ(si.wShowWindow, SW_HIDE);
  EXPECT_EQ(si.lpReserved, nullptr);
  EXPECT_EQ(si.lpDesktop, nullptr);
  EXPECT_EQ(si.lpTitle, nullptr);
  EXPECT_EQ(si.dwX | si.dwY | si.dwXSize | si.dwYSize | si.dwXCountChars | si.dwYCountChars |
                si.dwFillAttribute,
            0u);
  EXPECT_EQ(si.cbReserved2, 0);
  EXPECT_EQ(si.lpReserved2, nullptr);
  EXPECT_EQ(si.hStdInput, nullptr);
  EXPECT_EQ(si.hStdOutput, nullptr);
  EXPECT_EQ(si.hStdError, nullptr);
}

// The package's own arguments: the install and a silent uninstall, nothing
// asked or shown, the outcome in the exit code.
class PackageDispatchTest : public MachineTest {
 protected:
  void SetUp() override {
    Boot(sim::Platform::WinXP());
    StageProduct();
    m.files.Put(test::kIniPath, "[Parameters]\r\nUninstall=\r\nQuiet=1\r\n");
  }
  bool HasPrinter() { return m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kPrinterKey); }
  bool HasEntry() { return m.registry.KeyExists(HKEY_LOCAL_MACHINE, test::kUninstallEntry); }
};

TEST_F(PackageDispatchTest, InstallAsksNothingLeavesThePrinterAndNoEntryOfItsOwn) {
  EXPECT_EQ(RunSetup("/package"), 0);
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_TRUE(HasPrinter());
  EXPECT_TRUE(m.spooler.HasMonitor("TAVRIN Monitor"));
  // Windows Installer keeps the product's one Add/Remove Programs entry.
  EXPECT_FALSE(HasEntry());
  // The completion steps still reset the one-shot "Quiet".
  EXPECT_NE(m.files.Get(test::kIniPath)->find("Quiet=0"), std::string::npos);
}

// An install that fails (here: no rights to add the monitor) leaves no
// printer: the package learns it from the exit code, the administrator from
// the log. The box it would show would hold a silent install for ever: its
// text goes to the log instead. A person's run still shows it.
TEST_F(PackageDispatchTest, FailedInstallLogsItsMessageAndReasonWithoutABox) {
  m.FailCall("AddMonitorA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(RunSetup("/package"), 1);
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_FALSE(HasPrinter());
  const std::vector<std::string> log = LogMessages();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Package install failed: no printer TAVRIN after the setup");
  const std::string prefix = "Message not shown (package run): ";
  const auto shown = std::find_if(log.begin(), log.end(), [&](const std::string& line) {
    return line.rfind(prefix, 0) == 0;
  });
  ASSERT_NE(shown, log.end());
  m.FailCall("AddMonitorA", ERROR_ACCESS_DENIED);
  RunSetup();
  ASSERT_EQ(m.message_boxes.size(), 1u);
  EXPECT_EQ(shown->substr(prefix.size()), m.message_boxes[0].text);
}

TEST_F(PackageDispatchTest, UninstallAsksNothingAndRemovesAll) {
  ASSERT_EQ(RunSetup("/package"), 0);
  m.message_boxes.clear();
  EXPECT_EQ(RunSetup("/package-uninstall"), 0);
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_FALSE(HasPrinter());
  EXPECT_FALSE(m.spooler.HasMonitor("TAVRIN Monitor"));
  EXPECT_FALSE(HasEntry());
  // A person's "uninstall" is untouched: it still asks first.
  ASSERT_EQ(RunSetup(), 0);
  m.message_boxes.clear();
  RunSetup("uninstall");
  ASSERT_FALSE(m.message_boxes.empty());
  EXPECT_EQ(m.message_boxes[0].type, static_cast<UINT>(MB_YESNO));
}

TEST_F(PackageDispatchTest, WrongEditionRefusesWithoutABoxAndFails) {
  Boot(sim::Platform::Win10x64());
  StageProduct();
  m.wow64 = true;
  for (const char* argument : {"/package", "/package-uninstall"}) {
    m.files.Put(test::kLogPath, "");
    EXPECT_EQ(RunSetup(argument), 1) << argument;
    EXPECT_TRUE(m.message_boxes.empty()) << argument;
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"This setup is for 32-bit Windows. "
                                                      "Please run the 64-bit setup of tavrin."});
  }
  EXPECT_FALSE(HasPrinter());
}

}  // namespace
