// Copying one file, with each failure reported as one setup-log line.
#include "common/copy_file.h"

#include "common/setup_log.h"
#include "common/whole_file.h"
#include "framework/afx_file.h"

namespace {

// Removes a partly written destination; a failure to do so is left at that.
void RemoveQuietly(const std::string& path) {
  try {
    CFile::Remove(path.c_str());
  } catch (const CFileException&) {
  }
}

}  // namespace

bool CopyFileLogged(std::string source, std::string destination) {
  HeapBuffer buffer;
  DWORD length = 0;
  switch (ReadWholeFile(source, &buffer, &length)) {
    case ReadStep::kOpen:
      LogLine("CopyFile InFile.Open Failed: " + source);
      return false;
    case ReadStep::kBuffer:
      LogLine("CopyFile new Failed: " + source);
      return false;
    case ReadStep::kRead:
      LogLine("CopyFile Read Failed: " + source);
      return false;
    case ReadStep::kDone:
      break;
  }

  CFile out;
  if (!out.Open(destination.c_str(), CFile::modeCreate | CFile::modeReadWrite |
                                         CFile::shareExclusive | CFile::typeBinary)) {
    LogLine("CopyFile OutFile.Open Failed: " + source);
    return false;
  }
  try {
    out.Write(buffer.data(), length);
    out.Close();
  } catch (const CFileException&) {
    out.Abort();
    RemoveQuietly(destination);
    LogLine("CopyFile Write Failed: " + source);
    return false;
  }
  return true;
}
