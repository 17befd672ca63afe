// The simulated print spooler: the error codes the setup program reacts to,
// monitor libraries across stops and restarts, driver files, and the layout
// of enumeration buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/win32.h"
#include "sim/machine.h"
#include "test_support.h"

namespace {

const std::string kPrint = "SYSTEM\\CurrentControlSet\\Control\\Print";
const std::string kMonitorKey = kPrint + "\\Monitors\\TAVRIN Monitor";
const std::string kPrinterKey = kPrint + "\\Printers\\TAVRIN";
using test::AddLevel3Driver;
using test::AddPrinter;
using test::kDriver;
using test::Outcome;

class SpoolerTest : public ::testing::Test {
 protected:
  sim::Machine& m = sim::M();

  void Boot(const sim::Platform& platform) {
    m.Reset(platform);
    test::RegisterMonitorImages(m);
  }

  std::string SystemFile(const std::string& name) const {
    return m.platform().system_dir + "\\" + name;
  }
  std::string Library() const {
    return m.platform().family == sim::Family::NT ? "tavmon.dll" : "tavmon95.dll";
  }
  std::string Image() const {
    return m.platform().family == sim::Family::NT ? "MZtavmon" : "MZtavmon95";
  }

  BOOL AddMonitor(std::string name, std::string env, std::string dll) {
    MONITOR_INFO_2A info = {name.data(), env.data(), dll.data()};
    return AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  }

  // The product's monitor with its library in place and the port configured.
  void InstallTavrinMonitor() {
    m.files.Put(SystemFile(Library()), Image());
    ASSERT_TRUE(AddMonitor("TAVRIN Monitor", m.platform().environment, Library()));
    m.registry.SetString(HKEY_LOCAL_MACHINE, kMonitorKey + "\\Ports\\TAVRINPORT", "Description",
                         "TAVRIN Redirected Port");
  }

  // Monitor, port, driver and printer as a finished install leaves them.
  void InstallProduct() {
    InstallTavrinMonitor();
    ASSERT_TRUE(AddLevel3Driver(m.platform().driver_version));
    HANDLE printer = AddPrinter("TAVRIN", "TAVRINPORT");
    ASSERT_NE(printer, nullptr);
    ASSERT_TRUE(ClosePrinter(printer));
  }

  std::vector<PORT_INFO_2A> Ports(std::vector<BYTE>* buffer) {
    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned));
    buffer->assign(needed, 0);
    EXPECT_TRUE(EnumPortsA(nullptr, 2, buffer->data(), needed, &needed, &returned));
    auto* first = reinterpret_cast<PORT_INFO_2A*>(buffer->data());
    return std::vector<PORT_INFO_2A>(first, first + returned);
  }

  bool Offered(const std::string& port) const {
    for (const std::string& p : m.spooler.Ports())
      if (p == port) return true;
    return false;
  }
};

