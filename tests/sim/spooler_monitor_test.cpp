// The simulated spooler driving a port monitor as Windows' spooler does: the
// entry point each platform calls, the ports the monitor lists, a job's
// bytes through StartDocPort/WritePort/EndDocPort, and a purge while the
// monitor holds a job. The monitor is a fake of these tests: its tables
// record every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "common/win32.h"
#include "sim/machine.h"
#include "test_support.h"

namespace {

const std::string kMonitorKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Fake Monitor";
using test::Outcome;

// The 9x spooler's MONITOR table, as the 9x DDK lays it out.
struct Table9x {
  BOOL(WINAPI* pfnEnumPorts)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
  BOOL(WINAPI* pfnOpenPort)(LPSTR, PHANDLE);
  void* pfnOpenPortEx;
  BOOL(WINAPI* pfnStartDocPort)(HANDLE, LPSTR, DWORD, DWORD, LPBYTE);
  BOOL(WINAPI* pfnWritePort)(HANDLE, LPBYTE, DWORD, LPDWORD);
  void* pfnReadPort;
  BOOL(WINAPI* pfnEndDocPort)(HANDLE);
  BOOL(WINAPI* pfnClosePort)(HANDLE);
  void* rest[6];  // AddPort to SetPortTimeOuts
};

// The fake's ports, and their description with a character beyond ASCII.
const std::wstring kPorts[] = {L"FAKE1:", L"FAKE2:"};
const std::wstring kDescription = L"Fake port \u00e9";

// What the fake monitor does and what it saw.
struct Fake {
  std::vector<std::string> calls;
  DWORD init_error = 0;     // the entry point fails with it
  DWORD take_at_most = 0;   // WritePort takes no more bytes a call (0: all)
  DWORD write_error = 0;    // WritePort fails with it
  bool report_sent = true;  // EndDocPort reports the job sent (SetJobA)
  HANDLE entered = nullptr;  // set: the first WritePort sets it and waits
  HANDLE release = nullptr;  // for this one
  std::string data;         // what WritePort took
  std::string printer;      // StartDocPort's
  DWORD job = 0;
  DWORD status_at_end = 0;  // the job's status GetJobA gave in EndDocPort
};

Fake fake;

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text && *text; ++text) out.push_back(static_cast<char>(*text));
  return out;
}

