// The port monitor's reading of its port list and port records: against a
// stand-in registry for its decisions, and against the simulated machine's
// registry for the record exactly as the setup program writes it.
#include "fake_config_registry.h"
#include "contract/port_record.h"
#include "monitor/monitor_names.h"
#include "monitor/port_config.h"
#include "monitor/port_list.h"
#include "test_support.h"

namespace {

constexpr wchar_t kPorts[] = L"Ports";
constexpr wchar_t kPortKey[] = L"Ports\\TAVRINPORT";
constexpr wchar_t kDefaultDescription[] = L"TAVRIN Redirected Port";

// The record's name of a value, as the registry functions take it.
std::wstring Name(PortValueIndex index) {
  const std::string name = kPortRecord[index].name;
  return std::wstring(name.begin(), name.end());
}

// Every value of the record with a text or number that is not its default.
void WriteFullRecord(test::FakeConfigRegistry& registry, const std::wstring& key) {
  registry.SetString(key, Name(PORT_COMMAND), L"D:\\gs\\gswin32c.exe");
  registry.SetString(key, Name(PORT_ARGUMENTS), L"-q \"%1\"");
  registry.SetDword(key, Name(PORT_DELAY), 1500);
  registry.SetDword(key, Name(PORT_OUTPUT), 0);
  registry.SetDword(key, Name(PORT_PRINT_ERROR), 1);
  registry.SetDword(key, Name(PORT_RUN_USER), 1);
  registry.SetDword(key, Name(PORT_SHOW_WINDOW), 0);
  registry.SetDword(key, Name(PORT_LOG_FILE_USE), 1);
  registry.SetString(key, Name(PORT_LOG_FILE_NAME), L"D:\\logs\\tavrin.log");
  registry.SetDword(key, Name(PORT_LOG_FILE_DEBUG), 1);
}

// Expects every member of `config` to be the record's default.
void ExpectDefaults(const PortConfig& config) {
  EXPECT_EQ(config.command, kPortRecord[PORT_COMMAND].default_text);
  EXPECT_EQ(config.arguments, kPortRecord[PORT_ARGUMENTS].default_text);
  EXPECT_EQ(config.delay_ms, kPortRecord[PORT_DELAY].default_number);
  EXPECT_EQ(config.output, kPortRecord[PORT_OUTPUT].default_number);
  EXPECT_EQ(config.print_error, kPortRecord[PORT_PRINT_ERROR].default_number != 0);
  EXPECT_EQ(config.run_user, kPortRecord[PORT_RUN_USER].default_number != 0);
  EXPECT_EQ(config.show_window, kPortRecord[PORT_SHOW_WINDOW].default_number);
  EXPECT_EQ(config.log_use, kPortRecord[PORT_LOG_FILE_USE].default_number != 0);
  EXPECT_EQ(config.log_name, kPortRecord[PORT_LOG_FILE_NAME].default_text);
  EXPECT_EQ(config.log_debug, kPortRecord[PORT_LOG_FILE_DEBUG].default_number != 0);
}

// A configuration with no member at its default, to see that a read
// replaces all of it.
PortConfig Stale() {
  PortConfig config;
  config.command = "stale.exe";
  config.arguments = "stale";
  config.delay_ms = 7;
  config.output = 9;
  config.print_error = config.run_user = config.log_use = config.log_debug = true;
  config.show_window = 9;
  config.log_name = "stale.log";
  return config;
}

TEST(MonitorPortConfigTest, DefaultsAreTheRecordsDefaults) {
  // The numbers the monitor works with when the setup wrote nothing.
  const PortConfig config;
  ExpectDefaults(config);
  EXPECT_EQ(config.delay_ms, 300u);
  EXPECT_EQ(config.output, 1u);
  EXPECT_EQ(config.show_window, 2u);
}

TEST(MonitorPortConfigTest, MissingRecordOrValuesGiveDefaults) {
  struct Case {
    const char* what;
    void (*setup)(test::FakeConfigRegistry&);
  };
  const Case cases[] = {
      {"no Ports key", [](test::FakeConfigRegistry&) {}},
      {"no key for the port", [](test::FakeConfigRegistry& r) { r.AddKey(kPorts); }},
      {"empty key", [](test::FakeConfigRegistry& r) { r.AddKey(kPortKey); }},
      {"another port's record",
       [](test::FakeConfigRegistry& r) { WriteFullRecord(r, L"Ports\\OTHER"); }},
      {"values of the other type",
       [](test::FakeConfigRegistry& r) {
         r.SetDword(kPortKey, Name(PORT_COMMAND), 1);
         r.SetDword(kPortKey, Name(PORT_ARGUMENTS), 1);
         r.SetDword(kPortKey, Name(PORT_LOG_FILE_NAME), 1);
         r.SetString(kPortKey, Name(PORT_DELAY), L"1000");
         r.SetString(kPortKey, Name(PORT_OUTPUT), L"0");
         r.SetString(kPortKey, Name(PORT_PRINT_ERROR), L"1");
         r.SetString(kPortKey, Name(PORT_RUN_USER), L"1");
         r.SetString(kPortKey, Name(PORT_SHOW_WINDOW), L"0");
         r.SetString(kPortKey, Name(PORT_LOG_FILE_USE), L"1");
         r.SetString(kPortKey, Name(PORT_LOG_FILE_DEBUG), L"1");
       }},
  };
  for (const Case& c : cases) {
    test::FakeConfigRegistry registry;
    c.setup(registry);
    PortConfig config = Stale();
    EXPECT_EQ(ReadPortConfig(registry, L"TAVRINPORT", &config), ERROR_SUCCESS) << c.what;
    SCOPED_TRACE(c.what);
    ExpectDefaults(config);
  }
}

TEST(MonitorPortConfigTest, EveryValueIsRead) {
  test::FakeConfigRegistry registry;
  WriteFullRecord(registry, kPortKey);
  PortConfig config;
  ASSERT_EQ(ReadPortConfig(registry, L"TAVRINPORT", &config), ERROR_SUCCESS);
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
}

TEST(MonitorPortConfigTest, EmptyTextsAreKeptNotDefaulted) {
  // An empty "Command" is what the setup stored; the job reports it.
  test::FakeConfigRegistry registry;
  registry.SetString(kPortKey, Name(PORT_COMMAND), L"");
  registry.SetString(kPortKey, Name(PORT_ARGUMENTS), L"");
  PortConfig config = Stale();
  ASSERT_EQ(ReadPortConfig(registry, L"TAVRINPORT", &config), ERROR_SUCCESS);
  EXPECT_EQ(config.command, "");
  EXPECT_EQ(config.arguments, "");
}

TEST(MonitorPortConfigTest, DelayIsCutAndSwitchesAreAnyNonZero) {
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
    test::FakeConfigRegistry registry;
    registry.SetDword(kPortKey, Name(PORT_DELAY), c.stored);
    for (PortValueIndex index : {PORT_PRINT_ERROR, PORT_RUN_USER, PORT_LOG_FILE_USE,
                                 PORT_LOG_FILE_DEBUG})
      registry.SetDword(kPortKey, Name(index), c.stored);
    PortConfig config;
    ASSERT_EQ(ReadPortConfig(registry, L"TAVRINPORT", &config), ERROR_SUCCESS);
    EXPECT_EQ(config.delay_ms, c.delay) << c.stored;
    EXPECT_EQ(config.print_error, c.on) << c.stored;
    EXPECT_EQ(config.run_user, c.on) << c.stored;
    EXPECT_EQ(config.log_use, c.on) << c.stored;
    EXPECT_EQ(config.log_debug, c.on) << c.stored;
  }
}

