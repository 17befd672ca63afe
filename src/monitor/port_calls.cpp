// The port functions the spooler calls through its tables.
#include "monitor/port_calls.h"

#include "common/win32.h"

#include "monitor/barrier.h"
#include "monitor/monitor_text.h"
#include "monitor/port_handle.h"

namespace port_calls {

namespace {

// The document's name from a DOC_INFO_1 or DOC_INFO_2 record (both begin
// with it); null for other levels or without one.
template <typename DocInfo1, typename CharT>
const CharT* DocumentName(DWORD level, LPBYTE doc_info) {
  if ((level != 1 && level != 2) || !doc_info) return nullptr;
  return reinterpret_cast<const DocInfo1*>(doc_info)->pDocName;
}

LONG library_kept = 0;

// From the first job on the library stays loaded for the rest of the
// process, as Windows' spooler keeps its monitors. Wine's spooler loads the
// monitor for every job and unloads it after, and every load leaves behind
// what the static runtime never gives back (the 32-bit unwinder's lock, a
// semaphore): a handle more in the printing process for each job.
void KeepLibraryLoaded() {
  if (InterlockedExchange(&library_kept, 1) != 0) return;
  MEMORY_BASIC_INFORMATION region;
  char path[MAX_PATH];
  if (VirtualQuery(reinterpret_cast<LPCVOID>(&KeepLibraryLoaded), &region, sizeof(region)) &&
      GetModuleFileNameA(static_cast<HMODULE>(region.AllocationBase), path, sizeof(path)))
    LoadLibraryA(path);  // one more reference, never released
}

}  // namespace

BOOL WINAPI StartDocPortW(HANDLE port, LPWSTR printer, DWORD job_id, DWORD level, LPBYTE doc_info) {
  KeepLibraryLoaded();
  return Guarded([&] {
    PortHandle* open = PortHandle::FromHandle(port);
    if (!open) return FALSE;
    return open->StartDoc(printer, job_id, DocumentName<DOC_INFO_1W, wchar_t>(level, doc_info));
  });
}

BOOL WINAPI StartDocPortA(HANDLE port, LPSTR printer, DWORD job_id, DWORD level, LPBYTE doc_info) {
  KeepLibraryLoaded();
  return Guarded([&] {
    PortHandle* open = PortHandle::FromHandle(port);
    if (!open) return FALSE;
    const std::wstring printer_name = Widen(printer);
    const std::wstring document = Widen(DocumentName<DOC_INFO_1A, char>(level, doc_info));
    return open->StartDoc(printer_name.c_str(), job_id, document.c_str());
  });
}

BOOL WINAPI WritePort(HANDLE port, LPBYTE data, DWORD size, LPDWORD written) {
  return Guarded([&] {
    if (!written) return Fail(ERROR_INVALID_PARAMETER);
    *written = 0;
    PortHandle* open = PortHandle::FromHandle(port);
    if (!open) return FALSE;
    return open->Write(data, size, written);
  });
}

BOOL WINAPI ReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read) {
  return Guarded([&] {
    if (!read) return Fail(ERROR_INVALID_PARAMETER);
    *read = 0;
    PortHandle* open = PortHandle::FromHandle(port);
    if (!open) return FALSE;
    return open->Read(buffer, size, read);
  });
}

BOOL WINAPI EndDocPort(HANDLE port) {
  return Guarded([&] {
    PortHandle* open = PortHandle::FromHandle(port);
    if (!open) return FALSE;
    return open->EndDoc();
  });
}

BOOL WINAPI ClosePort(HANDLE port) {
  return Guarded([&] { return PortHandle::Close(port); });
}

}  // namespace port_calls
