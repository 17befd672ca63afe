// The port monitor's reading of its port list and port records from the
// simulated machine's registry: through advapi32's ANSI functions, as the
// older entry points read it, and through the spooler's own functions
// where InitializePrintMonitor2 was handed them.
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "monitor/monitor_names.h"
#include "monitor/port_config.h"
#include "monitor/port_list.h"
#include "test_support.h"

namespace {

constexpr char kPorts[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\TAVRIN Monitor\\Ports";
constexpr wchar_t kDefaultDescription[] = L"TAVRIN Redirected Port";

// Expects what the monitor assumes when the record holds nothing.
void ExpectDefaults(const PortConfig& config) {
  EXPECT_EQ(config.command, "");
  EXPECT_EQ(config.arguments, "");
  EXPECT_EQ(config.delay_ms, 300u);
  EXPECT_EQ(config.output, 1u);
  EXPECT_FALSE(config.print_error);
  EXPECT_FALSE(config.run_user);
  EXPECT_EQ(config.show_window, 2u);
  EXPECT_FALSE(config.log_use);
  EXPECT_EQ(config.log_name, "");
  EXPECT_FALSE(config.log_debug);
  EXPECT_EQ(config.timeout_s, 0u);
}

// A configuration with no member at its default, to see that a read
// replaces all of it.
PortConfig Stale() {
  PortConfig config;
  config.command = "stale.exe";
  config.arguments = "stale";
  config.delay_ms = config.output = config.show_window = config.timeout_s = 9;
  config.print_error = config.run_user = config.log_use = config.log_debug = true;
  config.log_name = "stale.log";
  return config;
}

// The spooler's registry functions, stubbed. As Wine's spooler hands them
// over, every call answers ERROR_CALL_NOT_IMPLEMENTED; otherwise keys open,
// "Command" reads L"spooler.exe" and every other value is refused.
bool spooler_stubbed = false;
int spooler_calls = 0;

LONG SpoolerAnswer() {
  ++spooler_calls;
  return spooler_stubbed ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_ACCESS_DENIED;
}
LONG WINAPI SpoolerOpenKey(HANDLE root, LPCWSTR, REGSAM, PHANDLE key, HANDLE) {
  if (spooler_stubbed) return SpoolerAnswer();
  *key = root;
  return ERROR_SUCCESS;
}
LONG WINAPI SpoolerCloseKey(HANDLE, HANDLE) { return ERROR_SUCCESS; }
LONG WINAPI SpoolerQueryValue(HANDLE, LPCWSTR name, PDWORD type, PBYTE data, PDWORD bytes,
                              HANDLE) {
  static const wchar_t kCommand[] = L"spooler.exe";
  if (spooler_stubbed || std::wstring(name) != L"Command") return SpoolerAnswer();
  *type = REG_SZ;
  if (data && *bytes < sizeof(kCommand)) return ERROR_MORE_DATA;
  if (data) std::memcpy(data, kCommand, sizeof(kCommand));
  *bytes = sizeof(kCommand);
  return ERROR_SUCCESS;
}

// The registry InitializePrintMonitor2 sets up from the stubbed functions.
std::unique_ptr<ConfigRegistry> ThroughSpooler() {
  static MONITORREG functions = {sizeof(MONITORREG), nullptr, SpoolerOpenKey, SpoolerCloseKey,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 SpoolerQueryValue};
  return MakePreferredRegistry(MakeSpoolerRegistry(reinterpret_cast<HANDLE>(0x100), &functions,
                                                   reinterpret_cast<HANDLE>(0x200)),
                               MakeSystemRegistry(kMonitorKeyW.c_str()));
}

class MonitorPortConfigTest : public test::MachineTest {
 protected:
  void SetUp() override { Boot(sim::Platform::WinXP()); }
  // Every key the monitor opened is closed again.
  void TearDown() override { EXPECT_EQ(m.registry.OpenHandles(), 0); }

  // Writes a value of TAVRINPORT's record (or of the key `key`).
  void Text(const char* name, const std::string& text, const std::string& key = test::kPortKey) {
    m.registry.SetString(HKEY_LOCAL_MACHINE, key, name, text);
  }
  void Number(const char* name, DWORD number, const std::string& key = test::kPortKey) {
    m.registry.SetDword(HKEY_LOCAL_MACHINE, key, name, number);
  }
  void Typed(const char* name, DWORD type, const std::vector<BYTE>& data) {
    m.registry.SetValue(HKEY_LOCAL_MACHINE, test::kPortKey, name, type, data);
  }

  // Every value of the record with a text or number that is not its default;
  // "Arguments" as REG_EXPAND_SZ, which reads as a text too.
  void WriteFullRecord(const std::string& key = test::kPortKey) {
    Text("Command", "D:\\gs\\gswin32c.exe", key);
    m.registry.SetValue(HKEY_LOCAL_MACHINE, key, "Arguments", REG_EXPAND_SZ,
                        test::Bytes("-q \"%1\"", true));
    Number("Delay", 1500, key);
    Number("Output", 0, key);
    Number("PrintError", 1, key);
    Number("RunUser", 1, key);
    Number("ShowWindow", 0, key);
    Number("LogFileUse", 1, key);
    Text("LogFileName", "D:\\logs\\tavrin.log", key);
    Number("LogFileDebug", 1, key);
    Number("Timeout", 45, key);
  }

  // The monitor's key through advapi32, as the older entry points read it.
  std::unique_ptr<ConfigRegistry> advapi32 = MakeSystemRegistry(kMonitorKeyW.c_str());
};
using MonitorPortListTest = MonitorPortConfigTest;
using MonitorSpoolerRegistryTest = MonitorPortConfigTest;
using MonitorReadsSetupRecordTest = MonitorPortConfigTest;

TEST_F(MonitorPortConfigTest, MissingRecordOrValuesGiveDefaults) {
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"no Ports key", [] {}},
      {"no key for the port", [this] { m.registry.CreateKey(HKEY_LOCAL_MACHINE, kPorts); }},
      {"empty key", [this] { m.registry.CreateKey(HKEY_LOCAL_MACHINE, test::kPortKey); }},
      {"another port's record",
       [this] { WriteFullRecord(std::string(kPorts) + "\\TAVRINPORT2"); }},
      {"empty texts, one without its NUL",
       [this] {
         Text("Command", "");
         Typed("Arguments", REG_SZ, {});
         Text("LogFileName", "");
       }},
      {"values of the other type",
       [this] {
         Number("Command", 1);
         Typed("Arguments", REG_BINARY, test::Bytes("-q", true));
         Number("LogFileName", 1);
         Text("Delay", "1000");
         Typed("Output", REG_BINARY, {0, 0, 0, 0});  // a DWORD's size, not its type
         Typed("ShowWindow", REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0});
         for (const char* name : {"PrintError", "RunUser", "LogFileUse", "LogFileDebug", "Timeout"})
           Text(name, "1");
       }},
  };
  for (const auto& [what, setup] : cases) {
    SCOPED_TRACE(what);
    Boot(sim::Platform::WinXP());
    setup();
    PortConfig config = Stale();
    EXPECT_EQ(ReadPortConfig(*advapi32, L"TAVRINPORT", &config), ERROR_SUCCESS);
    ExpectDefaults(config);
  }
}

