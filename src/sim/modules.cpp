// Libraries the program loads by name: the monitor libraries are linked into
// the native build, and a file is such a library when the machine knows its
// image (Machine::AddLibraryImage).
#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/win32_api.h"

namespace sim {

std::string LibraryPath(const std::string& name) {
  if (name.find_first_of("\\/:") != std::string::npos) return name;
  return M().platform().system_dir + "\\" + name;
}

const LibraryImage* FindLibrary(const std::string& path, WORD processor, DWORD* error) {
  if (!M().files.Exists(path)) {
    *error = ERROR_MOD_NOT_FOUND;
    return nullptr;
  }
  const LibraryImage* image = M().ImageOfFile(path);
  if (!image || image->processor != processor) {
    *error = ERROR_BAD_EXE_FORMAT;
    return nullptr;
  }
  return image;
}

}  // namespace sim

// The program's process loads libraries built for its own processor.
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("LoadLibraryA")) return nullptr;
  if (!lpLibFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const WORD processor =
      sim::UnderWow64() ? PROCESSOR_ARCHITECTURE_INTEL : sim::M().platform().architecture;
  DWORD error = 0;
  const sim::LibraryImage* image =
      sim::FindLibrary(sim::LibraryPath(lpLibFileName), processor, &error);
  if (!image) {
    SetLastError(error);
    return nullptr;
  }
  return const_cast<sim::LibraryImage*>(image);
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) { return hLibModule ? TRUE : FALSE; }

// The linked-in libraries have no address range of their own in the machine:
// no address is found in one.
size_t WINAPI VirtualQuery(LPCVOID lpAddress, PMEMORY_BASIC_INFORMATION lpBuffer,
                           size_t dwLength) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}