TEST_F(SpoolerTest, AddMonitorOnNtLoadsTheLibraryAndRefusesWhatSetupMustReport) {
  Boot(sim::Platform::WinXP());
  const std::string library = SystemFile("tavmon.dll");
  m.files.Put(library, "MZtavmon");
  SetLastError(1234);
  ASSERT_TRUE(AddMonitor("TAVRIN Monitor", "Windows NT x86", "tavmon.dll"));
  EXPECT_EQ(GetLastError(), 1234u) << "success leaves the last error alone";
  EXPECT_EQ(m.registry.GetValue(HKEY_LOCAL_MACHINE, kMonitorKey, "Driver")->AsString(),
            "tavmon.dll");
  EXPECT_TRUE(m.files.IsLoaded(library));
  EXPECT_EQ(m.spooler.LoadedLibraries(), std::vector<std::string>{library});
  EXPECT_EQ(m.journal.back(), "AddMonitorA TAVRIN Monitor, Windows NT x86, tavmon.dll");

  EXPECT_EQ(Outcome(AddMonitor("TAVRIN Monitor", "Windows NT x86", "tavmon.dll")),
            static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
  EXPECT_EQ(m.journal.back(), "AddMonitorA TAVRIN Monitor, Windows NT x86, tavmon.dll -> 3006");
  EXPECT_EQ(Outcome(AddMonitor("Other", "Windows NT x86", "missing.dll")),
            static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(Outcome(AddMonitor("Other", "Windows 4.0", "tavmon.dll")),
            static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));
  EXPECT_EQ(Outcome(AddMonitorA(nullptr, 1, nullptr)), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  EXPECT_FALSE(m.spooler.HasMonitor("Other"));

  m.administrator = false;
  EXPECT_EQ(Outcome(AddMonitor("Second", "Windows NT x86", "tavmon.dll")),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(m.spooler.HasMonitor("Second"));
}

TEST_F(SpoolerTest, AddMonitorOn9xAnswersWithItsOwnCodesAndHasNoSecurity) {
  Boot(sim::Platform::Win98());
  m.administrator = false;
  m.files.Put(SystemFile("tavmon95.dll"), "MZtavmon95");
  EXPECT_EQ(Outcome(AddMonitor("TAVRIN Monitor", "Windows NT x86", "tavmon95.dll")),
            static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));
  ASSERT_TRUE(AddMonitor("TAVRIN Monitor", "Windows 4.0", "tavmon95.dll"));
  EXPECT_TRUE(m.files.IsLoaded(SystemFile("tavmon95.dll")));
  EXPECT_EQ(Outcome(AddMonitor("TAVRIN Monitor", "Windows 4.0", "tavmon95.dll")),
            static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(Outcome(AddMonitor("Other", "Windows 4.0", "missing.dll")),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(SpoolerTest, MonitorLibraryStaysLoadedAfterDeleteUntilTheSpoolerStops) {
  Boot(sim::Platform::WinXP());
  InstallTavrinMonitor();
  const std::string library = SystemFile("tavmon.dll");
  EXPECT_TRUE(Offered("TAVRINPORT"));

  ASSERT_TRUE(DeleteMonitorA(nullptr, const_cast<LPSTR>("Windows NT x86"),
                             const_cast<LPSTR>("TAVRIN Monitor")));
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kMonitorKey)) << "ports key goes too";
  EXPECT_FALSE(Offered("TAVRINPORT"));
  EXPECT_TRUE(m.files.IsLoaded(library));
  EXPECT_EQ(Outcome(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("TAVRIN Monitor"))),
            static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));

  m.services.StopSpooler();
  EXPECT_FALSE(m.files.IsLoaded(library));
  EXPECT_TRUE(m.spooler.LoadedLibraries().empty());
}

TEST_F(SpoolerTest, UnloadOnDeleteFreesTheLibraryAtOnce) {
  Boot(sim::Platform::Win2000());
  InstallTavrinMonitor();
  m.spooler.SetUnloadOnDelete(true);
  // The environment is not looked at for the local computer.
  ASSERT_TRUE(DeleteMonitorA(nullptr, const_cast<LPSTR>("Windows 4.0"),
                             const_cast<LPSTR>("TAVRIN Monitor")));
  EXPECT_FALSE(m.files.IsLoaded(SystemFile("tavmon.dll")));
}

TEST_F(SpoolerTest, RebootLoadsRegisteredMonitorsWhoseLibraryExists) {
  Boot(sim::Platform::WinXP());
  m.spooler.InstallMonitor("TAVRIN Monitor", "tavmon.dll");
  m.registry.SetString(HKEY_LOCAL_MACHINE, kMonitorKey + "\\Ports\\TAVRINPORT", "Printer",
                       "TAVRIN");
  m.registry.SetString(HKEY_LOCAL_MACHINE, kPrint + "\\Monitors\\Gone Monitor", "Driver",
                       "gone.dll");
  m.registry.SetString(HKEY_LOCAL_MACHINE,
                       kPrint + "\\Monitors\\Gone Monitor\\Ports\\GONE:", "Printer", "x");
  EXPECT_TRUE(m.files.IsLoaded(SystemFile("tavmon.dll")));

  m.Reboot();
  EXPECT_TRUE(m.files.IsLoaded(SystemFile("tavmon.dll")));
  EXPECT_EQ(m.spooler.LoadedLibraries(), std::vector<std::string>{SystemFile("tavmon.dll")});
  EXPECT_TRUE(Offered("TAVRINPORT"));
  EXPECT_FALSE(Offered("GONE:")) << "a monitor without its library offers no ports";
  EXPECT_TRUE(m.spooler.HasMonitor("Gone Monitor"));

  m.files.Remove(SystemFile("tavmon.dll"));
  m.Reboot();
  EXPECT_TRUE(m.spooler.LoadedLibraries().empty());
  EXPECT_FALSE(Offered("TAVRINPORT"));
}

TEST_F(SpoolerTest, EnumPortsPacksRecordsFirstAndStringsAtTheEnd) {
  Boot(sim::Platform::WinXP());
  InstallTavrinMonitor();
  std::vector<BYTE> buffer;
  std::vector<PORT_INFO_2A> ports = Ports(&buffer);
  ASSERT_EQ(ports.size(), 6u);
  EXPECT_STREQ(ports[0].pPortName, "LPT1:");
  EXPECT_STREQ(ports[0].pMonitorName, "Local Port");
  EXPECT_STREQ(ports[5].pPortName, "TAVRINPORT");
  EXPECT_STREQ(ports[5].pMonitorName, "TAVRIN Monitor");
  EXPECT_STREQ(ports[5].pDescription, "TAVRIN Redirected Port");
  EXPECT_EQ(ports[5].fPortType, static_cast<DWORD>(PORT_TYPE_WRITE | PORT_TYPE_REDIRECTED));

  const char* records_end =
      reinterpret_cast<const char*>(buffer.data()) + ports.size() * sizeof(PORT_INFO_2A);
  const char* lowest = records_end + buffer.size();
  const char* highest_end = nullptr;
  for (const PORT_INFO_2A& p : ports) {
    for (const char* s : {p.pPortName, p.pMonitorName, p.pDescription}) {
      lowest = std::min(lowest, s);
      highest_end = std::max(highest_end, s + std::strlen(s) + 1);
    }
  }
  EXPECT_EQ(lowest, records_end) << "strings fill the rest exactly";
  EXPECT_EQ(highest_end, reinterpret_cast<const char*>(buffer.data()) + buffer.size());

  DWORD needed = 0, returned = 99;
  SetLastError(0);
  EXPECT_FALSE(EnumPortsA(nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size() - 1), &needed,
                          &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(needed, buffer.size());
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(m.journal.back(), "EnumPortsA 2, " + std::to_string(buffer.size() - 1) + " -> 122");
}

TEST_F(SpoolerTest, FixedBuffersOf4096BytesOverflowWithManyMonitorsOrPorts) {
  Boot(sim::Platform::WinXP());
  std::vector<BYTE> buffer(4096);
  DWORD needed = 0, returned = 0;
  ASSERT_TRUE(EnumMonitorsA(nullptr, 1, buffer.data(), 4096, &needed, &returned));
  ASSERT_EQ(returned, 1u);
  EXPECT_STREQ(reinterpret_cast<MONITOR_INFO_1A*>(buffer.data())->pName, "Local Port");

  for (int i = 0; i < 200; ++i) {
    std::string name = "Extra Monitor " + std::to_string(1000 + i);
    m.registry.SetString(HKEY_LOCAL_MACHINE, kPrint + "\\Monitors\\" + name, "Driver", "x.dll");
  }
  EXPECT_EQ(Outcome(EnumMonitorsA(nullptr, 1, buffer.data(), 4096, &needed, &returned)),
            static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_GT(needed, 4096u);
  EXPECT_EQ(returned, 0u);

  InstallTavrinMonitor();
  for (int i = 0; i < 150; ++i) {
    m.registry.SetString(HKEY_LOCAL_MACHINE,
                         kMonitorKey + "\\Ports\\PORT" + std::to_string(100 + i), "Printer", "x");
  }
  EXPECT_EQ(Outcome(EnumPortsA(nullptr, 2, buffer.data(), 4096, &needed, &returned)),
            static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_GT(needed, 4096u);
}

TEST_F(SpoolerTest, AddPrinterChecksNameExistencePortDriverAndProcessor) {
  Boot(sim::Platform::WinXP());
  EXPECT_EQ(AddPrinter("TAVRIN", "TAVRINPORT"), nullptr) << "no monitor offers the port yet";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
  InstallTavrinMonitor();
  EXPECT_EQ(AddPrinter("TAVRIN", "TAVRINPORT"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
  ASSERT_TRUE(AddLevel3Driver(3));
  EXPECT_EQ(AddPrinter("TAVRIN", "TAVRINPORT", kDriver, "lpdprint"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTPROCESSOR));
  EXPECT_EQ(AddPrinter(nullptr, "TAVRINPORT"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  m.administrator = false;
  EXPECT_EQ(AddPrinter("TAVRIN", "TAVRINPORT"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  m.administrator = true;

  HANDLE printer = AddPrinter("TAVRIN", "TAVRINPORT", kDriver, "WinPrint");
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(m.spooler.OpenHandles(), 1);
  auto value = [&](const char* name) {
    return m.registry.GetValue(HKEY_LOCAL_MACHINE, kPrinterKey, name)->AsString();
  };
  EXPECT_EQ(value("Port"), "TAVRINPORT");
  EXPECT_EQ(value("Printer Driver"), kDriver);
  EXPECT_EQ(value("Datatype"), "RAW") << "the print processor's default";
  EXPECT_EQ(m.journal.back(), "AddPrinterA TAVRIN, TAVRINPORT, TAVRIN Printer Driver");
  const sim::PrinterRecord& record = m.spooler.printer_calls.back();
  EXPECT_EQ(m.spooler.printer_calls.size(), 6u) << "failed calls are recorded too";
  EXPECT_FALSE(record.has_datatype);
  EXPECT_FALSE(record.has_server_name);
  EXPECT_EQ(record.print_processor, "WinPrint");

  EXPECT_EQ(AddPrinter("TAVRIN", "TAVRINPORT"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_ALREADY_EXISTS));
  EXPECT_TRUE(ClosePrinter(printer));
  EXPECT_EQ(Outcome(ClosePrinter(printer)), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(m.spooler.OpenHandles(), 0);
}

TEST_F(SpoolerTest, MonitorAndDriverInUseUntilThePrinterIsDeleted) {
  Boot(sim::Platform::WinXP());
  InstallProduct();
  m.registry.SetValue(HKEY_LOCAL_MACHINE, kPrinterKey + "\\PrinterDriverData", "PrinterData",
                      REG_BINARY, {1, 2, 3});
  EXPECT_EQ(Outcome(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("TAVRIN Monitor"))),
            static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));
  EXPECT_EQ(Outcome(DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>(kDriver))),
            static_cast<DWORD>(ERROR_PRINTER_DRIVER_IN_USE));
  EXPECT_EQ(m.journal.back(), "DeletePrinterDriverA NULL, TAVRIN Printer Driver -> 3001");

  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  m.administrator = false;
  EXPECT_EQ(Outcome(OpenPrinterA(const_cast<LPSTR>("TAVRIN"), &printer, &defaults)),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  m.administrator = true;
  EXPECT_EQ(Outcome(OpenPrinterA(const_cast<LPSTR>("NOSUCH"), &printer, nullptr)),
            static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("TAVRIN"), &printer, &defaults));
  ASSERT_TRUE(DeletePrinter(printer));
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, kPrinterKey)) << "subkeys go too";
  ASSERT_TRUE(ClosePrinter(printer));

  ASSERT_TRUE(DeletePrinterDriverA(nullptr, const_cast<LPSTR>("Windows NT x86"),
                                   const_cast<LPSTR>(kDriver)));
  EXPECT_FALSE(m.spooler.HasDriver("Windows NT x86", kDriver));
  EXPECT_TRUE(m.files.Exists(m.platform().driver_dir + "\\3\\pscript.dll")) << "files stay";
  EXPECT_EQ(Outcome(DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>(kDriver))),
            static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
  EXPECT_TRUE(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("TAVRIN Monitor")));
}

TEST_F(SpoolerTest, QueuedJobsKeepADeletedPrinterAndItsDriverAndMonitorUntilPurged) {
  for (const sim::Platform& platform : {sim::Platform::WinXP(), sim::Platform::Win98()}) {
    SCOPED_TRACE(platform.name);
    Boot(platform);
    InstallProduct();
    m.spooler.QueueJob("TAVRIN", "report");
    m.spooler.QueueJob("tavrin", "letter");
    ASSERT_EQ(m.spooler.Jobs("TAVRIN").size(), 2u);
    const std::string& spool = m.platform().spool_dir;
    EXPECT_EQ(m.files.List(spool).size(), platform.family == sim::Family::NT ? 4u : 2u);

    PRINTER_DEFAULTSA user = {nullptr, nullptr, PRINTER_ACCESS_USE};
    PRINTER_DEFAULTSA admin = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("TAVRIN"), &printer, &admin));
    ASSERT_TRUE(DeletePrinter(printer)) << "accepted, but only marked";
    EXPECT_TRUE(m.spooler.PendingDeletion("TAVRIN"));
    EXPECT_EQ(Outcome(DeletePrinter(printer)), static_cast<DWORD>(ERROR_PRINTER_DELETED));
    std::string env = m.platform().environment;
    EXPECT_EQ(Outcome(DeletePrinterDriverA(nullptr, env.data(), const_cast<LPSTR>(kDriver))),
              static_cast<DWORD>(ERROR_PRINTER_DRIVER_IN_USE));
    EXPECT_EQ(Outcome(DeleteMonitorA(nullptr, env.data(), const_cast<LPSTR>("TAVRIN Monitor"))),
              static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));
    EXPECT_EQ(Outcome(AddPrinter("TAVRIN", "TAVRINPORT") != nullptr),
              static_cast<DWORD>(ERROR_PRINTER_ALREADY_EXISTS));
    ASSERT_TRUE(ClosePrinter(printer));

    // A spooler restart reads the jobs back: the printer stays marked.
    m.Reboot();
    EXPECT_TRUE(m.spooler.PendingDeletion("TAVRIN"));

    // On NT the purge needs the right to administer the printer.
    if (platform.family == sim::Family::NT) {
      ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("TAVRIN"), &printer, &user));
      EXPECT_EQ(Outcome(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PURGE)),
                static_cast<DWORD>(ERROR_ACCESS_DENIED));
      ClosePrinter(printer);
    }
    ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("TAVRIN"), &printer, &admin));
    EXPECT_EQ(Outcome(SetPrinterA(printer, 2, nullptr, PRINTER_CONTROL_PURGE)),
              static_cast<DWORD>(ERROR_INVALID_LEVEL));
    EXPECT_EQ(Outcome(SetPrinterA(printer, 0, nullptr, 9)),
              static_cast<DWORD>(ERROR_INVALID_PRINTER_COMMAND));
    EXPECT_TRUE(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_TRUE(m.spooler.Jobs("TAVRIN").empty());
    EXPECT_TRUE(m.files.List(spool).empty()) << "spool files go with their jobs";
    EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN")) << "the marked printer goes with its last job";
    EXPECT_EQ(Outcome(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PURGE)),
              static_cast<DWORD>(ERROR_PRINTER_DELETED));
    ClosePrinter(printer);
    EXPECT_TRUE(DeletePrinterDriverA(nullptr, env.data(), const_cast<LPSTR>(kDriver)));
    EXPECT_TRUE(DeleteMonitorA(nullptr, env.data(), const_cast<LPSTR>("TAVRIN Monitor")));
  }
}