TEST_F(MonitorPortConfigTest, EveryValueIsRead) {
  WriteFullRecord();
  PortConfig config;
  ASSERT_EQ(ReadPortConfig(*advapi32, L"TAVRINPORT", &config), ERROR_SUCCESS);
  EXPECT_EQ(config.command, "D:\\gs\\gswin32c.exe");
  EXPECT_EQ(config.arguments, "-q \"%1\"");
  EXPECT_EQ(config.delay_ms, 1500u);
  EXPECT_EQ(config.output, 0u);
  EXPECT_TRUE(config.print_error);
  EXPECT_TRUE(config.run_user);
  EXPECT_EQ(config.show_window, 0u);
  EXPECT_TRUE(config.log_use);
  EXPECT_EQ(config.log_name, "D:\\logs\\tavrin.log");
  EXPECT_TRUE(config.log_debug);
  EXPECT_EQ(config.timeout_s, 45u);
}

TEST_F(MonitorPortConfigTest, DelayIsCutAndSwitchesAreAnyNonZero) {
  struct Case {
    DWORD stored;
    DWORD delay;
    bool on;
  };
  const Case cases[] = {
      {0, 0, false},
      {1, 1, true},
      {2, 2, true},
      {kMaxDelayMs - 1, kMaxDelayMs - 1, true},
      {kMaxDelayMs, kMaxDelayMs, true},
      {kMaxDelayMs + 1, kMaxDelayMs, true},
      {0x80000000u, kMaxDelayMs, true},
      {0xFFFFFFFFu, kMaxDelayMs, true},
  };
  for (const Case& c : cases) {
    for (const char* name : {"Delay", "PrintError", "RunUser", "LogFileUse", "LogFileDebug"})
      Number(name, c.stored);
    PortConfig config;
    ASSERT_EQ(ReadPortConfig(*advapi32, L"TAVRINPORT", &config), ERROR_SUCCESS);
    EXPECT_EQ(config.delay_ms, c.delay) << c.stored;
    EXPECT_EQ(config.print_error, c.on) << c.stored;
    EXPECT_EQ(config.run_user, c.on) << c.stored;
    EXPECT_EQ(config.log_use, c.on) << c.stored;
    EXPECT_EQ(config.log_debug, c.on) << c.stored;
  }
}