// EnumPorts at level 1 or 2 in either character set: records first,
// strings after them.
template <typename Char, typename Info1, typename Info2>
BOOL PackPorts(DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
  using Text = std::basic_string<Char>;
  auto text = [](const std::wstring& wide) { return Text(wide.begin(), wide.end()); };
  const size_t record = level == 1 ? sizeof(Info1) : sizeof(Info2);
  std::vector<Text> texts;  // each port's name, at level 2 its monitor and description
  for (const std::wstring& port : kPorts) {
    texts.push_back(text(port));
    if (level == 2) texts.insert(texts.end(), {text(L"Fake Monitor"), text(kDescription)});
  }
  DWORD total = static_cast<DWORD>(2 * record);
  for (const Text& t : texts) total += static_cast<DWORD>((t.size() + 1) * sizeof(Char));
  *needed = total;
  *returned = 0;
  if (size < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  Char* next = reinterpret_cast<Char*>(buffer + 2 * record);
  std::vector<Char*> at;
  for (const Text& t : texts) {
    at.push_back(next);
    next = std::copy(t.c_str(), t.c_str() + t.size() + 1, next);
  }
  for (size_t p = 0; p < 2; ++p) {
    if (level == 1) {
      reinterpret_cast<Info1*>(buffer)[p].pName = at[p];
      continue;
    }
    Info2& info = reinterpret_cast<Info2*>(buffer)[p];
    info.pPortName = at[3 * p];
    info.pMonitorName = at[3 * p + 1];
    info.pDescription = at[3 * p + 2];
    info.fPortType = PORT_TYPE_WRITE;
    info.Reserved = 0;
  }
  *returned = 2;
  return TRUE;
}

// ---- The fake's port functions, shared by its three tables ---------------------------

BOOL StartDoc(const std::string& printer, DWORD job, const std::string& document) {
  fake.calls.push_back("StartDocPort " + printer + ", " + std::to_string(job) + ", " + document);
  fake.printer = printer;
  fake.job = job;
  return TRUE;
}

BOOL WINAPI StartDocPortW(HANDLE, LPWSTR printer, DWORD job, DWORD level, LPBYTE info) {
  if (level != 1) return FALSE;
  return StartDoc(Narrow(printer), job, Narrow(reinterpret_cast<DOC_INFO_1W*>(info)->pDocName));
}

BOOL WINAPI StartDocPortA(HANDLE, LPSTR printer, DWORD job, DWORD level, LPBYTE info) {
  if (level != 1) return FALSE;
  return StartDoc(printer, job, reinterpret_cast<DOC_INFO_1A*>(info)->pDocName);
}

// Takes at most `take_at_most` bytes; the first call waits for `release`
// when the test asks it to hold the job.
BOOL WINAPI WritePort(HANDLE, LPBYTE data, DWORD size, LPDWORD written) {
  fake.calls.push_back("WritePort " + std::to_string(size));
  if (HANDLE entered = fake.entered) {
    fake.entered = nullptr;
    SetEvent(entered);
    WaitForSingleObject(fake.release, INFINITE);
  }
  if (fake.write_error) {
    SetLastError(fake.write_error);
    return FALSE;
  }
  *written = fake.take_at_most ? std::min(size, fake.take_at_most) : size;
  fake.data.append(reinterpret_cast<const char*>(data), *written);
  return TRUE;
}

// Reads the job's status as a monitor does, reports it sent when told to,
// and shows a port status.
BOOL WINAPI EndDocPort(HANDLE) {
  fake.calls.push_back("EndDocPort");
  HANDLE printer = nullptr;
  if (!OpenPrinterA(&fake.printer[0], &printer, nullptr)) return FALSE;
  std::vector<BYTE> record(1024);
  DWORD needed = 0;
  if (GetJobA(printer, fake.job, 1, record.data(), 1024, &needed))
    fake.status_at_end = reinterpret_cast<JOB_INFO_1A*>(record.data())->Status;
  if (fake.report_sent) SetJobA(printer, fake.job, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER);
  char port[] = "FAKE1:", text[] = "Fake done";
  PORT_INFO_3A status = {0, text, PORT_STATUS_TYPE_INFO};
  SetPortA(nullptr, port, 3, reinterpret_cast<LPBYTE>(&status));
  ClosePrinter(printer);
  return TRUE;
}

BOOL WINAPI ClosePort(HANDLE) {
  fake.calls.push_back("ClosePort");
  return TRUE;
}

BOOL OpenPort(const std::string& name, PHANDLE port) {
  fake.calls.push_back("OpenPort " + name);
  *port = reinterpret_cast<HANDLE>(0x9011);
  return TRUE;
}

// ---- Its three tables and entry points ----------------------------------------------------

BOOL WINAPI EnumPorts2(HANDLE, LPWSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                       LPDWORD returned) {
  return PackPorts<wchar_t, PORT_INFO_1W, PORT_INFO_2W>(level, buffer, size, needed, returned);
}
BOOL WINAPI OpenPort2(HANDLE, LPWSTR name, PHANDLE port) { return OpenPort(Narrow(name), port); }
VOID WINAPI Shutdown2(HANDLE) { fake.calls.push_back("Shutdown"); }

// What InitializePrintMonitor2 does with its key through the spooler's
// functions: lists the "Ports" subkeys with their value "x", writes a value.
std::string UseRegistry(const MONITORINIT& init) {
  const MONITORREG& reg = *init.pMonitorReg;
  std::string seen;
  HANDLE ports = nullptr;
  if (reg.fpOpenKey(init.hckRegistryRoot, L"Ports", KEY_READ, &ports, init.hSpooler) ==
      ERROR_SUCCESS) {
    wchar_t name[64], value[64];
    DWORD chars = 64;
    for (DWORD i = 0; reg.fpEnumKey(ports, i, name, &chars, nullptr, init.hSpooler) ==
                      ERROR_SUCCESS;
         ++i, chars = 64) {
      HANDLE port = nullptr;
      DWORD type = 0, bytes = sizeof(value);
      if (reg.fpOpenKey(ports, name, KEY_READ, &port, init.hSpooler) != ERROR_SUCCESS) continue;
      if (reg.fpQueryValue(port, L"x", &type, reinterpret_cast<BYTE*>(value), &bytes,
                           init.hSpooler) == ERROR_SUCCESS && type == REG_SZ)
        seen += Narrow(name) + " x=" + Narrow(value);
      reg.fpCloseKey(port, init.hSpooler);
    }
    reg.fpCloseKey(ports, init.hSpooler);
  }
  const wchar_t value[] = L"written \u00e9";
  HANDLE created = nullptr;
  DWORD disposition = 0;
  if (reg.fpCreateKey(init.hckRegistryRoot, L"State", 0, KEY_WRITE, nullptr, &created,
                      &disposition, init.hSpooler) == ERROR_SUCCESS) {
    reg.fpSetValue(created, L"Note", REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value),
                   init.hSpooler);
    reg.fpCloseKey(created, init.hSpooler);
  }
  return seen;
}

LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor) {
  static MONITOR2 table = [] {
    MONITOR2 t{};
    t.cbSize = sizeof(MONITOR2);
    t.pfnEnumPorts = EnumPorts2;
    t.pfnOpenPort = OpenPort2;
    t.pfnStartDocPort = StartDocPortW;
    t.pfnWritePort = WritePort;
    t.pfnEndDocPort = EndDocPort;
    t.pfnClosePort = ClosePort;
    t.pfnShutdown = Shutdown2;
    return t;
  }();
  fake.calls.push_back("InitializePrintMonitor2 " + UseRegistry(*init));
  if (fake.init_error) {
    SetLastError(fake.init_error);
    return nullptr;
  }
  *monitor = &fake;
  return &table;
}

BOOL WINAPI EnumPorts1(LPWSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                       LPDWORD returned) {
  return EnumPorts2(nullptr, nullptr, level, buffer, size, needed, returned);
}
BOOL WINAPI OpenPort1(LPWSTR name, PHANDLE port) { return OpenPort(Narrow(name), port); }

LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR key) {
  static MONITOREX table = [] {
    MONITOREX t{};
    t.dwMonitorSize = sizeof(MONITOR);
    t.Monitor.pfnEnumPorts = EnumPorts1;
    t.Monitor.pfnOpenPort = OpenPort1;
    t.Monitor.pfnStartDocPort = StartDocPortW;
    t.Monitor.pfnWritePort = WritePort;
    t.Monitor.pfnEndDocPort = EndDocPort;
    t.Monitor.pfnClosePort = ClosePort;
    return t;
  }();
  fake.calls.push_back("InitializePrintMonitor " + Narrow(key));
  return &table;
}

BOOL WINAPI EnumPortsA9x(LPSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                         LPDWORD returned) {
  return PackPorts<char, PORT_INFO_1A, PORT_INFO_2A>(level, buffer, size, needed, returned);
}
BOOL WINAPI OpenPortA9x(LPSTR name, PHANDLE port) { return OpenPort(name, port); }

BOOL WINAPI InitializeMonitorEx(LPSTR key, Table9x* table) {
  fake.calls.push_back(std::string("InitializeMonitorEx ") + key);
  *table = Table9x{};
  table->pfnEnumPorts = EnumPortsA9x;
  table->pfnOpenPort = OpenPortA9x;
  table->pfnStartDocPort = StartDocPortA;
  table->pfnWritePort = WritePort;
  table->pfnEndDocPort = EndDocPort;
  table->pfnClosePort = ClosePort;
  return TRUE;
}

class SpoolerMonitorTest : public ::testing::Test {
 protected:
  sim::Machine& m = sim::M();

  // Boots the platform with the fake's library known as image "fakemon" of
  // `processor` (default: the platform's own), exporting `entries` (default:
  // all three), and a fresh fake.
  void Boot(const sim::Platform& platform, std::vector<std::string> entries = {},
            WORD processor = 0xFFFF) {
    m.Reset(platform);
    fake = Fake();
    const std::map<std::string, FARPROC> all = {
        {"InitializePrintMonitor2", sim::AsFarproc(InitializePrintMonitor2)},
        {"InitializePrintMonitor", sim::AsFarproc(InitializePrintMonitor)},
        {"InitializeMonitorEx", sim::AsFarproc(InitializeMonitorEx)}};
    sim::LibraryImage image{"fakemon", processor == 0xFFFF ? platform.architecture : processor, {}};
    for (const auto& entry : all)
      if (entries.empty() || std::count(entries.begin(), entries.end(), entry.first))
        image.exports.insert(entry);
    m.AddLibraryImage(image);
    m.files.Put(platform.system_dir + "\\fakemon.dll", "MZfakemon");
  }