TEST_F(SpoolerTest, PurgeOfAPrinterNotMarkedKeepsItAndPauseShowsInItsStatus) {
  Boot(sim::Platform::Win2000());
  InstallProduct();
  m.spooler.QueueJob("TAVRIN", "report");
  PRINTER_DEFAULTSA admin = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("TAVRIN"), &printer, &admin));
  EXPECT_TRUE(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PAUSE));
  EXPECT_EQ(m.registry.GetValue(HKEY_LOCAL_MACHINE, kPrinterKey, "Status")->AsDword(),
            static_cast<DWORD>(PRINTER_STATUS_PAUSED));
  EXPECT_TRUE(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PURGE));
  EXPECT_TRUE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_TRUE(m.spooler.Jobs("TAVRIN").empty());
  EXPECT_TRUE(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_RESUME));
  EXPECT_EQ(m.registry.GetValue(HKEY_LOCAL_MACHINE, kPrinterKey, "Status")->AsDword(), 0u);
  ASSERT_TRUE(DeletePrinter(printer));
  EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN")) << "no jobs: deleted at once";
  ClosePrinter(printer);
  EXPECT_EQ(m.spooler.OpenHandles(), 0);
}

TEST_F(SpoolerTest, AMarkedPrinterWhoseKeyIsDeletedLeavesItsSpoolFilesBehind) {
  Boot(sim::Platform::WinXP());
  InstallProduct();
  m.spooler.QueueJob("TAVRIN", "report");
  PRINTER_DEFAULTSA admin = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("TAVRIN"), &printer, &admin));
  ASSERT_TRUE(DeletePrinter(printer));
  ClosePrinter(printer);
  m.registry.DeleteTree(HKEY_LOCAL_MACHINE, kPrinterKey);
  m.Reboot();
  EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_EQ(m.files.List(m.platform().spool_dir).size(), 2u);
}