TEST_F(MonitorPortConfigTest, UnreadableRecordFailsWithDefaults) {
  WriteFullRecord();
  for (LONG error : {static_cast<LONG>(ERROR_ACCESS_DENIED), static_cast<LONG>(ERROR_BADKEY)}) {
    m.FailCall("RegOpenKeyExA", error);
    PortConfig config = Stale();
    EXPECT_EQ(ReadPortConfig(*advapi32, L"TAVRINPORT", &config), error);
    ExpectDefaults(config);
  }
}

// A value whose read fails mid-record keeps its default, and the values
// after it are still read.
TEST_F(MonitorPortConfigTest, UnreadableValueAfterCommandKeepsItsDefault) {
  WriteFullRecord();
  m.registry.FailValue(HKEY_LOCAL_MACHINE, test::kPortKey, "Delay", ERROR_ACCESS_DENIED);
  m.registry.FailValue(HKEY_LOCAL_MACHINE, test::kPortKey, "LogFileName", ERROR_MORE_DATA);
  PortConfig config;
  EXPECT_EQ(ReadPortConfig(*advapi32, L"TAVRINPORT", &config), ERROR_SUCCESS);
  EXPECT_EQ(config.command, "D:\\gs\\gswin32c.exe");
  EXPECT_EQ(config.delay_ms, 300u);
  EXPECT_EQ(config.log_name, "");
  EXPECT_TRUE(config.log_debug);
}

TEST_F(MonitorPortListTest, PortsInRegistryOrderWithTheirDescriptions) {
  // Created out of order; the registry lists them sorted.
  Text("Description", "Zeta's own", std::string(kPorts) + "\\ZETA");
  Number("Description", 5, std::string(kPorts) + "\\NUMBER");
  Text("Description", "", std::string(kPorts) + "\\EMPTY");
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, std::string(kPorts) + "\\BARE");
  Text("Description", "Refused", std::string(kPorts) + "\\ALPHA");
  m.FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED);  // the first value read: ALPHA's
  std::vector<PortEntry> ports{{L"stale", L"stale"}};
  ASSERT_EQ(ReadPorts(*advapi32, &ports), ERROR_SUCCESS);
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"ALPHA", kDefaultDescription}, {L"BARE", kDefaultDescription},
      {L"EMPTY", kDefaultDescription}, {L"NUMBER", kDefaultDescription},
      {L"ZETA", L"Zeta's own"},
  };
  ASSERT_EQ(ports.size(), expected.size());
  for (size_t i = 0; i < ports.size(); ++i) {
    EXPECT_EQ(ports[i].name, expected[i].first) << i;
    EXPECT_EQ(ports[i].description, expected[i].second) << i;
  }
}

