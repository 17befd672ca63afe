// Reading a file whole into one buffer of exactly its length.
#include "common/whole_file.h"

#include "framework/afx_file.h"

bool HeapBuffer::Allocate(DWORD size, bool zero_filled) {
  Free();
  void* block = HeapAlloc(GetProcessHeap(), zero_filled ? HEAP_ZERO_MEMORY : 0, size);
  if (!block) return false;
  data_ = static_cast<BYTE*>(block);
  size_ = size;
  return true;
}

void HeapBuffer::Free() {
  if (data_) HeapFree(GetProcessHeap(), 0, data_);
  data_ = nullptr;
  size_ = 0;
}

ReadStep ReadWholeFile(const std::string& path, HeapBuffer* buffer, DWORD* length,
                       DWORD extra_zero_bytes) {
  CFile file;
  if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary))
    return ReadStep::kOpen;
  try {
    const DWORD size = file.GetLength();
    if (size > 0xFFFFFFFFu - extra_zero_bytes ||
        !buffer->Allocate(size + extra_zero_bytes, extra_zero_bytes != 0))
      return ReadStep::kBuffer;
    // A file that shrank under us is no whole copy either.
    if (file.Read(buffer->data(), size) != size) {
      buffer->Free();
      return ReadStep::kRead;
    }
    file.Close();
    *length = size;
    return ReadStep::kDone;
  } catch (const CFileException&) {
    buffer->Free();
    return ReadStep::kRead;
  }
}