TEST_F(SpoolerTest, Level6DriverFilesAreCopiedIntoTheVersionFolder) {
  Boot(sim::Platform::WinXP());
  const std::string dir = m.platform().driver_dir;
  for (const char* f :
       {"pscript5.dll", "tavrinps5.PPD", "ps5ui.dll", "Pscript.hlp", "tavrin.INI", "tavrinui5.DLL"})
    m.files.Put(dir + "\\" + f, std::string("content of ") + f);
  std::string driver = dir + "\\pscript5.dll", data = dir + "\\tavrinps5.ppd",
              config = dir + "\\ps5ui.dll", help = dir + "\\Pscript.hlp";
  const char dependents[] = "tavrinps5.ppd\0tavrin.INI\0tavrinui5.DLL\0pscript.ntf\0";
  DRIVER_INFO_6A info = {};
  info.cVersion = 3;
  info.pName = const_cast<LPSTR>(kDriver);
  info.pEnvironment = const_cast<LPSTR>("Windows NT x86");
  info.pDriverPath = driver.data();
  info.pDataFile = data.data();
  info.pConfigFile = config.data();
  info.pHelpFile = help.data();
  info.pDependentFiles = const_cast<LPSTR>(dependents);
  info.pDefaultDataType = const_cast<LPSTR>("RAW");
  info.pszMfgName = const_cast<LPSTR>("Tavrin Corporation");
  info.pszOEMUrl = const_cast<LPSTR>("http://www.tavrin.example");
  info.pszProvider = const_cast<LPSTR>("Tavrin Corporation");

  EXPECT_EQ(Outcome(AddPrinterDriverA(nullptr, 6, reinterpret_cast<LPBYTE>(&info))),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND))
      << "pscript.ntf is missing";
  EXPECT_EQ(m.journal.back(), "AddPrinterDriverA 6, TAVRIN Printer Driver, Windows NT x86 -> 2");
  EXPECT_FALSE(m.spooler.HasDriver("Windows NT x86", kDriver));

  m.files.Put(dir + "\\pscript.ntf", "fonts");
  ASSERT_TRUE(AddPrinterDriverA(nullptr, 6, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(m.journal.back(), "AddPrinterDriverA 6, TAVRIN Printer Driver, Windows NT x86 -> ok");
  EXPECT_EQ(m.files.Get(dir + "\\3\\ps5ui.dll"), "content of ps5ui.dll");
  EXPECT_TRUE(m.files.Exists(dir + "\\3\\pscript.ntf"));
  const std::string key = kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-3\\" + kDriver;
  auto value = [&](const char* name) { return m.registry.GetValue(HKEY_LOCAL_MACHINE, key, name); };
  EXPECT_EQ(value("Driver")->AsString(), "pscript5.dll");
  EXPECT_EQ(value("Data File")->AsString(), "tavrinps5.ppd");
  EXPECT_EQ(value("Version")->AsDword(), 3u);
  EXPECT_EQ(value("Provider")->AsString(), "Tavrin Corporation");
  EXPECT_EQ(value("Dependent Files")->type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(value("Dependent Files")->data.size(), sizeof(dependents));

  ASSERT_EQ(m.spooler.driver_calls.size(), 2u);
  const sim::DriverRecord& record = m.spooler.driver_calls.back();
  EXPECT_EQ(record.dependent_files, (std::vector<std::string>{"tavrinps5.ppd", "tavrin.INI",
                                                              "tavrinui5.DLL", "pscript.ntf"}));
  EXPECT_FALSE(record.has_hardware_id);
  EXPECT_FALSE(record.has_monitor_name);
  EXPECT_TRUE(record.has_oem_url);
  EXPECT_EQ(record.version, 3u);
}

TEST_F(SpoolerTest, Nt4TakesLevel3IntoVersion2AndRefusesLevel6) {
  Boot(sim::Platform::NT4());
  DRIVER_INFO_6A info = {};
  info.cVersion = 3;
  info.pName = const_cast<LPSTR>(kDriver);
  EXPECT_EQ(Outcome(AddPrinterDriverA(nullptr, 6, reinterpret_cast<LPBYTE>(&info))),
            static_cast<DWORD>(ERROR_INVALID_LEVEL));
  EXPECT_EQ(m.spooler.driver_calls.back().level, 6u);

  ASSERT_TRUE(AddLevel3Driver(2));
  EXPECT_TRUE(m.files.Exists(m.platform().driver_dir + "\\2\\Tavrinui.dll"));
  EXPECT_TRUE(m.registry.KeyExists(
      HKEY_LOCAL_MACHINE,
      kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-2\\" + kDriver));
  ASSERT_TRUE(AddLevel3Driver(2)) << "an installed driver is replaced";

  m.administrator = false;
  EXPECT_EQ(Outcome(AddLevel3Driver(2)), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SpoolerTest, Windows9xDriverNamesBareFilesInTheSystemFolder) {
  Boot(sim::Platform::Win98());
  const std::string key = kPrint + "\\Environments\\Windows 4.0\\Drivers\\" + kDriver;
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, key + "\\Leftover");
  EXPECT_FALSE(m.spooler.HasDriver("Windows 4.0", kDriver)) << "a key without \"Driver\"";
  EXPECT_EQ(Outcome(DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>(kDriver))),
            static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));

  const std::string dir = m.platform().driver_dir;
  for (const char* f : {"Pscript.drv", "tavdriver.SPD", "Pscript.hlp", "PSMON.DLL"})
    m.files.Put(dir + "\\" + f, f);
  const char dependents[] = "PSMON.DLL\0TAVDRIVER.SPD\0";
  DRIVER_INFO_3A info = {};
  info.cVersion = 2;
  info.pName = const_cast<LPSTR>(kDriver);
  info.pEnvironment = const_cast<LPSTR>("Windows NT x86");
  info.pDriverPath = const_cast<LPSTR>("Pscript.drv");
  info.pDataFile = const_cast<LPSTR>("tavdriver.SPD");
  info.pConfigFile = const_cast<LPSTR>("Pscript.drv");
  info.pHelpFile = const_cast<LPSTR>("Pscript.hlp");
  info.pDependentFiles = const_cast<LPSTR>(dependents);
  EXPECT_EQ(Outcome(AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&info))),
            static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));

  info.pEnvironment = const_cast<LPSTR>("Windows 4.0");
  ASSERT_TRUE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_TRUE(m.spooler.HasDriver("Windows 4.0", kDriver));
  EXPECT_EQ(m.registry.GetValue(HKEY_LOCAL_MACHINE, key, "Driver")->AsString(), "Pscript.drv");
  EXPECT_FALSE(m.registry.KeyExists(HKEY_LOCAL_MACHINE, key + "\\Leftover")) << "replaced";
  EXPECT_FALSE(m.files.DirectoryExists(dir + "\\0"));
}

