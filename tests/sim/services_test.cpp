// The simulated service control manager and the service "Spooler": access
// rights, and stop and start requests that take virtual time.
#include <gtest/gtest.h>

#include "common/win32.h"
#include "sim/machine.h"

namespace {

DWORD Outcome(BOOL ok) { return ok ? 0 : GetLastError(); }

class ServicesTest : public ::testing::Test {
 protected:
  sim::Machine& m = sim::M();

  // Boots Windows XP with a monitor whose library the spooler has loaded.
  void SetUp() override {
    m.Reset(sim::Platform::WinXP());
    m.spooler.InstallMonitor("TAVRIN Monitor", "tavmon.dll");
    library_ = m.platform().system_dir + "\\tavmon.dll";
    manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager_, nullptr);
    spooler_ =
        OpenServiceA(manager_, "Spooler", SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    ASSERT_NE(spooler_, nullptr);
  }
  void TearDown() override {
    if (spooler_) CloseServiceHandle(spooler_);
    if (manager_) CloseServiceHandle(manager_);
  }

  DWORD Stop() {
    SERVICE_STATUS status{};
    return Outcome(ControlService(spooler_, SERVICE_CONTROL_STOP, &status));
  }
  DWORD Start() { return Outcome(StartServiceA(spooler_, 0, nullptr)); }
  DWORD Query() {
    SERVICE_STATUS status{};
    EXPECT_TRUE(QueryServiceStatus(spooler_, &status));
    return status.dwCurrentState;
  }

  std::string library_;
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE spooler_ = nullptr;
};

TEST_F(ServicesTest, QuickStopAndStartCycleUnloadsAndReloadsMonitors) {
  SERVICE_STATUS status{};
  ASSERT_TRUE(ControlService(spooler_, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_FALSE(m.spooler.Running());
  EXPECT_FALSE(m.files.IsLoaded(library_));

  status = SERVICE_STATUS{};
  EXPECT_EQ(Outcome(ControlService(spooler_, SERVICE_CONTROL_STOP, &status)),
            static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "status still filled";

  EXPECT_EQ(Start(), 0u);
  EXPECT_EQ(Query(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(m.files.IsLoaded(library_));
  EXPECT_EQ(Start(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
  EXPECT_EQ(m.journal, (std::vector<std::string>{
                           "ControlService Spooler, 1", "ControlService Spooler, 1 -> 1062",
                           "StartServiceA Spooler", "QueryServiceStatus Spooler -> 4",
                           "StartServiceA Spooler -> 1056"}));
}

TEST_F(ServicesTest, SlowStopRefusesTheStartUntilTheClockPassesTheStopTime) {
  m.services.SetSpoolerStopTime(2000);
  SERVICE_STATUS status{};
  ASSERT_TRUE(ControlService(spooler_, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_EQ(Stop(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));

  m.now_ms += 500;
  EXPECT_EQ(Start(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
  EXPECT_TRUE(m.files.IsLoaded(library_)) << "the spooler process has not ended yet";
  m.now_ms += 1499;
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_STOP_PENDING));
  m.now_ms += 1;
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_FALSE(m.files.IsLoaded(library_));
  EXPECT_EQ(Start(), 0u);
  EXPECT_TRUE(m.spooler.Running());
}

TEST_F(ServicesTest, SlowStartKeepsTheSpoolerUnreachableUntilRunning) {
  m.services.SetSpoolerStartTime(1000);
  ASSERT_EQ(Stop(), 0u);
  ASSERT_EQ(Start(), 0u);
  EXPECT_EQ(Query(), static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(Stop(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
  EXPECT_EQ(Start(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
  DWORD needed = 0, returned = 0;
  EXPECT_EQ(Outcome(EnumPortsA(nullptr, 1, nullptr, 0, &needed, &returned)),
            static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
  EXPECT_FALSE(m.files.IsLoaded(library_));
  m.now_ms += 1000;
  EXPECT_EQ(Query(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(m.files.IsLoaded(library_));
}

TEST_F(ServicesTest, EachCallNeedsItsRightOnTheHandle) {
  // Stop and start rights alone: the status query is refused.
  SC_HANDLE control = OpenServiceA(manager_, "Spooler", SERVICE_START | SERVICE_STOP);
  ASSERT_NE(control, nullptr);
  SERVICE_STATUS status{};
  EXPECT_EQ(Outcome(QueryServiceStatus(control, &status)), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(m.journal.back(), "QueryServiceStatus Spooler -> 5");

  SC_HANDLE query = OpenServiceA(manager_, "spooler", SERVICE_QUERY_STATUS);
  ASSERT_NE(query, nullptr);
  EXPECT_EQ(Outcome(ControlService(query, SERVICE_CONTROL_STOP, &status)),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Outcome(StartServiceA(query, 0, nullptr)), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(m.spooler.Running());

  EXPECT_EQ(OpenServiceA(manager_, "Fax", SERVICE_QUERY_STATUS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(m.services.OpenHandles(), 4);
  EXPECT_TRUE(CloseServiceHandle(control));
  EXPECT_TRUE(CloseServiceHandle(query));
  EXPECT_EQ(Outcome(CloseServiceHandle(query)), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(m.services.OpenHandles(), 2);
}

TEST_F(ServicesTest, UserWithoutAdministrativeRightsMayOnlyLook) {
  m.administrator = false;
  EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(OpenServiceA(manager, "Spooler", SERVICE_START | SERVICE_STOP), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SC_HANDLE query = OpenServiceA(manager, "Spooler", SERVICE_QUERY_STATUS);
  ASSERT_NE(query, nullptr);
  CloseServiceHandle(query);
  CloseServiceHandle(manager);

  // What a restart then does with the null handles it got.
  SERVICE_STATUS status{};
  EXPECT_EQ(Outcome(ControlService(nullptr, SERVICE_CONTROL_STOP, &status)),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(Outcome(StartServiceA(nullptr, 0, nullptr)), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(m.journal.back(), "StartServiceA NULL -> 6");
}

TEST_F(ServicesTest, AdministratorStopAndRebootBringTheSpoolerBack) {
  m.services.StopSpooler();
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_FALSE(m.files.IsLoaded(library_));
  m.Reboot();
  spooler_ = manager_ = nullptr;  // a restart ends every handle
  EXPECT_EQ(m.services.OpenHandles(), 0);
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(m.files.IsLoaded(library_));
}

TEST(ServicesOn9xTest, NoServiceControlManager) {
  sim::M().Reset(sim::Platform::Win98());
  EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  SERVICE_STATUS status{};
  const DWORD invalid = ERROR_INVALID_HANDLE;
  EXPECT_EQ(OpenServiceA(nullptr, "Spooler", SERVICE_START), nullptr);
  EXPECT_EQ(GetLastError(), invalid);
  EXPECT_EQ(Outcome(ControlService(nullptr, SERVICE_CONTROL_STOP, &status)), invalid);
  EXPECT_EQ(Outcome(StartServiceA(nullptr, 0, nullptr)), invalid);
  EXPECT_EQ(Outcome(QueryServiceStatus(nullptr, &status)), invalid);
  EXPECT_EQ(Outcome(CloseServiceHandle(nullptr)), invalid);
  sim::M().services.StopSpooler();
  EXPECT_TRUE(sim::M().spooler.Running()) << "the 9x spooler is no service";
}

}  // namespace
