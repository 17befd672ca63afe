// Phase 5: the printer on the product's port, then its driver data and
// default device mode, straight from the product's data files.
#include <cstring>
#include <string>

#include "contract/product_names.h"
#include "common/reg_key.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "common/whole_file.h"
#include "install/install_phases.h"

namespace {

constexpr DWORD kPortBufferSize = 4096;
constexpr char kPrinterDataKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\TAVRIN\\PrinterDriverData";
constexpr char kPrinterKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\TAVRIN";

// Console trace only: whether the first port the spooler lists is ours.
void ProbePorts() {
  ConsoleTrace("Enumerating ports\n\n");
  alignas(8) BYTE buffer[kPortBufferSize];
  DWORD needed = 0, returned = 0;
  if (!EnumPortsA(nullptr, 2, buffer, sizeof(buffer), &needed, &returned)) {
    ConsoleTrace("EnumPorts failed\n\n");
    return;
  }
  const PORT_INFO_2A* first = reinterpret_cast<const PORT_INFO_2A*>(buffer);
  if (returned >= 1 && first->pPortName && std::strcmp(first->pPortName, kPortName) == 0)
    ConsoleTrace("Port found\n\n");
}

// Asks the spooler for the printer; an existing printer is only logged.
void AddProductPrinter(const InstallState& state) {
  PRINTER_INFO_2A info;
  std::memset(&info, 0, sizeof(info));
  info.pPrinterName = Writable(kPrinterName);
  info.pPortName = Writable(kPortName);
  info.pDriverName = Writable(kDriverName);
  info.pPrintProcessor = Writable("winprint");
  info.Attributes = state.Win9xCase() ? PRINTER_ATTRIBUTE_LOCAL : 0;

  ConsoleTrace("Adding printer\n\n");
  HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  if (!printer) {
    LogError("AddPrinter", GetLastError());
    return;
  }
  ConsoleTrace("Closing printer\n\n");
  if (!ClosePrinter(printer))
    ConsoleTrace(Format("ClosePrinter: %lu\n\n", static_cast<unsigned long>(GetLastError())));
}

// Reads a data file whole; false when it cannot be opened, buffered or read.
bool ReadDataFile(const std::string& path, HeapBuffer* buffer, DWORD* length) {
  return ReadWholeFile(path, buffer, length) == ReadStep::kDone;
}

// The font substitution table (where the profile keeps it) and the
// driver's private data. Returns false when the routine is to end.
bool WritePrinterDriverData(const InstallState& state) {
  RegKey key;
  if (!key.OpenOrCreate(HKEY_LOCAL_MACHINE, kPrinterDataKey)) return true;

  HeapBuffer font;
  DWORD font_length = 0;
  if (!ReadDataFile(state.Delivered("fontsub.tbl"), &font, &font_length)) return false;
  if (state.profile->stores_font_table) {
    key.SetDword("TTFontSubTableSize", font_length);
    key.SetBinary("TTFontSubTable", font.data(), font_length);
  }
  font.Free();

  HeapBuffer data;
  DWORD data_length = 0;
  if (!ReadDataFile(state.Delivered(state.profile->printer_data_file), &data, &data_length))
    return false;
  key.SetBinary("PrinterData", data.data(), data_length);
  return true;
}

// The printer's default device mode. Returns false when the routine is to
// end.
bool WriteDefaultDevMode(const InstallState& state) {
  RegKey key;
  if (!key.OpenOrCreate(HKEY_LOCAL_MACHINE, kPrinterKey)) return true;
  HeapBuffer devmode;
  DWORD length = 0;
  if (!ReadDataFile(state.root + "tavrin\\res\\drivedir\\" + state.profile->devmode_file,
                    &devmode, &length))
    return false;
  key.SetBinary("Default DevMode", devmode.data(), length);
  return true;
}

}  // namespace

bool CreatePrinter(InstallState& state) {
  ProbePorts();
  AddProductPrinter(state);

  ConsoleTrace("Configuring printer\n\n");
  if (!WritePrinterDriverData(state)) return false;
  return WriteDefaultDevMode(state);
}