TEST_F(SpoolerTest, StoppedSpoolerRefusesEveryCallWith1722) {
  Boot(sim::Platform::WinXP());
  InstallProduct();
  m.services.StopSpooler();
  EXPECT_FALSE(m.spooler.Running());
  const DWORD rpc = RPC_S_SERVER_UNAVAILABLE;
  std::vector<BYTE> buffer(4096);
  DWORD needed = 0, returned = 0;
  EXPECT_EQ(Outcome(EnumMonitorsA(nullptr, 1, buffer.data(), 4096, &needed, &returned)), rpc);
  EXPECT_EQ(Outcome(EnumPortsA(nullptr, 2, buffer.data(), 4096, &needed, &returned)), rpc);
  EXPECT_EQ(Outcome(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, buffer.data(), 256, &needed)),
            rpc);
  EXPECT_EQ(Outcome(AddMonitor("Other", "Windows NT x86", "tavmon.dll")), rpc);
  EXPECT_EQ(Outcome(AddLevel3Driver(3)), rpc);
  EXPECT_EQ(m.journal.back(), "AddPrinterDriverA 3, TAVRIN Printer Driver, Windows NT x86 -> 1722");
  EXPECT_EQ(AddPrinter("Second", "LPT1:"), nullptr);
  EXPECT_EQ(GetLastError(), rpc);
  HANDLE printer = nullptr;
  EXPECT_EQ(Outcome(OpenPrinterA(const_cast<LPSTR>("TAVRIN"), &printer, nullptr)), rpc);
  EXPECT_EQ(Outcome(DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>(kDriver))), rpc);
  EXPECT_EQ(Outcome(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("TAVRIN Monitor"))), rpc);
  EXPECT_TRUE(m.spooler.HasMonitor("TAVRIN Monitor"));
}

