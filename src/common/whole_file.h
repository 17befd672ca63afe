// Reading a file whole into one buffer of exactly its length.
#pragma once

#include <string>

#include "common/win32.h"

// A process-heap block that frees itself.
class HeapBuffer {
 public:
  HeapBuffer() = default;
  ~HeapBuffer() { Free(); }
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;

  // Obtains `size` bytes, zero-filled when asked; false when none can be had.
  bool Allocate(DWORD size, bool zero_filled = false);
  void Free();
  BYTE* data() const { return data_; }
  DWORD size() const { return size_; }

 private:
  BYTE* data_ = nullptr;
  DWORD size_ = 0;
};

// Where reading a file whole stopped.
enum class ReadStep { kDone, kOpen, kBuffer, kRead };

// Opens `path` for reading (shared with every other opener), takes its
// length n, obtains n + extra_zero_bytes zero-filled bytes and reads the n
// bytes with one read. The file is closed again in every case. On kDone,
// *length holds n.
ReadStep ReadWholeFile(const std::string& path, HeapBuffer* buffer, DWORD* length,
                       DWORD extra_zero_bytes = 0);
