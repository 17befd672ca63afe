// Shared set-up for the tests that run the program on the simulated machine.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/win32.h"
#include "sim/machine.h"

namespace test {

inline constexpr char kProductKey[] = "Software\\Tavrin";
inline constexpr char kLogPath[] = "c:\\tavrin\\res\\drivedir\\setup.log";
inline constexpr char kIniPath[] = "c:\\tavrin\\res\\tavrin.ini";
inline constexpr char kUninstallEntry[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavrin";

// The spooler's registry keys that hold the product's records.
inline constexpr char kPrint[] = "SYSTEM\\CurrentControlSet\\Control\\Print";
inline constexpr char kPrinterKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\TAVRIN";
inline constexpr char kDataKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\TAVRIN\\PrinterDriverData";
inline constexpr char kPortKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\TAVRIN Monitor\\Ports\\TAVRINPORT";

// Messages more than one group of tests expects, as the user reads them.
inline constexpr char kRpcMessage[] =
    "Setup has determined that you need to manually configure TAVRIN due to the settings of "
    "your Remote Procedure Call service. Instructions will follow.";
inline constexpr char kRpcPage[] = "c:\\tavrin\\res\\drivedir\\rpcinaccessible";
inline constexpr char kRebootRightsMessage[] =
    "In order to upgrade tavrin you must reboot and re-run setup. Note: Administrative privileges "
    "may also be necessary.";

// Registers the port monitor's two libraries with the machine, as Boot does:
// image "tavmon" (tavmon.dll, 64-bit on x64 platforms) with the NT-style
// entry points, and "tavmon95" (tavmon95.dll, 32-bit) with the 9x entry
// point as well. A file holding "MZtavmon" is then the monitor library.
// The bytes " monitor" (a file holding "MZ monitor") stand for the NT-style
// library too.
// "tavmon 2.0" (a file holding "MZtavmon 2.0") is a newer NT-style library
// of the same monitor, for the upgrade tests.
inline constexpr char kNewMonitorImage[] = "tavmon 2.0";
void RegisterMonitorImages(sim::Machine& m);

// 0 when the call succeeded, else its last error.
inline DWORD Outcome(BOOL ok) { return ok ? 0 : GetLastError(); }

// The printer driver the spooler tests install.
inline constexpr char kDriver[] = "TAVRIN Printer Driver";

// Adds kDriver at level 3 in `version` for the platform's environment, its
// files (pscript.dll, gs.PPD, Tavrinui.dll) put in the driver folder.
BOOL AddLevel3Driver(DWORD version);

// Adds the printer `name` on `port` (AddPrinterA at level 2).
HANDLE AddPrinter(const char* name, const char* port, const char* driver = kDriver,
                  const char* processor = "winprint");

// The error CreateFileA fails with for `path`, or 0 when it opens (the
// handle is then closed).
DWORD OpenError(const std::string& path, DWORD access,
                DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE,
                DWORD disposition = OPEN_EXISTING);

// Prints `data` to the printer "TAVRIN" as document `name` the way an
// application does: StartDocPrinterA with `datatype`, then WritePrinter in
// pieces of at most `piece` bytes (0: all in one). Returns the job's id.
DWORD PrintDocument(const std::string& name, const std::string& data,
                    const char* datatype = nullptr, size_t piece = 0);

// A fixture that boots a machine for every test and runs the program on it.
class MachineTest : public ::testing::Test {
 protected:
  sim::Machine& m = sim::M();

  // Boots the platform with the product unpacked under c:\ (the default
  // install root): the log folder exists, the product key is not written,
  // the monitor's libraries are known to the machine
  // (RegisterMonitorImages).
  void Boot(const sim::Platform& platform);

  // Writes HKLM\Software\Tavrin "Path".
  void SetInstallRoot(const std::string& root);

  // Starts C:\tavrin\setup.exe with the given argument text (appended after
  // one blank) and returns the process exit code.
  int RunSetup(const std::string& arguments = "");

  // The setup log's lines without their timestamps; `path` defaults to the
  // log under c:\.
  std::vector<std::string> LogMessages(const std::string& path = kLogPath) const;

  // The journal lines that start with one of the prefixes, in order.
  std::vector<std::string> Calls(const std::vector<std::string>& prefixes) const;

  // The message box texts, in order.
  std::vector<std::string> BoxTexts() const;

  // Unpacks the product as the outer installer does: every file setup.exe
  // reads, under the setup folder of C:\tavrin\setup.exe and the install
  // root c:\ (both the same folder), each with content of its own.
  void StageProduct();
  // The content StageProduct gave a file (by its name alone): the monitor
  // libraries tavmon.dll and tavmon95.dll hold their images ("MZtavmon",
  // "MZtavmon95"), every other file bytes of its own.
  static std::string ContentOf(const std::string& name);
  // Windows 9x: the system's PostScript driver (Apple LaserWriter II NT)
  // with its files in the printer-driver folder.
  void InstallApplePostScriptDriver();
  // Runs a first install and clears the journal, boxes, processes and log.
  void InstallOnce();
};

// Whether `sequence` holds lines starting with each of `expected`, in that
// order (other lines may come between).
::testing::AssertionResult InOrder(const std::vector<std::string>& sequence,
                                   const std::vector<std::string>& expected);

// The name of a parameterised test's platform, as a test name takes it:
// "Windows XP SP1" gives "WindowsXPSP1".
std::string PlatformTestName(const ::testing::TestParamInfo<sim::Platform>& info);

// Bytes of a text, optionally with its terminating NUL.
std::vector<BYTE> Bytes(const std::string& text, bool with_nul = false);

}  // namespace test

namespace sim {
// How GoogleTest prints a platform parameter: by its name.
inline void PrintTo(const Platform& platform, std::ostream* out) { *out << platform.name; }
}  // namespace sim