TEST_F(MonitorPortListTest, NoPortsKeyIsNoPortsButOtherErrorsFail) {
  std::vector<PortEntry> ports{{L"stale", L"stale"}};
  EXPECT_EQ(ReadPorts(*advapi32, &ports), ERROR_SUCCESS);
  EXPECT_TRUE(ports.empty());
  std::wstring canonical = L"unchanged";
  EXPECT_EQ(FindPort(*advapi32, L"TAVRINPORT", &canonical), ERROR_UNKNOWN_PORT);

  // A "Ports" key that will not open, and one whose listing fails.
  m.registry.CreateKey(HKEY_LOCAL_MACHINE, test::kPortKey);
  for (const char* function : {"RegOpenKeyExA", "RegEnumKeyExA"}) {
    SCOPED_TRACE(function);
    m.FailCall(function, ERROR_ACCESS_DENIED);
    ports = {{L"stale", L"stale"}};
    EXPECT_EQ(ReadPorts(*advapi32, &ports), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(ports.empty());
    m.FailCall(function, ERROR_ACCESS_DENIED);
    EXPECT_EQ(FindPort(*advapi32, L"TAVRINPORT", &canonical), ERROR_ACCESS_DENIED);
  }
  EXPECT_EQ(canonical, L"unchanged");
}

TEST_F(MonitorPortListTest, FindPortIgnoresAsciiCaseAndGivesTheRegistrySpelling) {
  for (const char* port : {"TAVRINPORT", "Pdf2:", "\xc4RGER"})  // "ÄRGER" in the code page
    m.registry.CreateKey(HKEY_LOCAL_MACHINE, std::string(kPorts) + "\\" + port);
  struct Case {
    const wchar_t* asked;
    LONG result;
    const wchar_t* canonical;
  };
  const Case cases[] = {
      {L"TAVRINPORT", ERROR_SUCCESS, L"TAVRINPORT"},
      {L"tavrinport", ERROR_SUCCESS, L"TAVRINPORT"},
      {L"TavrinPort", ERROR_SUCCESS, L"TAVRINPORT"},
      {L"PDF2:", ERROR_SUCCESS, L"Pdf2:"},
      {L"\u00c4rger", ERROR_SUCCESS, L"\u00c4RGER"},
      // Only ASCII letters fold: the spooler's own rules beyond them differ
      // between the platforms.
      {L"\u00e4rger", ERROR_UNKNOWN_PORT, nullptr},
      {L"TAVRINPORT2", ERROR_UNKNOWN_PORT, nullptr},
      {L"TAVRIN", ERROR_UNKNOWN_PORT, nullptr},
      {L"PDF2", ERROR_UNKNOWN_PORT, nullptr},
      {L"", ERROR_UNKNOWN_PORT, nullptr},
      {nullptr, ERROR_UNKNOWN_PORT, nullptr},
  };
  for (const Case& c : cases) {
    std::wstring canonical = L"unchanged";
    const std::wstring asked = c.asked ? c.asked : L"(null)";
    EXPECT_EQ(FindPort(*advapi32, c.asked, &canonical), c.result) << asked.size();
    EXPECT_EQ(canonical, c.canonical ? c.canonical : L"unchanged") << asked.size();
  }
}

// The spooler's functions come first: a value they refuse after "Command"
// keeps its default while the rest is still read, and a refusal is no
// reason to read the machine's record instead. Wine's spooler hands over
// stubs: the first read finds that out, and every read from then on goes
// through advapi32.
TEST_F(MonitorSpoolerRegistryTest, RefusalsStandButStubsGiveWayToAdvapi32) {
  WriteFullRecord();
  spooler_stubbed = false;
  PortConfig config = Stale();
  ASSERT_EQ(ReadPortConfig(*ThroughSpooler(), L"TAVRINPORT", &config), ERROR_SUCCESS);
  EXPECT_EQ(config.command, "spooler.exe");
  config.command = "";
  ExpectDefaults(config);

  spooler_stubbed = true;
  spooler_calls = 0;
  std::unique_ptr<ConfigRegistry> registry = ThroughSpooler();
  ASSERT_EQ(ReadPortConfig(*registry, L"TAVRINPORT", &config), ERROR_SUCCESS);
  EXPECT_EQ(config.delay_ms, 1500u);
  std::vector<PortEntry> ports;
  ASSERT_EQ(ReadPorts(*registry, &ports), ERROR_SUCCESS);
  EXPECT_EQ(ports.size(), 1u);
  EXPECT_EQ(spooler_calls, 1);
}

// The record the setup program writes, read back by the monitor.
TEST_F(MonitorReadsSetupRecordTest, RecordAsInstalled) {
  for (const sim::Platform& platform : {sim::Platform::Win98(), sim::Platform::WinXP()}) {
    SCOPED_TRACE(platform.name);
    Boot(platform);
    StageProduct();
    ASSERT_EQ(RunSetup(), 0);
    std::vector<PortEntry> ports;
    ASSERT_EQ(ReadPorts(*advapi32, &ports), ERROR_SUCCESS);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].name, L"TAVRINPORT");
    EXPECT_EQ(ports[0].description, kDefaultDescription);

    PortConfig config = Stale();
    ASSERT_EQ(ReadPortConfig(*advapi32, L"TAVRINPORT", &config), ERROR_SUCCESS);
    EXPECT_EQ(config.command, "C:\\tavrin\\res\\convert\\gswin32c.exe");
    EXPECT_EQ(config.arguments,
              "@C:\\tavrin\\res\\pdfwrite.rsp -sOutputFile=\"%1\" -c save pop -f -");
    config.command = config.arguments = "";
    ExpectDefaults(config);
  }
}

TEST_F(MonitorReadsSetupRecordTest, InstallRootFromTheProductKey) {
  struct Case {
    const char* stored;  // null: no "Path" value
    const char* root;
  };
  const Case cases[] = {
      {nullptr, "c:\\"},
      {"", "c:\\"},
      {"D:\\Programs", "D:\\Programs\\"},
      {"D:\\Programs\\", "D:\\Programs\\"},
  };
  for (const Case& c : cases) {
    Boot(sim::Platform::WinXP());
    if (c.stored) SetInstallRoot(c.stored);
    EXPECT_EQ(ReadInstallRoot(), c.root) << (c.stored ? c.stored : "(none)");
  }
  Boot(sim::Platform::WinXP());
  m.registry.SetDword(HKEY_LOCAL_MACHINE, test::kProductKey, "Path", 1);
  EXPECT_EQ(ReadInstallRoot(), "c:\\");
}

}  // namespace