TEST(MonitorPortConfigTest, UnreadableRecordFailsWithDefaults) {
  for (LONG error : {static_cast<LONG>(ERROR_ACCESS_DENIED), static_cast<LONG>(ERROR_BADKEY)}) {
    test::FakeConfigRegistry registry;
    WriteFullRecord(registry, kPortKey);
    registry.FailKey(kPortKey, error);
    PortConfig config = Stale();
    EXPECT_EQ(ReadPortConfig(registry, L"TAVRINPORT", &config), error);
    ExpectDefaults(config);
  }
}

TEST(MonitorPortConfigTest, UnreadableValueAfterCommandKeepsItsDefault) {
  test::FakeConfigRegistry registry;
  WriteFullRecord(registry, kPortKey);
  registry.FailValue(kPortKey, Name(PORT_DELAY), ERROR_ACCESS_DENIED);
  registry.FailValue(kPortKey, Name(PORT_LOG_FILE_NAME), ERROR_MORE_DATA);
  PortConfig config;
  EXPECT_EQ(ReadPortConfig(registry, L"TAVRINPORT", &config), ERROR_SUCCESS);
  EXPECT_EQ(config.command, "D:\\gs\\gswin32c.exe");
  EXPECT_EQ(config.delay_ms, 300u);
  EXPECT_EQ(config.log_name, "");
  EXPECT_TRUE(config.log_debug);
}

TEST(MonitorPortListTest, PortsInRegistryOrderWithTheirDescriptions) {
  test::FakeConfigRegistry registry;
  registry.SetString(L"Ports\\ZETA", L"Description", L"Last but first");
  registry.AddKey(L"Ports\\ALPHA");  // no description
  registry.SetString(L"Ports\\EMPTY", L"Description", L"");
  registry.SetDword(L"Ports\\NUMBER", L"Description", 5);
  registry.SetString(L"Ports\\LOCKED", L"Description", L"Unreadable");
  registry.FailKey(L"Ports\\LOCKED", ERROR_ACCESS_DENIED);
  std::vector<PortEntry> ports{{L"stale", L"stale"}};
  ASSERT_EQ(ReadPorts(registry, &ports), ERROR_SUCCESS);
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"ZETA", L"Last but first"},
      {L"ALPHA", kDefaultDescription},
      {L"EMPTY", kDefaultDescription},
      {L"NUMBER", kDefaultDescription},
      {L"LOCKED", kDefaultDescription},
  };
  ASSERT_EQ(ports.size(), expected.size());
  for (size_t i = 0; i < ports.size(); ++i) {
    EXPECT_EQ(ports[i].name, expected[i].first) << i;
    EXPECT_EQ(ports[i].description, expected[i].second) << i;
  }
}