  DWORD AddFake() {
    MONITOR_INFO_2A info = {const_cast<LPSTR>("Fake Monitor"),
                            const_cast<LPSTR>(m.platform().environment.c_str()),
                            const_cast<LPSTR>("fakemon.dll")};
    return Outcome(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
  }

  // A driver and the printer "TAVRIN" on `port`.
  void AddPrinter(const char* port) {
    ASSERT_TRUE(test::AddLevel3Driver(m.platform().driver_version));
    HANDLE handle = test::AddPrinter("TAVRIN", port);
    ASSERT_NE(handle, nullptr);
    ClosePrinter(handle);
  }

  // Prints `data` to "TAVRIN" as datatype "RAW", in writes of 15000 bytes.
  DWORD Print(const char* document, const std::string& data) {
    return test::PrintDocument(document, data, "RAW", 15000);
  }

  // Opens "TAVRIN" with every right, or with `access`.
  HANDLE Open(ACCESS_MASK access = PRINTER_ALL_ACCESS) {
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, access};
    HANDLE printer = nullptr;
    EXPECT_TRUE(OpenPrinterA(const_cast<LPSTR>("TAVRIN"), &printer, &defaults));
    return printer;
  }

  std::vector<std::string> PortNames(DWORD level) {
    DWORD needed = 0, returned = 0;
    EnumPortsA(nullptr, level, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    EXPECT_TRUE(EnumPortsA(nullptr, level, buffer.data(), needed, &needed, &returned));
    std::vector<std::string> out;
    for (DWORD i = 0; i < returned; ++i) {
      if (level == 1) {
        out.push_back(reinterpret_cast<PORT_INFO_1A*>(buffer.data())[i].pName);
      } else {
        const PORT_INFO_2A& p = reinterpret_cast<PORT_INFO_2A*>(buffer.data())[i];
        out.push_back(std::string(p.pPortName) + "|" + p.pMonitorName + "|" + p.pDescription);
      }
    }
    return out;
  }
};

// A test's bytes: every value of a byte, in a length that no piece divides.
std::string Document(size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return data;
}

TEST_F(SpoolerMonitorTest, EachPlatformCallsItsOwnEntryAndRefusesWhatItCannotLoad) {
  struct Case {
    sim::Platform platform;
    std::string first_call;
  };
  const Case cases[] = {
      {sim::Platform::NT4(), "InitializePrintMonitor " + kMonitorKey},
      {sim::Platform::Win2000(),
       "InitializePrintMonitor2 REGONLY: x=y"},
      {sim::Platform::Win98(), "InitializeMonitorEx " + kMonitorKey},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.platform.name);
    Boot(c.platform);
    // What the registry holds about ports counts for nothing: the monitor
    // says which it has.
    m.registry.SetString(HKEY_LOCAL_MACHINE, kMonitorKey + "\\Ports\\REGONLY:", "x", "y");
    ASSERT_EQ(AddFake(), 0u);
    ASSERT_FALSE(fake.calls.empty());
    EXPECT_EQ(fake.calls[0], c.first_call);
    EXPECT_TRUE(m.files.IsLoaded(m.platform().system_dir + "\\fakemon.dll"));
    // Monitors in registry order: "Fake Monitor" before "Local Port".
    EXPECT_EQ(PortNames(2), (std::vector<std::string>{
                                "FAKE1:|Fake Monitor|Fake port \xE9",
                                "FAKE2:|Fake Monitor|Fake port \xE9", "LPT1:|Local Port|Local Port",
                                "LPT2:|Local Port|Local Port", "COM1:|Local Port|Local Port",
                                "COM2:|Local Port|Local Port", "FILE:|Local Port|Local Port"}));
    EXPECT_EQ(PortNames(1)[1], "FAKE2:");
    // AddPrinterA checks the port against the same list (then the driver).
    EXPECT_EQ(Outcome(test::AddPrinter("TAVRIN", "REGONLY:") != nullptr),
              static_cast<DWORD>(ERROR_UNKNOWN_PORT));
    EXPECT_EQ(Outcome(test::AddPrinter("TAVRIN", "fake2:") != nullptr),
              static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
    if (c.platform.family == sim::Family::NT && c.platform.driver_version == 3) {
      // The monitor wrote through the spooler's registry functions, in UTF-16.
      EXPECT_EQ(
          m.registry.GetValue(HKEY_LOCAL_MACHINE, kMonitorKey + "\\State", "Note")->AsString(),
          "written \xE9");
      m.services.StopSpooler();
      EXPECT_EQ(fake.calls.back(), "Shutdown");
    }
  }

  // What cannot be loaded leaves nothing registered.
  struct Refusal {
    const char* what;
    sim::Platform platform;
    std::vector<std::string> entries;
    WORD processor;
    std::string bytes;
    DWORD init_error;
    DWORD error;
  };
  const Refusal refusals[] = {
      {"32-bit library on 64-bit Windows", sim::Platform::Win10x64(), {},
       PROCESSOR_ARCHITECTURE_INTEL, "MZfakemon", 0, ERROR_BAD_EXE_FORMAT},
      {"no library at all", sim::Platform::WinXP(), {}, 0xFFFF, "not a library", 0,
       ERROR_BAD_EXE_FORMAT},
      {"only the 9x entry on XP", sim::Platform::WinXP(), {"InitializeMonitorEx"}, 0xFFFF,
       "MZfakemon", 0, ERROR_PROC_NOT_FOUND},
      {"only the NT entries on 98", sim::Platform::Win98(),
       {"InitializePrintMonitor2", "InitializePrintMonitor"}, 0xFFFF, "MZfakemon", 0,
       ERROR_PROC_NOT_FOUND},
      {"the entry fails", sim::Platform::WinXP(), {}, 0xFFFF, "MZfakemon", ERROR_ACCESS_DENIED,
       ERROR_ACCESS_DENIED},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    Boot(r.platform, r.entries, r.processor);
    m.files.Put(m.platform().system_dir + "\\fakemon.dll", r.bytes);
    fake.init_error = r.init_error;
    EXPECT_EQ(AddFake(), r.error);
    EXPECT_FALSE(m.spooler.HasMonitor("Fake Monitor"));
    EXPECT_FALSE(m.files.IsLoaded(m.platform().system_dir + "\\fakemon.dll"));
    EXPECT_TRUE(m.spooler.LoadedLibraries().empty());
  }
}

TEST_F(SpoolerMonitorTest, AJobsBytesReachThePortInOrderAndItLeavesOnceReportedSent) {
  for (const sim::Platform& platform : {sim::Platform::WinXP(), sim::Platform::Win98()}) {
    SCOPED_TRACE(platform.name);
    Boot(platform);
    ASSERT_EQ(AddFake(), 0u);
    AddPrinter("FAKE1:");
    fake.calls.clear();
    fake.take_at_most = 10000;  // the spooler offers the rest again

    // While the application writes, the job is spooling.
    HANDLE printer = Open();
    DOC_INFO_1A doc = {const_cast<LPSTR>("report"), nullptr, nullptr};
    const DWORD id = StartDocPrinterA(printer, 1, reinterpret_cast<LPBYTE>(&doc));
    ASSERT_NE(id, 0u);
    const std::string data = Document(40000);
    DWORD written = 0;
    ASSERT_TRUE(WritePrinter(printer, const_cast<char*>(data.data()), 40000, &written));
    DWORD needed = 0;
    EXPECT_EQ(Outcome(GetJobA(printer, id, 1, nullptr, 0, &needed)),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> record(needed);
    ASSERT_TRUE(GetJobA(printer, id, 1, record.data(), needed, &needed));
    const JOB_INFO_1A& info = *reinterpret_cast<JOB_INFO_1A*>(record.data());
    EXPECT_EQ(info.JobId, id);
    EXPECT_STREQ(info.pPrinterName, "TAVRIN");
    EXPECT_STREQ(info.pUserName, "Administrator");
    EXPECT_STREQ(info.pDocument, "report");
    EXPECT_STREQ(info.pDatatype, "RAW");
    EXPECT_EQ(info.Status, static_cast<DWORD>(JOB_STATUS_SPOOLING));
    EXPECT_EQ(info.Position, 1u);
    ASSERT_TRUE(EndDocPrinter(printer));
    ASSERT_TRUE(ClosePrinter(printer));
    m.spooler.WaitUntilIdle();

    EXPECT_EQ(fake.calls, (std::vector<std::string>{
                              "OpenPort FAKE1:", "StartDocPort TAVRIN, " + std::to_string(id) +
                                                     ", report",
                              "WritePort 16384", "WritePort 6384", "WritePort 16384",
                              "WritePort 6384", "WritePort 7232", "EndDocPort"}));
    EXPECT_TRUE(fake.data == data) << "the bytes, whole and in order";
    EXPECT_EQ(fake.status_at_end, static_cast<DWORD>(JOB_STATUS_PRINTING));
    EXPECT_FALSE(m.spooler.Job(id)) << "reported sent: gone";
    if (platform.family == sim::Family::NT) {
      EXPECT_EQ(m.spooler.PortStatus("fake1:"), "Fake done");
    }

    // Not reported sent: kept. A WritePort that fails: kept as failed, the
    // job still ended. The port stays open across jobs.
    fake.calls.clear();
    fake.report_sent = false;
    const DWORD kept = Print("letter", "short");
    m.spooler.WaitUntilIdle();
    fake.write_error = ERROR_DISK_FULL;
    const DWORD failed = Print("memo", Document(50000));
    m.spooler.WaitUntilIdle();
    EXPECT_EQ(fake.calls,
              (std::vector<std::string>{"StartDocPort TAVRIN, " + std::to_string(kept) + ", letter",
                                        "WritePort 5", "EndDocPort",
                                        "StartDocPort TAVRIN, " + std::to_string(failed) + ", memo",
                                        "WritePort 16384", "EndDocPort"}));
    ASSERT_TRUE(m.spooler.Job(kept));
    EXPECT_EQ(m.spooler.Job(kept)->status, 0u);
    ASSERT_TRUE(m.spooler.Job(failed));
    EXPECT_EQ(m.spooler.Job(failed)->status, static_cast<DWORD>(JOB_STATUS_ERROR));
    EXPECT_EQ(m.spooler.Jobs("TAVRIN"), (std::vector<DWORD>{kept, failed}));

    // With its jobs purged the printer goes at once, and its port is closed.
    HANDLE admin = Open();
    ASSERT_TRUE(SetPrinterA(admin, 0, nullptr, PRINTER_CONTROL_PURGE));
    ASSERT_TRUE(DeletePrinter(admin));
    ClosePrinter(admin);
    EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN"));
    EXPECT_EQ(fake.calls.back(), "ClosePort");
    EXPECT_TRUE(m.files.List(m.platform().spool_dir).empty());
  }
}

TEST_F(SpoolerMonitorTest, APurgeCancelsTheJobTheMonitorHoldsAndTheDeletionWaitsForIt) {
  Boot(sim::Platform::WinXP());
  ASSERT_EQ(AddFake(), 0u);
  AddPrinter("FAKE2:");
  fake.calls.clear();
  fake.entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  fake.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE entered = fake.entered;

  const DWORD held = Print("held", Document(40000));
  const DWORD waiting = Print("waiting", "next");
  ASSERT_EQ(WaitForSingleObject(entered, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(m.spooler.Job(held)->status, static_cast<DWORD>(JOB_STATUS_PRINTING));

  HANDLE printer = Open();
  ASSERT_TRUE(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PURGE));
  EXPECT_EQ(m.spooler.Jobs("TAVRIN"), std::vector<DWORD>{held}) << "the waiting one goes at once";
  EXPECT_FALSE(m.spooler.Job(waiting));
  EXPECT_EQ(m.spooler.Job(held)->status,
            static_cast<DWORD>(JOB_STATUS_PRINTING | JOB_STATUS_DELETING));
  ASSERT_TRUE(DeletePrinter(printer));
  ClosePrinter(printer);
  EXPECT_TRUE(m.spooler.PendingDeletion("TAVRIN"));
  EXPECT_EQ(Outcome(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("Fake Monitor"))),
            static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));

  // Released, the monitor sees the job deleting; nothing more is written.
  SetEvent(fake.release);
  m.spooler.WaitUntilIdle();
  EXPECT_EQ(fake.calls, (std::vector<std::string>{
                            "OpenPort FAKE2:", "StartDocPort TAVRIN, " + std::to_string(held) +
                                                   ", held",
                            "WritePort 16384", "EndDocPort", "ClosePort"}));
  EXPECT_EQ(fake.status_at_end, static_cast<DWORD>(JOB_STATUS_PRINTING | JOB_STATUS_DELETING));
  EXPECT_FALSE(m.spooler.HasPrinter("TAVRIN"));
  EXPECT_TRUE(m.files.List(m.platform().spool_dir).empty());
}

}  // namespace
