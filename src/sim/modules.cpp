// Libraries the program loads by name: the monitor libraries are linked into
// the native build, and a file is such a library when the machine knows its
// image (Machine::AddLibraryImage).
#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/win32_api.h"

namespace {

// The processor the calling process is built for.
WORD ProcessProcessor() {
  const sim::Machine& m = sim::M();
  return m.wow64 ? PROCESSOR_ARCHITECTURE_INTEL : m.platform().architecture;
}

// `name` as a path: a bare name is looked for in the system folder.
std::string LibraryPath(const std::string& name) {
  if (name.find_first_of("\\/:") != std::string::npos) return name;
  return sim::M().platform().system_dir + "\\" + name;
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("LoadLibraryA")) return nullptr;
  if (!lpLibFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string path = LibraryPath(lpLibFileName);
  if (!sim::M().files.Exists(path)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const sim::LibraryImage* image = sim::M().ImageOfFile(path);
  if (!image) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  if (image->processor != ProcessProcessor()) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  return const_cast<sim::LibraryImage*>(image);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) { return hLibModule ? TRUE : FALSE; }

BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) { return hLibModule ? TRUE : FALSE; }

// The linked-in libraries have no address range of their own in the machine:
// no address is found in one.
size_t WINAPI VirtualQuery(LPCVOID lpAddress, PMEMORY_BASIC_INFORMATION lpBuffer,
                           size_t dwLength) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}
