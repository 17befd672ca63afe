// Shared set-up for the tests that run the program on the simulated machine.
#include "test_support.h"

#include <cctype>
#include <map>

#include "contract/monitor_table_9x.h"
#include "framework/afxwin.h"

// The monitor's entry points, linked into the test program (the libraries
// export them through their .def files).
extern "C" {
LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor);
LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR registry_root);
BOOL WINAPI InitializeMonitorEx9x(LPSTR registry_root, Monitor9xTable* monitor);
}

namespace test {

void RegisterMonitorImages(sim::Machine& m) {
  const std::map<std::string, FARPROC> nt = {
      {"InitializePrintMonitor2", sim::AsFarproc(InitializePrintMonitor2)},
      {"InitializePrintMonitor", sim::AsFarproc(InitializePrintMonitor)}};
  std::map<std::string, FARPROC> nine_x = nt;
  nine_x["InitializeMonitorEx"] = sim::AsFarproc(InitializeMonitorEx9x);
  const WORD own = m.platform().architecture;
  m.AddLibraryImage(sim::LibraryImage{"tavmon", own, nt});
  m.AddLibraryImage(sim::LibraryImage{" monitor", own, nine_x});
  m.AddLibraryImage(sim::LibraryImage{kNewMonitorImage, own, nt});
  m.AddLibraryImage(sim::LibraryImage{"tavmon95", PROCESSOR_ARCHITECTURE_INTEL, nine_x});
}

BOOL AddLevel3Driver(DWORD version) {
  sim::Machine& m = sim::M();
  std::string dir = m.platform().driver_dir + "\\";
  for (const char* f : {"pscript.dll", "gs.PPD", "Tavrinui.dll"}) m.files.Put(dir + f, f);
  std::string driver = dir + "pscript.dll", data = dir + "gs.PPD", config = dir + "Tavrinui.dll";
  DRIVER_INFO_3A info = {};
  info.cVersion = version;
  info.pName = const_cast<LPSTR>(kDriver);
  info.pEnvironment = const_cast<LPSTR>(m.platform().environment.c_str());
  info.pDriverPath = driver.data();
  info.pDataFile = data.data();
  info.pConfigFile = config.data();
  info.pDefaultDataType = const_cast<LPSTR>("RAW");
  return AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&info));
}

HANDLE AddPrinter(const char* name, const char* port, const char* driver, const char* processor) {
  PRINTER_INFO_2A info = {};
  info.pPrinterName = const_cast<LPSTR>(name);
  info.pPortName = const_cast<LPSTR>(port);
  info.pDriverName = const_cast<LPSTR>(driver);
  info.pPrintProcessor = const_cast<LPSTR>(processor);
  return AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
}

DWORD OpenError(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  HANDLE file = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(file);
  return 0;
}

DWORD PrintDocument(const std::string& name, const std::string& data, const char* datatype,
                    size_t piece) {
  HANDLE printer = nullptr;
  EXPECT_TRUE(OpenPrinterA(const_cast<LPSTR>("TAVRIN"), &printer, nullptr));
  DOC_INFO_1A doc = {const_cast<LPSTR>(name.c_str()), nullptr, const_cast<LPSTR>(datatype)};
  const DWORD id = StartDocPrinterA(printer, 1, reinterpret_cast<LPBYTE>(&doc));
  EXPECT_NE(id, 0u);
  const size_t step = piece ? piece : data.size();
  for (size_t done = 0; done < data.size(); done += step) {
    std::string part = data.substr(done, step);
    DWORD written = 0;
    EXPECT_TRUE(WritePrinter(printer, &part[0], static_cast<DWORD>(part.size()), &written));
  }
  EXPECT_TRUE(EndDocPrinter(printer));
  EXPECT_TRUE(ClosePrinter(printer));
  return id;
}

void MachineTest::Boot(const sim::Platform& platform) {
  m.Reset(platform);
  RegisterMonitorImages(m);
  m.files.MakeDirectory("C:\\tavrin\\res\\drivedir");
  // Tests that call a routine directly see the names the framework's
  // start-up would have set.
  if (CWinApp* app = AfxGetApp()) app->SetNamesFromModule();
}

void MachineTest::SetInstallRoot(const std::string& root) {
  m.registry.SetString(HKEY_LOCAL_MACHINE, kProductKey, "Path", root);
}

int MachineTest::RunSetup(const std::string& arguments) {
  m.command_line = "C:\\tavrin\\setup.exe";
  if (!arguments.empty()) m.command_line += " " + arguments;
  return AfxWinMain(nullptr);
}

