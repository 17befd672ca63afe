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

namespace {

template <typename Function>
FARPROC Export(Function function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

void RegisterMonitorImages(sim::Machine& m) {
  const std::map<std::string, FARPROC> nt = {
      {"InitializePrintMonitor2", Export(InitializePrintMonitor2)},
      {"InitializePrintMonitor", Export(InitializePrintMonitor)}};
  std::map<std::string, FARPROC> nine_x = nt;
  nine_x["InitializeMonitorEx"] = Export(InitializeMonitorEx9x);
  const WORD own = m.platform().architecture;
  m.AddLibraryImage(sim::LibraryImage{"tavmon", own, nt});
  m.AddLibraryImage(sim::LibraryImage{" monitor", own, nine_x});
  m.AddLibraryImage(sim::LibraryImage{kNewMonitorImage, own, nt});
  m.AddLibraryImage(sim::LibraryImage{"tavmon95", PROCESSOR_ARCHITECTURE_INTEL, nine_x});
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
