// The one object through which file contents are read and written. It owns
// one OS file and remembers the path it was last opened with.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace path {

class FileHandle {
 public:
  FileHandle() = default;
  virtual ~FileHandle();
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Only the first character of `mode` counts: 'w' creates or empties,
  // 'r' reads an existing file, anything else opens one without transfer.
  platform::FileId Open(const char* path, const char* mode);
  void Close();
  bool IsOpen() const { return handle_ != platform::InvalidFile; }

  // One platform call each; a short count means failure.
  std::uint32_t Read(void* buffer, std::uint32_t count);
  std::uint32_t Write(const void* buffer, std::uint32_t count);

  // The size of the entry at the stored path (not of the open handle).
  bool QuerySize(std::uint32_t* low, std::uint32_t* high) const;

  const char* Path() const { return path_; }

 private:
  platform::FileId handle_ = platform::InvalidFile;
  char path_[MAX_PATH] = {};
};

bool QueryFileSize(const char* path, std::uint32_t* low, std::uint32_t* high);

}  // namespace path
