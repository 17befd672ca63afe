// The setup log and the console trace.
#include "common/setup_log.h"

#include "common/install_root.h"
#include "common/last_error.h"
#include "contract/product_layout.h"
#include "common/text.h"
#include "framework/afx_file.h"

namespace {

// Returns the timestamp that starts every line: "12-03-02: 21:35".
std::string Timestamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return Format("%02u-%02u-%02u: %02u:%02u", now.wMonth, now.wDay, now.wYear % 100u, now.wHour,
                now.wMinute);
}

}  // namespace

void LogLine(const std::string& message) {
  LastErrorKeeper keep;
  const std::string path = InstallRoot() + kSetupLogPath;
  CFile file;
  if (!file.Open(path.c_str(),
                 CFile::modeReadWrite | CFile::modeCreate | CFile::modeNoTruncate |
                     CFile::typeBinary))
    return;
  const std::string line = Timestamp() + message + "\r\n";
  try {
    file.SeekToEnd();
    file.Write(line.data(), static_cast<UINT>(line.size()));
    file.Close();
  } catch (const CFileException&) {
    // The line is lost; the next one is attempted afresh.
  }
}

void LogError(const char* operation, DWORD code) {
  LogLine(Format("%s: %lu", operation, static_cast<unsigned long>(code)));
}

void ConsoleTrace(const std::string& text) {
  LastErrorKeeper keep;
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