TEST(MonitorPortListTest, NoPortsKeyIsNoPortsButOtherErrorsFail) {
  test::FakeConfigRegistry none;
  std::vector<PortEntry> ports{{L"stale", L"stale"}};
  EXPECT_EQ(ReadPorts(none, &ports), ERROR_SUCCESS);
  EXPECT_TRUE(ports.empty());

  test::FakeConfigRegistry locked;
  locked.AddKey(kPortKey);
  locked.FailKey(kPorts, ERROR_ACCESS_DENIED);
  ports = {{L"stale", L"stale"}};
  EXPECT_EQ(ReadPorts(locked, &ports), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(ports.empty());
  std::wstring canonical = L"unchanged";
  EXPECT_EQ(FindPort(locked, L"TAVRINPORT", &canonical), ERROR_ACCESS_DENIED);
  EXPECT_EQ(FindPort(none, L"TAVRINPORT", &canonical), ERROR_UNKNOWN_PORT);
  EXPECT_EQ(canonical, L"unchanged");
}

TEST(MonitorPortListTest, FindPortIgnoresAsciiCaseAndGivesTheRegistrySpelling) {
  test::FakeConfigRegistry registry;
  registry.AddKey(L"Ports\\TAVRINPORT");
  registry.AddKey(L"Ports\\Pdf2:");
  registry.AddKey(L"Ports\\\u00c4RGER");
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
    EXPECT_EQ(FindPort(registry, c.asked, &canonical), c.result) << asked.size();
    EXPECT_EQ(canonical, c.canonical ? c.canonical : L"unchanged") << asked.size();
  }
}

// The record the setup program writes, read back through the monitor's own
// registry access (advapi32's ANSI functions) on the simulated machine.
class MonitorReadsSetupRecordTest : public test::MachineTest {
 protected:
  std::unique_ptr<ConfigRegistry> MonitorKey() { return MakeSystemRegistry(kMonitorKeyW.c_str()); }
  static constexpr char kPortPath[] =
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\TAVRIN Monitor\\Ports\\TAVRINPORT";
};

TEST_F(MonitorReadsSetupRecordTest, RecordAsInstalled) {
  for (const sim::Platform& platform : {sim::Platform::Win98(), sim::Platform::WinXP()}) {
    Boot(platform);
    StageProduct();
    ASSERT_EQ(RunSetup(), 0);
    std::unique_ptr<ConfigRegistry> registry = MonitorKey();
    std::vector<PortEntry> ports;
    ASSERT_EQ(ReadPorts(*registry, &ports), ERROR_SUCCESS);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].name, L"TAVRINPORT");
    EXPECT_EQ(ports[0].description, kDefaultDescription);
    std::wstring canonical;
    EXPECT_EQ(FindPort(*registry, L"tavrinport", &canonical), ERROR_SUCCESS);
    EXPECT_EQ(canonical, L"TAVRINPORT");

    PortConfig config = Stale();
    ASSERT_EQ(ReadPortConfig(*registry, L"TAVRINPORT", &config), ERROR_SUCCESS);
    EXPECT_EQ(config.command, "C:\\tavrin\\res\\convert\\gswin32c.exe");
    EXPECT_EQ(config.arguments,
              "@C:\\tavrin\\res\\pdfwrite.rsp -sOutputFile=\"%1\" -c save pop -f -");
    ExpectDefaults([&] {
      PortConfig rest = config;
      rest.command = kPortRecord[PORT_COMMAND].default_text;
      rest.arguments = kPortRecord[PORT_ARGUMENTS].default_text;
      return rest;
    }());
  }
}

TEST_F(MonitorReadsSetupRecordTest, ValuesOfTheWrongTypeKeepTheirDefaults) {
  Boot(sim::Platform::WinXP());
  StageProduct();
  ASSERT_EQ(RunSetup(), 0);
  m.registry.SetString(HKEY_LOCAL_MACHINE, kPortPath, "Delay", "1000");
  m.registry.SetValue(HKEY_LOCAL_MACHINE, kPortPath, "ShowWindow", REG_BINARY,
                      {1, 0, 0, 0, 0, 0, 0, 0});
  m.registry.SetValue(HKEY_LOCAL_MACHINE, kPortPath, "Output", REG_BINARY, {0, 0, 0, 0});
  m.registry.SetDword(HKEY_LOCAL_MACHINE, kPortPath, "Command", 1);
  PortConfig config;
  ASSERT_EQ(ReadPortConfig(*MonitorKey(), L"TAVRINPORT", &config), ERROR_SUCCESS);
  EXPECT_EQ(config.delay_ms, 300u);
  EXPECT_EQ(config.show_window, 2u);
  EXPECT_EQ(config.output, 1u);
  EXPECT_EQ(config.command, "");
  EXPECT_EQ(m.registry.OpenHandles(), 0);
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
