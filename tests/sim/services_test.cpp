// The simulated service control manager and the service "Spooler": access
// rights, and stop and start requests that take virtual time.
#include <gtest/gtest.h>

#include "common/win32.h"
#include "sim/machine.h"
#include "test_support.h"

namespace {

using test::Outcome;

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

// The services of a machine where "Fax" depends on the spooler and
// "FaxHelper" on "Fax".
class DependentServicesTest : public ServicesTest {
 protected:
  void SetUp() override {
    ServicesTest::SetUp();
    m.services.AddDependent("Fax");
    m.services.AddDependent("FaxHelper", "Fax");
  }
  SC_HANDLE Open(const char* name, DWORD access = SERVICE_STOP | SERVICE_START) {
    SC_HANDLE h = OpenServiceA(manager_, name, access);
    EXPECT_NE(h, nullptr) << name;
    return h;
  }
  // The names EnumDependentServicesA gives for the spooler, in its order.
  std::vector<std::string> Dependents(DWORD state) {
    SC_HANDLE h = Open("Spooler", SERVICE_ENUMERATE_DEPENDENTS);
    DWORD needed = 0, returned = 7;
    std::vector<std::string> names;
    if (EnumDependentServicesA(h, state, nullptr, 0, &needed, &returned)) {
      EXPECT_EQ(returned, 0u);
    } else {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
      std::vector<BYTE> buffer(needed);
      auto* records = reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data());
      EXPECT_FALSE(EnumDependentServicesA(h, state, records, needed - 1, &needed, &returned));
      EXPECT_TRUE(EnumDependentServicesA(h, state, records, needed, &needed, &returned));
      for (DWORD i = 0; i < returned; ++i) {
        EXPECT_GE(reinterpret_cast<BYTE*>(records[i].lpServiceName), buffer.data());
        EXPECT_LT(reinterpret_cast<BYTE*>(records[i].lpServiceName), buffer.data() + needed);
        names.push_back(records[i].lpServiceName);
      }
    }
    CloseServiceHandle(h);
    return names;
  }
};

TEST_F(DependentServicesTest, EnumerationGivesTheStopOrderAndNeedsItsRight) {
  EXPECT_EQ(Dependents(SERVICE_ACTIVE), (std::vector<std::string>{"FaxHelper", "Fax"}));
  EXPECT_TRUE(Dependents(SERVICE_INACTIVE).empty());
  SC_HANDLE helper = Open("FaxHelper");
  SERVICE_STATUS status{};
  ASSERT_TRUE(ControlService(helper, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(Dependents(SERVICE_ACTIVE), std::vector<std::string>{"Fax"});
  EXPECT_EQ(Dependents(SERVICE_INACTIVE), std::vector<std::string>{"FaxHelper"});
  EXPECT_EQ(Dependents(SERVICE_STATE_ALL), (std::vector<std::string>{"FaxHelper", "Fax"}));
  CloseServiceHandle(helper);

  DWORD needed = 0, returned = 0;
  EXPECT_EQ(Outcome(EnumDependentServicesA(spooler_, SERVICE_ACTIVE, nullptr, 0, &needed,
                                           &returned)),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SC_HANDLE h = Open("Spooler", SERVICE_ENUMERATE_DEPENDENTS);
  EXPECT_EQ(Outcome(EnumDependentServicesA(h, 4, nullptr, 0, &needed, &returned)),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  CloseServiceHandle(h);
}

TEST_F(DependentServicesTest, TheSpoolerStopsOnlyAfterItsDependents) {
  EXPECT_EQ(Stop(), static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING));
  EXPECT_TRUE(m.spooler.Running());
  SC_HANDLE fax = Open("Fax"), helper = Open("FaxHelper");
  SERVICE_STATUS status{};
  EXPECT_EQ(Outcome(ControlService(fax, SERVICE_CONTROL_STOP, &status)),
            static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING));
  m.services.SetStopTime("FaxHelper", 300);
  ASSERT_TRUE(ControlService(helper, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(Outcome(ControlService(fax, SERVICE_CONTROL_STOP, &status)),
            static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING))
      << "a stopping dependent is still active";
  m.now_ms += 300;
  ASSERT_TRUE(ControlService(fax, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(Stop(), 0u);
  EXPECT_FALSE(m.spooler.Running());

  // Starting a dependent starts what it depends on first.
  m.services.SetSpoolerStartTime(1000);
  m.services.SetStartTime("FaxHelper", 200);
  ASSERT_TRUE(StartServiceA(helper, 0, nullptr));
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(m.services.StateOf("Fax"), static_cast<DWORD>(SERVICE_START_PENDING));
  m.now_ms += 1000;
  EXPECT_TRUE(m.spooler.Running());
  EXPECT_EQ(m.services.StateOf("FaxHelper"), static_cast<DWORD>(SERVICE_START_PENDING));
  m.now_ms += 200;
  EXPECT_EQ(m.services.StateOf("FaxHelper"), static_cast<DWORD>(SERVICE_RUNNING));
  CloseServiceHandle(fax);
  CloseServiceHandle(helper);
}

TEST_F(DependentServicesTest, RefusedStopsDisabledAndFailingStarts) {
  SC_HANDLE helper = Open("FaxHelper", SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS);
  m.services.SetAcceptsStop("FaxHelper", false);
  SERVICE_STATUS status{};
  EXPECT_EQ(Outcome(ControlService(helper, SERVICE_CONTROL_STOP, &status)),
            static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(status.dwControlsAccepted & SERVICE_ACCEPT_STOP, 0u);

  // A stopped spooler that is disabled: neither it nor its dependents start.
  m.services.StopSpooler();
  EXPECT_EQ(m.services.StateOf("FaxHelper"), static_cast<DWORD>(SERVICE_STOPPED));
  m.services.SetDisabled("Spooler", true);
  EXPECT_EQ(Start(), static_cast<DWORD>(ERROR_SERVICE_DISABLED));
  EXPECT_EQ(Outcome(StartServiceA(helper, 0, nullptr)),
            static_cast<DWORD>(ERROR_SERVICE_DEPENDENCY_FAIL));
  m.services.SetDisabled("Spooler", false);

  // A start that is accepted but does not come up.
  m.services.SetSpoolerStartTime(1500);
  m.services.SetStartFailure("Spooler", ERROR_SERVICE_SPECIFIC_ERROR);
  ASSERT_TRUE(StartServiceA(helper, 0, nullptr)) << "accepted while the spooler starts";
  EXPECT_EQ(Query(), static_cast<DWORD>(SERVICE_START_PENDING));
  m.now_ms += 1500;
  ASSERT_TRUE(QueryServiceStatus(spooler_, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
  ASSERT_TRUE(QueryServiceStatus(helper, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_DEPENDENCY_FAIL));
  EXPECT_FALSE(m.spooler.Running());
  CloseServiceHandle(helper);

  // After a reboot the services are back as configured: a failing spooler
  // stays down, and so do its dependents.
  m.Reboot();
  spooler_ = manager_ = nullptr;
  EXPECT_EQ(m.services.SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(m.services.StateOf("Fax"), static_cast<DWORD>(SERVICE_STOPPED));
  m.services.SetStartFailure("Spooler", 0);
  m.Reboot();
  EXPECT_EQ(m.services.StateOf("FaxHelper"), static_cast<DWORD>(SERVICE_RUNNING));
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
