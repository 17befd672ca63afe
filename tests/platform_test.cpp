// The platform flags, the Windows 2000 probe and the spooler restart.
#include "common/platform.h"
#include "common/platform_profile.h"

#include "common/spooler_restart.h"
#include "test_support.h"

namespace {

struct PlatformRow {
  sim::Platform platform;
  bool is_winnt, is_win4, win9x_case, win2000_or_later;
  const char* environment;
};

class PlatformTableTest : public test::MachineTest {};

TEST_F(PlatformTableTest, EveryPlatformGivesItsFlagsCaseAndProbe) {
  const PlatformRow rows[] = {
      {sim::Platform::Win95(), false, true, true, false, "Windows 4.0"},
      {sim::Platform::Win98(), false, true, true, false, "Windows 4.0"},
      {sim::Platform::WinMe(), false, true, true, false, "Windows 4.0"},
      {sim::Platform::NT4(false), true, true, false, false, "Windows NT x86"},
      {sim::Platform::NT4(true), true, true, false, false, "Windows NT x86"},
      {sim::Platform::Win2000(), true, true, false, true, "Windows NT x86"},
      {sim::Platform::WinXP(), true, true, false, true, "Windows NT x86"},
      // Top bit set and a major version below 4: both flags false, the NT case.
      {sim::Platform::FromVersion(0x80000003), false, false, false, false, "Windows NT x86"},
      // NT 3.51: NT, but not version 4.
      {sim::Platform::FromVersion(0x04210003), true, false, false, false, "Windows NT x86"},
      // 64-bit Windows, the program built for it.
      {sim::Platform::WinXPx64(), true, true, false, true, "Windows x64"},
      {sim::Platform::Win7x64(), true, true, false, true, "Windows x64"},
      {sim::Platform::Win10x64(), true, true, false, true, "Windows x64"},
  };
  for (const PlatformRow& row : rows) {
    Boot(row.platform);
    SCOPED_TRACE(row.platform.name);
    PlatformFlags flags = ReadPlatformFlags();
    EXPECT_EQ(flags.is_winnt, row.is_winnt);
    EXPECT_EQ(flags.is_win4, row.is_win4);
    EXPECT_EQ(flags.Win9xCase(), row.win9x_case);
    EXPECT_STREQ(ReadPlatformProfile(flags).environment, row.environment);
    EXPECT_EQ(IsWindows2000OrLater(), row.win2000_or_later);
    EXPECT_FALSE(RunningUnderWow64());
  }
}

TEST_F(PlatformTableTest, Windows2000ProbeFallsBackToThePlainRecordAndFailsSafe) {
  Boot(sim::Platform::Win2000());
  m.FailCall("GetVersionExA", ERROR_INSUFFICIENT_BUFFER, 1);
  EXPECT_TRUE(IsWindows2000OrLater());  // the second, 148-byte request answers
  m.FailCall("GetVersionExA", ERROR_INSUFFICIENT_BUFFER, 2);
  EXPECT_FALSE(IsWindows2000OrLater());  // neither answers: handled as NT 4.0
}

class SpoolerRestartTest : public test::MachineTest {
 protected:
  void SetUp() override { Boot(sim::Platform::WinXP()); }
  std::vector<std::string> ServiceCalls() const {
    return Calls({"ControlService", "StartServiceA", "QueryServiceStatus", "Sleep"});
  }
};

TEST_F(SpoolerRestartTest, StopsWaitsStartsWaits) {
  EXPECT_TRUE(RestartSpooler());
  EXPECT_TRUE(test::InOrder(ServiceCalls(), {"ControlService Spooler, 1", "Sleep 500",
                                             "StartServiceA Spooler", "Sleep 500"}));
  EXPECT_EQ(m.Sleeps(), (std::vector<DWORD>{500, 500}));
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(m.services.OpenHandles(), 0);
}

TEST_F(SpoolerRestartTest, ASlowStopIsAwaitedSoTheSpoolerRunsAgain) {
  m.services.SetSpoolerStopTime(2000);
  EXPECT_TRUE(RestartSpooler());
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  std::vector<DWORD> sleeps = m.Sleeps();
  ASSERT_GE(sleeps.size(), 3u);
  EXPECT_EQ(sleeps.front(), 500u);
  EXPECT_EQ(sleeps.back(), 500u);
  DWORD before_start = 0;
  for (size_t i = 0; i + 1 < sleeps.size(); ++i) before_start += sleeps[i];
  EXPECT_GE(before_start, 2000u);  // the stop had finished
  EXPECT_LT(before_start, 2500u);  // and no longer than needed
  EXPECT_TRUE(test::InOrder(ServiceCalls(), {"ControlService Spooler, 1",
                                             "QueryServiceStatus Spooler", "StartServiceA Spooler",
                                             "Sleep 500", "QueryServiceStatus Spooler -> 4"}));
}

TEST_F(SpoolerRestartTest, ASlowStartIsAwaitedSoTheSpoolerAnswersAfterwards) {
  m.services.SetSpoolerStartTime(1800);
  EXPECT_TRUE(RestartSpooler());
  EXPECT_TRUE(m.spooler.Running());
  DWORD total = 0;
  for (DWORD ms : m.Sleeps()) total += ms;
  EXPECT_GE(total, 500u + 1800u);
  EXPECT_LT(total, 500u + 1800u + 250u);
}

TEST_F(SpoolerRestartTest, AStopThatNeverEndsIsAwaitedAtMostThirtySeconds) {
  m.services.SetSpoolerStopTime(120000);
  EXPECT_FALSE(RestartSpooler());
  DWORD total = 0;
  for (DWORD ms : m.Sleeps()) total += ms;
  EXPECT_GE(total, 30000u);
  EXPECT_LE(total, 30000u + 500u);
}

TEST_F(SpoolerRestartTest, WithoutTheRightToWatchTheSpoolerTheFixedWaitsRemain) {
  m.services.SetSpoolerStopTime(100);
  // Stop and start are allowed, the status query and the dependents' list
  // are not.
  m.FailCall("OpenServiceA", ERROR_ACCESS_DENIED, 1);
  EXPECT_TRUE(RestartSpooler());
  EXPECT_EQ(m.Sleeps(), (std::vector<DWORD>{500, 500}));
  EXPECT_TRUE(Calls({"QueryServiceStatus", "EnumDependentServicesA"}).empty());
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(m.services.OpenHandles(), 0);
}

TEST_F(SpoolerRestartTest, WithoutRightsEveryStepFailsQuietly) {
  m.administrator = false;
  EXPECT_FALSE(RestartSpooler());
  EXPECT_EQ(m.Sleeps(), (std::vector<DWORD>{500, 500}));
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(m.message_boxes.empty());
  EXPECT_FALSE(m.files.Exists(test::kLogPath));
}

TEST_F(SpoolerRestartTest, AStoppedSpoolerIsStarted) {
  m.services.StopSpooler();
  EXPECT_TRUE(RestartSpooler());
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(SpoolerRestartTest, DependentsStopFirstAndStartAgainInReverseOrder) {
  m.services.AddDependent("Fax");
  m.services.AddDependent("FaxHelper", "Fax");
  m.services.AddDependent("Idle", "Spooler", false);
  m.services.SetStopTime("Fax", 700);
  m.services.SetStartTime("Spooler", 600);
  EXPECT_TRUE(RestartSpooler());
  EXPECT_EQ(Calls({"ControlService", "StartServiceA"}),
            (std::vector<std::string>{"ControlService FaxHelper, 1", "ControlService Fax, 1",
                                      "ControlService Spooler, 1", "StartServiceA Spooler",
                                      "StartServiceA Fax", "StartServiceA FaxHelper"}));
  // Fax was awaited until it had stopped, the spooler until it ran.
  EXPECT_TRUE(test::InOrder(ServiceCalls(),
                            {"ControlService Fax, 1", "QueryServiceStatus Fax -> 3", "Sleep 250",
                             "QueryServiceStatus Fax -> 1", "ControlService Spooler, 1",
                             "StartServiceA Spooler", "Sleep 500", "QueryServiceStatus Spooler -> 2",
                             "Sleep 250", "QueryServiceStatus Spooler -> 4", "StartServiceA Fax"}));
  for (const char* name : {"Spooler", "Fax", "FaxHelper"})
    EXPECT_EQ(m.services.StateOf(name), static_cast<DWORD>(SERVICE_RUNNING)) << name;
  EXPECT_EQ(m.services.StateOf("Idle"), static_cast<DWORD>(SERVICE_STOPPED)) << "not started";
  EXPECT_TRUE(LogMessages().empty());
  EXPECT_EQ(m.services.OpenHandles(), 0);
}

TEST_F(SpoolerRestartTest, ADependentThatWillNotStopLeavesEveryServiceRunning) {
  m.services.AddDependent("Fax");
  m.services.AddDependent("Telemetry");  // stopped first, the last one started
  m.services.SetAcceptsStop("Fax", false);
  m.spooler.InstallMonitor("TAVRIN Monitor", "tavmon.dll");
  EXPECT_FALSE(RestartSpooler());
  EXPECT_EQ(Calls({"ControlService", "StartServiceA"}),
            (std::vector<std::string>{"ControlService Telemetry, 1", "ControlService Fax, 1 -> 1052",
                                      "StartServiceA Telemetry"}));
  for (const char* name : {"Spooler", "Fax", "Telemetry"})
    EXPECT_EQ(m.services.StateOf(name), static_cast<DWORD>(SERVICE_RUNNING)) << name;
  EXPECT_TRUE(m.files.IsLoaded(m.platform().system_dir + "\\tavmon.dll"));
  EXPECT_EQ(LogMessages(), std::vector<std::string>{
                               "Spooler not restarted, dependent service Fax did not stop: 1052"});

  // One that takes longer than 30 s to stop counts as refusing.
  m.journal.clear();
  m.files.Put(test::kLogPath, "");
  m.services.SetAcceptsStop("Fax", true);
  m.services.SetStopTime("Fax", 45000);
  EXPECT_FALSE(RestartSpooler());
  EXPECT_EQ(LogMessages(), std::vector<std::string>{
                               "Spooler not restarted, dependent service Fax did not stop: 1053"});
  EXPECT_TRUE(Calls({"ControlService Spooler"}).empty());
}

TEST_F(SpoolerRestartTest, ADependentThatWillNotStartAgainIsLogged) {
  m.services.AddDependent("Fax");
  m.services.SetDisabled("Fax", true);
  EXPECT_TRUE(RestartSpooler());
  EXPECT_TRUE(m.spooler.Running());
  EXPECT_EQ(m.services.StateOf("Fax"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(LogMessages(),
            std::vector<std::string>{"Dependent service Fax not started again: 1058"});
}

TEST_F(SpoolerRestartTest, Windows9xHasNoServiceManager) {
  Boot(sim::Platform::Win98());
  EXPECT_FALSE(RestartSpooler());
  EXPECT_TRUE(m.spooler.Running());
}

}  // namespace