TEST_F(SpoolerTest, DriverDirectoryIsSizedLikeEveryOtherText) {
  Boot(sim::Platform::WinXP());
  const std::string& dir = m.platform().driver_dir;
  char text[256];
  DWORD needed = 0;
  ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(text),
                                         sizeof text, &needed));
  EXPECT_EQ(std::string(text), dir);
  EXPECT_EQ(needed, dir.size() + 1);
  EXPECT_EQ(Outcome(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(text),
                                               static_cast<DWORD>(dir.size()), &needed)),
            static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(Outcome(GetPrinterDriverDirectoryA(nullptr, nullptr, 2, reinterpret_cast<LPBYTE>(text),
                                               sizeof text, &needed)),
            static_cast<DWORD>(ERROR_INVALID_LEVEL));
  EXPECT_EQ(
      Outcome(GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>("Windows IA64"), 1,
                                         reinterpret_cast<LPBYTE>(text), sizeof text, &needed)),
      static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));
  ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>("windows 4.0"), 1,
                                         reinterpret_cast<LPBYTE>(text), sizeof text, &needed));
  EXPECT_EQ(std::string(text), "C:\\WINDOWS\\system32\\spool\\drivers\\win40");
}

TEST_F(SpoolerTest, InjectedFaultFailsTheCallButKeepsTheRecord) {
  Boot(sim::Platform::WinXP());
  m.FailCall("AddPrinterDriverA", RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(Outcome(AddLevel3Driver(3)), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
  ASSERT_EQ(m.spooler.driver_calls.size(), 1u);
  EXPECT_EQ(m.spooler.driver_calls[0].name, kDriver);
  EXPECT_TRUE(AddLevel3Driver(3)) << "the fault was for one call only";
}

}  // namespace
