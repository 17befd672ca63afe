// The setup log: line format, appending, lost lines, and the console trace.
#include "common/setup_log.h"

#include "test_support.h"

namespace {

class SetupLogTest : public test::MachineTest {
 protected:
  void SetUp() override { Boot(sim::Platform::Win2000()); }
  std::string Log() const { return m.files.Get(test::kLogPath).value_or("<none>"); }
};

TEST_F(SetupLogTest, LineIsTimestampMessageAndCrLf) {
  m.SetLocalTime(2002, 12, 3, 21, 35, 59);
  LogLine("AddMonitor: 3006");
  EXPECT_EQ(Log(), "12-03-02: 21:35AddMonitor: 3006\r\n");
}

TEST_F(SetupLogTest, TimestampHasTwoDigitFieldsAndNoSeconds) {
  m.SetLocalTime(2102, 1, 9, 7, 5, 0);  // a year ending in 02, whatever its century
  LogLine("a");
  m.SetLocalTime(1999, 10, 31, 0, 0, 1);
  LogLine("b");
  Sleep(58 * 1000);  // still the same minute
  LogLine("c");
  EXPECT_EQ(Log(), "01-09-02: 07:05a\r\n10-31-99: 00:00b\r\n10-31-99: 00:00c\r\n");
}

TEST_F(SetupLogTest, AppendsToExistingContentEvenWithoutFinalNewline) {
  m.files.Put(test::kLogPath, "old line\r\nunfinished");
  LogLine("new");
  EXPECT_EQ(Log(), "old line\r\nunfinished12-03-02: 21:35new\r\n");
}

TEST_F(SetupLogTest, LinesAreLostWhenTheFolderIsMissingOrTheFileLocked) {
  m.files.Put(test::kLogPath, "");
  m.files.SetInUse(test::kLogPath, true);
  LogLine("lost while locked");
  m.files.SetInUse(test::kLogPath, false);
  LogLine("written");
  EXPECT_EQ(Log(), "12-03-02: 21:35written\r\n");
  EXPECT_EQ(m.files.OpenHandles(), 0);

  m.Reset(sim::Platform::Win2000());  // no drivedir folder at all
  LogLine("nowhere");
  EXPECT_FALSE(m.files.Exists(test::kLogPath));
  EXPECT_FALSE(m.files.DirectoryExists("c:\\tavrin\\res\\drivedir"));
  EXPECT_TRUE(m.message_boxes.empty());
}

TEST_F(SetupLogTest, AWriteFailureDropsTheLineAndClosesTheFile) {
  m.files.Put(test::kLogPath, "x\r\n");
  m.files.FailWrites(test::kLogPath, ERROR_DISK_FULL, 0);
  LogLine("dropped");
  EXPECT_EQ(Log(), "x\r\n");
  EXPECT_EQ(m.files.OpenHandles(), 0);
}

TEST_F(SetupLogTest, LogFollowsTheInstallRoot) {
  m.files.MakeDirectory("D:\\Apps\\tavrin\\res\\drivedir");
  SetInstallRoot("D:\\Apps\\");
  LogLine("here");
  EXPECT_EQ(LogMessages("D:\\Apps\\tavrin\\res\\drivedir\\setup.log"),
            std::vector<std::string>{"here"});
  EXPECT_FALSE(m.files.Exists(test::kLogPath));
}

TEST_F(SetupLogTest, LoggingKeepsTheCallersLastError) {
  m.files.Put(test::kLogPath, "");  // an existing file: opening it sets 183
  SetLastError(1722);
  LogError("AddPrinterDriver", 1722);
  EXPECT_EQ(GetLastError(), 1722u);
  ConsoleTrace("Adding printer\n\n");
  EXPECT_EQ(GetLastError(), 1722u);
  EXPECT_EQ(LogMessages(), std::vector<std::string>{"AddPrinterDriver: 1722"});
}

TEST_F(SetupLogTest, ErrorCodesAreUnsignedDecimal) {
  LogError("AddMonitor", 0xFFFFFFFFu);
  EXPECT_EQ(LogMessages(), std::vector<std::string>{"AddMonitor: 4294967295"});
}

TEST_F(SetupLogTest, ConsoleTraceGoesToStandardOutputOnly) {
  ConsoleTrace("Initializing Spooler\n\n");
  ConsoleTrace("Adding printer\n\n");
  EXPECT_EQ(m.console, "Initializing Spooler\n\nAdding printer\n\n");
  EXPECT_FALSE(m.files.Exists(test::kLogPath));
}

}  // namespace