std::vector<std::string> MachineTest::LogMessages(const std::string& path) const {
  std::vector<std::string> lines;
  auto content = m.files.Get(path);
  if (!content) return lines;
  size_t start = 0;
  while (start < content->size()) {
    size_t end = content->find("\r\n", start);
    if (end == std::string::npos) end = content->size();
    std::string line = content->substr(start, end - start);
    // "12-03-02: 21:35" precedes every message.
    lines.push_back(line.size() >= 15 ? line.substr(15) : line);
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> MachineTest::Calls(const std::vector<std::string>& prefixes) const {
  std::vector<std::string> out;
  for (const std::string& line : m.journal) {
    for (const std::string& prefix : prefixes) {
      if (line.rfind(prefix, 0) == 0) {
        out.push_back(line);
        break;
      }
    }
  }
  return out;
}

std::vector<std::string> MachineTest::BoxTexts() const {
  std::vector<std::string> out;
  for (const sim::MessageBoxRecord& box : m.message_boxes) out.push_back(box.text);
  return out;
}

namespace {

const char* const kDeliveredFiles[] = {
    "tavmon.dll",     "tavmon95.dll",     "tavmona.dll",   "tavmona95.dll",  "tavdriver.SPD",
    "Pscript.dll",    "Tavrinui.dll",     "Pscript.hlp",   "gs.PPD",         "fontsub.tbl",
    "tavrinps5.PPD",  "pscript5.dll",     "ps5ui.dll",     "tavrin.INI",     "tavrinui5.DLL",
    "pscript.ntf",    "printerdata.dat",  "printerdata5.dat", "dfdevmd.dat", "dfdevmdnt.dat",
    "dfdevmdnt5.dat", "download.htm",     "rpcinaccessible.tmp"};

const char* const kApple9xFiles[] = {"Pscript.drv", "Pscript.hlp",  "msprint.cat",
                                     "LWNT_470.SPD", "PSCRIPT.INI", "TESTPS.TXT",
                                     "APPLE380.SPD", "FONTS.MFM",   "ICONLIB.DLL",
                                     "PSMON.DLL"};

}  // namespace

std::string MachineTest::ContentOf(const std::string& name) {
  if (name == "tavmon.dll") return "MZtavmon";
  if (name == "tavmon95.dll") return "MZtavmon95";
  // Binary content with NULs and high bytes, of a length of its own.
  std::string bytes = "[" + name + "]";
  bytes.push_back('\0');
  bytes.push_back(static_cast<char>(0xFF));
  for (size_t i = 0; i < name.size() * 3; ++i) bytes.push_back(static_cast<char>(i * 37));
  return bytes;
}

void MachineTest::StageProduct() {
  const std::string drivedir = "C:\\tavrin\\res\\drivedir\\";
  for (const char* name : kDeliveredFiles) m.files.Put(drivedir + name, ContentOf(name));
  m.files.Put("C:\\tavrin\\res\\pdfwrite.rsp", "-sDEVICE=pdfwrite\r\n");
  m.files.Put("C:\\tavrin\\res\\convert\\gswin32c.exe", "MZ gswin32c");
  m.files.Put("C:\\tavrin\\readme.html", "<html>readme</html>");
  m.files.Put("C:\\tavrin\\res\\tavrin.ini", "[Parameters]\r\nUninstall=\r\nQuiet=0\r\n");
  m.files.Put("C:\\tavrin\\res\\utilities\\readme.html",
              "<html>Ostrel readme. This is version 4.2 of Ostrel.</html>");
}

void MachineTest::InstallApplePostScriptDriver() {
  for (const char* name : kApple9xFiles)
    m.files.Put(m.platform().driver_dir + "\\" + name, ContentOf(name));
}

void MachineTest::InstallOnce() {
  RunSetup();
  m.journal.clear();
  m.message_boxes.clear();
  m.processes.clear();
  m.console.clear();
  m.files.Put(kLogPath, "");
}

::testing::AssertionResult InOrder(const std::vector<std::string>& sequence,
                                   const std::vector<std::string>& expected) {
  size_t next = 0;
  for (const std::string& line : sequence) {
    if (next < expected.size() && line.rfind(expected[next], 0) == 0) ++next;
  }
  if (next == expected.size()) return ::testing::AssertionSuccess();
  std::string all;
  for (const std::string& line : sequence) all += "\n  " + line;
  return ::testing::AssertionFailure()
         << "missing \"" << expected[next] << "\" (and what follows it) in:" << all;
}

std::vector<BYTE> Bytes(const std::string& text, bool with_nul) {
  std::vector<BYTE> out(text.begin(), text.end());
  if (with_nul) out.push_back(0);
  return out;
}

std::string PlatformTestName(const ::testing::TestParamInfo<sim::Platform>& info) {
  std::string name;
  for (char c : info.param.name)
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  return name;
}

}  // namespace test
